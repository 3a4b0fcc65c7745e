#include "platform/msgmodule/peimage.h"

#include <cstdint>

#include "platform/base/win32error.h"

namespace {

using U64 = std::uint64_t;

struct CImage {
    std::string_view bytes;

    bool Has(U64 offset, U64 length) const
    {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    }
    WORD Word(U64 offset) const
    {
        return static_cast<WORD>(static_cast<BYTE>(bytes[offset]) |
                                 static_cast<BYTE>(bytes[offset + 1]) << 8);
    }
    DWORD Dword(U64 offset) const
    {
        return Word(offset) | static_cast<DWORD>(Word(offset + 2)) << 16;
    }
};

struct CSection {
    U64 virtualAddress;
    U64 virtualSpan; // max(VirtualSize, SizeOfRawData)
    U64 rawSize;
    U64 rawOffset;
};

// The file range [offset, end) that holds length bytes at rva, all within the
// raw data of one section and within the file; false otherwise.
bool MapRva(const CImage& img, const std::vector<CSection>& sections, U64 rva, U64 length,
            U64& offset, U64& end)
{
    for (const CSection& s : sections) {
        if (rva < s.virtualAddress || rva - s.virtualAddress >= s.virtualSpan)
            continue;
        U64 delta = rva - s.virtualAddress;
        U64 rawEnd = s.rawOffset + s.rawSize;
        if (rawEnd > img.bytes.size())
            rawEnd = img.bytes.size();
        offset = s.rawOffset + delta;
        end = rawEnd;
        return offset <= rawEnd && length <= rawEnd - offset;
    }
    return false;
}

struct CDirEntry {
    DWORD dwName;   // high bit: named entry
    DWORD dwTarget; // high bit: sub-directory
};

// Reads IMAGE_RESOURCE_DIRECTORYs with their entries; offsets relative to
// the resource root, which spans [root, limit). A forged tree may point many
// entries at the same or overlapping directories, so the entries read in all
// are limited to what distinct entries of the image could number.
struct CDirectoryReader {
    const CImage& img;
    U64 root;
    U64 limit;
    U64 budget = img.bytes.size() / 8;

    bool Read(U64 dirOffset, std::vector<CDirEntry>& entries);
};

bool CDirectoryReader::Read(U64 dirOffset, std::vector<CDirEntry>& entries)
{
    U64 at = root + dirOffset;
    if (at + 16 > limit)
        return false;
    U64 count = static_cast<U64>(img.Word(at + 12)) + img.Word(at + 14);
    if (at + 16 + count * 8 > limit || count > budget)
        return false;
    budget -= count;
    entries.clear();
    for (U64 i = 0; i < count; ++i)
        entries.push_back({img.Dword(at + 16 + i * 8), img.Dword(at + 20 + i * 8)});
    return true;
}

} // namespace

DWORD FindPeResources(std::string_view image, WORD wType, std::vector<CPeResource>& out)
{
    const CImage img{image};
    if (!img.Has(0, 64) || image[0] != 'M' || image[1] != 'Z')
        return ERROR_BAD_EXE_FORMAT;
    U64 pe = img.Dword(0x3C);
    if (!img.Has(pe, 24) || image.substr(pe, 4) != std::string_view("PE\0\0", 4))
        return ERROR_BAD_EXE_FORMAT;
    U64 sectionCount = img.Word(pe + 6);
    U64 optSize = img.Word(pe + 20);
    U64 opt = pe + 24;
    if (!img.Has(opt, optSize) || optSize < 2)
        return ERROR_BAD_EXE_FORMAT;
    WORD magic = img.Word(opt);
    U64 countField, dirs;
    if (magic == 0x10B) {
        countField = 92;
        dirs = 96;
    } else if (magic == 0x20B) {
        countField = 108;
        dirs = 112;
    } else {
        return ERROR_BAD_EXE_FORMAT;
    }
    U64 sectionTable = opt + optSize;
    if (!img.Has(sectionTable, sectionCount * 40))
        return ERROR_BAD_EXE_FORMAT;
    std::vector<CSection> sections;
    for (U64 i = 0; i < sectionCount; ++i) {
        U64 at = sectionTable + i * 40;
        U64 virtualSize = img.Dword(at + 8), rawSize = img.Dword(at + 16);
        sections.push_back({img.Dword(at + 12), virtualSize > rawSize ? virtualSize : rawSize,
                            rawSize, img.Dword(at + 20)});
    }
    // No resource data directory, or an empty one: an image without resources.
    if (optSize < countField + 4 || img.Dword(opt + countField) <= 2 || optSize < dirs + 24)
        return ERROR_SUCCESS;
    U64 resRva = img.Dword(opt + dirs + 16), resSize = img.Dword(opt + dirs + 20);
    if (resRva == 0 || resSize == 0)
        return ERROR_SUCCESS;
    U64 root, limit;
    if (!MapRva(img, sections, resRva, 16, root, limit))
        return ERROR_BAD_EXE_FORMAT;

    CDirectoryReader reader{img, root, limit};
    std::vector<CDirEntry> types, names, languages;
    if (!reader.Read(0, types))
        return ERROR_BAD_EXE_FORMAT;
    const CDirEntry* type = nullptr;
    for (const CDirEntry& e : types)
        if (e.dwName == wType) {
            type = &e;
            break;
        }
    if (type == nullptr)
        return ERROR_SUCCESS;
    if (!(type->dwTarget & 0x80000000u) || !reader.Read(type->dwTarget & 0x7FFFFFFFu, names))
        return ERROR_BAD_EXE_FORMAT;

    // Several entries pointing at the same data would multiply the work of
    // parsing it: the data total is capped at the image size.
    U64 total = 0;
    for (DWORD n = 0; n < names.size(); ++n) {
        DWORD sub = names[n].dwTarget;
        if (!(sub & 0x80000000u) || !reader.Read(sub & 0x7FFFFFFFu, languages))
            return ERROR_BAD_EXE_FORMAT;
        for (const CDirEntry& lang : languages) {
            if (lang.dwTarget & 0x80000000u)
                return ERROR_BAD_EXE_FORMAT;
            if (lang.dwName & 0x80000000u)
                continue; // languages are numbers; a named one is never chosen
            U64 entry = root + lang.dwTarget;
            if (entry + 16 > limit)
                return ERROR_BAD_EXE_FORMAT;
            U64 dataRva = img.Dword(entry), dataSize = img.Dword(entry + 4), offset, end;
            total += dataSize;
            if (total > image.size() || !MapRva(img, sections, dataRva, dataSize, offset, end))
                return ERROR_BAD_EXE_FORMAT;
            out.push_back({n, static_cast<WORD>(lang.dwName), image.substr(offset, dataSize)});
        }
    }
    return ERROR_SUCCESS;
}
