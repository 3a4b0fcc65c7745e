// The bytes as a message compiler source: parse it and expand every message.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/msgmodule/messagetable.h"
#include "platform/msgmodule/msgformat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view source(reinterpret_cast<const char*>(data), size);
    LooksLikeMessageSource(source);
    CMessageModule module;
    if (ParseMessageSource(source, module) != 0)
        return 0;
    const char* inserts[] = {"one", "two", nullptr};
    for (const CMessageTable& table : module.m_arrTables)
        for (std::size_t i = 0; i < table.Count(); ++i) {
            std::string_view text;
            module.FindMessage(table.IdAt(i), 0x400, text);
            std::string out;
            ExpandMessageTemplate(table.TextAt(i), FORMAT_MESSAGE_IGNORE_INSERTS, {}, out);
            ExpandMessageTemplate(table.TextAt(i), 0, inserts, out);
        }
    return 0;
}
