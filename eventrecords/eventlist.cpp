#include "eventrecords/eventlist.h"

#include <algorithm>

CEventStruct* CEventList::Find(DWORD nRecordNumber) const
{
    auto it = std::find_if(m_arrEvents.begin(), m_arrEvents.end(),
                           [&](const auto& p) { return p->m_nRecordNumber == nRecordNumber; });
    return it == m_arrEvents.end() ? nullptr : it->get();
}
