// Reads arbitrary bytes as JSON text and as a workspace in JSON form.
// Whatever reads must write back to text that reads and writes again to the
// same text; a workspace read from JSON must dump, and its dump must load
// back to the same workspace bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/monmanager.h"
#include "tools/qvws/wsjson.h"

namespace {

void ReadJson(std::string_view text)
{
    std::string first;
    try {
        first = WriteJson(ParseJson(text));
    } catch (const CJsonError&) {
        return;
    }
    if (WriteJson(ParseJson(first)) != first)
        std::abort();
}

void ReadWorkspace(std::string_view text)
{
    std::unique_ptr<CMonManager> pFirst;
    try {
        pFirst = WorkspaceFromJson(text);
    } catch (const CJsonError&) {
        return;
    }
    // Anything read from JSON has a JSON form: an exception here ends the
    // run as a crash.
    const std::string dump = WorkspaceToJson(*pFirst);
    std::unique_ptr<CMonManager> pSecond = WorkspaceFromJson(dump);
    if (WorkspaceToJson(*pSecond) != dump ||
        StoreObjectToBytes(pSecond.get()) != StoreObjectToBytes(pFirst.get()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ReadJson(text);
    ReadWorkspace(text);
    return 0;
}
