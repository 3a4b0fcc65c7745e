#pragma once
// The resources of a PE image (PE32 or PE32+) read from its file bytes,
// without loading it: the resource directory is found through the data
// directory and walked type → name → language. Every offset and length is
// checked against the bytes given; pure functions, any thread.
#include <string_view>
#include <vector>

#include "platform/base/win32types.h"

constexpr WORD RT_VERSION = 16;
constexpr WORD RT_MESSAGETABLE = 11;

struct CPeResource {
    DWORD nNameIndex; // position of the name entry in directory order
    WORD wLanguage;
    std::string_view data; // a view into the image bytes
};

// Appends the resources of one type in directory order (names, then
// languages). 0 when the image is sound (out stays empty when the type or the
// whole resource directory is absent); ERROR_BAD_EXE_FORMAT for anything that
// is not a sound PE image. The total size of the resources found never
// exceeds the image size, so callers may parse each of them in full.
DWORD FindPeResources(std::string_view image, WORD wType, std::vector<CPeResource>& out);
