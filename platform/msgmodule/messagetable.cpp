#include "platform/msgmodule/messagetable.h"

#include <algorithm>
#include <cstdint>

#include "platform/base/win32error.h"
#include "platform/msgmodule/peimage.h"

namespace {

constexpr WORD MESSAGE_RESOURCE_UNICODE = 0x0001;

DWORD ReadDword(std::string_view bytes, std::uint64_t offset)
{
    auto b = [&](std::uint64_t i) {
        return static_cast<DWORD>(static_cast<BYTE>(bytes[offset + i]));
    };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

void AppendUtf8(std::string& out, DWORD cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Parses one MESSAGE_RESOURCE_DATA into a table. Every block's entries must
// lie within the data; in all there can be no more entries than 4-byte
// units, which bounds the work for forged ID ranges and overlapping blocks.
bool ParseMessageResource(std::string_view data, CMessageTable& table)
{
    if (data.size() < 4)
        return false;
    std::uint64_t blocks = ReadDword(data, 0);
    if (4 + blocks * 12 > data.size())
        return false;
    std::uint64_t budget = data.size() / 4;
    for (std::uint64_t b = 0; b < blocks; ++b) {
        DWORD low = ReadDword(data, 4 + b * 12), high = ReadDword(data, 8 + b * 12);
        std::uint64_t pos = ReadDword(data, 12 + b * 12);
        if (high < low)
            return false;
        std::uint64_t count = static_cast<std::uint64_t>(high) - low + 1;
        if (count > budget)
            return false;
        budget -= count;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (pos + 4 > data.size())
                return false;
            std::uint64_t length = static_cast<BYTE>(data[pos]) | static_cast<BYTE>(data[pos + 1])
                                                                      << 8;
            WORD flags = static_cast<WORD>(static_cast<BYTE>(data[pos + 2]) |
                                           static_cast<BYTE>(data[pos + 3]) << 8);
            if (length < 4 || pos + length > data.size())
                return false;
            std::string_view raw = data.substr(pos + 4, length - 4);
            DWORD id = static_cast<DWORD>(low + i);
            if (flags & MESSAGE_RESOURCE_UNICODE) {
                table.Add(id, Utf16LeToUtf8(raw, true));
            } else {
                // 8-bit and UTF-8 entries are used as stored.
                table.Add(id, raw.substr(0, raw.find('\0')));
            }
            pos += length;
        }
    }
    table.Finish();
    return true;
}

} // namespace

std::string_view CMessageTable::TextAt(std::size_t i) const
{
    return std::string_view(m_strTexts).substr(m_arrEntries[i].dwOffset, m_arrEntries[i].dwLength);
}

bool CMessageTable::Find(DWORD id, std::string_view& text) const
{
    auto it = std::lower_bound(m_arrEntries.begin(), m_arrEntries.end(), id,
                               [](const CEntry& e, DWORD value) { return e.dwId < value; });
    if (it == m_arrEntries.end() || it->dwId != id)
        return false;
    text = TextAt(static_cast<std::size_t>(it - m_arrEntries.begin()));
    return true;
}

void CMessageTable::Add(DWORD id, std::string_view text)
{
    m_arrEntries.push_back(
        {id, static_cast<DWORD>(m_strTexts.size()), static_cast<DWORD>(text.size())});
    m_strTexts.append(text);
}

void CMessageTable::Finish()
{
    std::stable_sort(m_arrEntries.begin(), m_arrEntries.end(),
                     [](const CEntry& a, const CEntry& b) { return a.dwId < b.dwId; });
    auto last = std::unique(m_arrEntries.begin(), m_arrEntries.end(),
                            [](const CEntry& a, const CEntry& b) { return a.dwId == b.dwId; });
    m_arrEntries.erase(last, m_arrEntries.end());
    m_arrEntries.shrink_to_fit();
    m_strTexts.shrink_to_fit();
}

int ChooseLanguage(const std::vector<WORD>& available, WORD requested)
{
    if (available.empty())
        return -1;
    std::vector<WORD> candidates{requested, MAKELANGID(PRIMARYLANGID(requested), SUBLANG_NEUTRAL),
                                 0};
    const bool neutral = PRIMARYLANGID(requested) == LANG_NEUTRAL;
    if (neutral) {
        const WORD defaultNeutral = MAKELANGID(PRIMARYLANGID(LANGID_DEFAULT), SUBLANG_NEUTRAL);
        if (SUBLANGID(requested) != SUBLANG_SYS_DEFAULT)
            candidates.insert(candidates.end(),
                              {LANGID_DEFAULT, LANGID_DEFAULT, defaultNeutral}); // thread, user
        candidates.insert(candidates.end(), {LANGID_DEFAULT, defaultNeutral, 0x0409}); // system, US
    }
    for (WORD candidate : candidates) {
        auto it = std::find(available.begin(), available.end(), candidate);
        if (it != available.end())
            return static_cast<int>(it - available.begin());
    }
    return neutral ? 0 : -1;
}

DWORD CMessageModule::FindMessage(DWORD id, WORD wLanguage, std::string_view& text) const
{
    if (m_arrTables.empty())
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    DWORD error = ERROR_RESOURCE_LANG_NOT_FOUND;
    // Tables are grouped by name; each name gets its own language choice.
    for (std::size_t first = 0; first < m_arrTables.size();) {
        std::size_t end = first;
        std::vector<WORD> languages;
        while (end < m_arrTables.size() &&
               m_arrTables[end].NameIndex() == m_arrTables[first].NameIndex())
            languages.push_back(m_arrTables[end++].Language());
        int chosen = ChooseLanguage(languages, wLanguage);
        if (chosen >= 0) {
            if (m_arrTables[first + static_cast<std::size_t>(chosen)].Find(id, text))
                return ERROR_SUCCESS;
            error = ERROR_MR_MID_NOT_FOUND;
        }
        first = end;
    }
    return error;
}

std::string Utf16LeToUtf8(std::string_view bytes, bool bStopAtNul)
{
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t i) {
        return static_cast<DWORD>(static_cast<BYTE>(bytes[i]) | static_cast<BYTE>(bytes[i + 1])
                                                                    << 8);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        DWORD cp = unit(i);
        if (cp == 0 && bStopAtNul)
            break;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = '?';
        }
        AppendUtf8(out, cp);
    }
    return out;
}

DWORD ParsePeMessageModule(std::string_view image, CMessageModule& module)
{
    std::vector<CPeResource> resources;
    DWORD error = FindPeResources(image, RT_MESSAGETABLE, resources);
    if (error != ERROR_SUCCESS)
        return error;
    module.m_arrTables.clear();
    for (const CPeResource& res : resources) {
        module.m_arrTables.emplace_back(res.nNameIndex, res.wLanguage);
        if (!ParseMessageResource(res.data, module.m_arrTables.back()))
            return ERROR_BAD_EXE_FORMAT;
    }
    return ERROR_SUCCESS;
}

DWORD ParseMessageModule(std::string_view bytes, bool bMcByName, CMessageModule& module)
{
    if (bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z')
        return ParsePeMessageModule(bytes, module);
    if (bMcByName || LooksLikeMessageSource(bytes))
        return ParseMessageSource(bytes, module);
    return ERROR_BAD_EXE_FORMAT;
}
