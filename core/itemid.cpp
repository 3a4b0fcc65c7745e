#include "core/itemid.h"

#include <atomic>

DWORD NewItemID()
{
    static std::atomic<DWORD> s_nLastID{100};
    return s_nLastID.fetch_add(1) + 1;
}
