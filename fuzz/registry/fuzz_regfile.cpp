// Feeds arbitrary bytes to the .reg reader. Whatever it accepts must write
// out as a file that reads back to the same tree: writing that again gives
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/regfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::string_view root = "HKEY_LOCAL_MACHINE";
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CRegKey tree;
    CRegFileError error;
    if (!ParseRegFile(bytes, root, tree, error)) {
        if (error.m_nLine < 1)
            __builtin_trap();
        return 0;
    }
    std::string text = FormatRegFile(tree, root);
    CRegKey again;
    if (!ParseRegFile(text, root, again, error) || FormatRegFile(again, root) != text)
        __builtin_trap();
    return 0;
}
