// The bytes as a PE image: parse its message tables and expand every message.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/msgmodule/messagetable.h"
#include "platform/msgmodule/msgformat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMessageModule module;
    if (ParsePeMessageModule(std::string_view(reinterpret_cast<const char*>(data), size), module) !=
        0)
        return 0;
    const char* inserts[] = {"one", "two", nullptr};
    for (const CMessageTable& table : module.m_arrTables)
        for (std::size_t i = 0; i < table.Count(); ++i) {
            std::string_view text;
            module.FindMessage(table.IdAt(i), table.Language(), text);
            std::string out;
            ExpandMessageTemplate(table.TextAt(i), 0, inserts, out);
        }
    return 0;
}
