// The bytes as flags (first byte: IGNORE_INSERTS or none), insert count
// (second byte) and template; the inserts are fixed strings and a null.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/msgmodule/msgformat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const char* const inserts[] = {"alpha", "",    nullptr, "%1 %2!s!", "delta", "epsilon",
                                          "zeta",  "eta", "theta", "iota",     "kappa", "lambda"};
    DWORD flags = data[0] == 0xFE ? FORMAT_MESSAGE_IGNORE_INSERTS : data[0];
    std::size_t count = data[1] % (std::size(inserts) + 1);
    std::string out;
    ExpandMessageTemplate(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2),
                          flags, std::span<const char* const>(inserts, count), out);
    return 0;
}
