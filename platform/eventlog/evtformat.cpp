#include "platform/eventlog/evtformat.h"

#include <cstring>

namespace {

void PadTo4(std::string& bytes)
{
    while (bytes.size() % 4)
        bytes.push_back('\0');
}

void AppendUtf16z(std::string& bytes, std::string_view text)
{
    for (char16_t unit : Utf8ToUtf16(text)) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    bytes.append(2, '\0');
}

// The offset of the first 0x0000 unit in [pos, bound), or bound.
DWORD FindNul16(const BYTE* p, DWORD pos, DWORD bound)
{
    for (; pos + 2 <= bound; pos += 2) {
        if (p[pos] == 0 && p[pos + 1] == 0)
            return pos;
    }
    return bound;
}

// UTF-16LE units to UTF-8; with Write false only counts. Lone surrogates
// become '?'.
template <bool Write> std::size_t Utf16LeToUtf8(const BYTE* p, std::size_t units, BYTE* out)
{
    std::size_t n = 0;
    auto put = [&](unsigned value) {
        if constexpr (Write)
            out[n] = static_cast<BYTE>(value);
        ++n;
    };
    for (std::size_t i = 0; i < units; ++i) {
        unsigned c = p[2 * i] | p[2 * i + 1] << 8;
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | c >> 6);
            put(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            unsigned low = i + 1 < units ? (p[2 * i + 2] | p[2 * i + 3] << 8) : 0;
            if (c <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                unsigned cp = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                put(0xF0 | cp >> 18);
                put(0x80 | ((cp >> 12) & 0x3F));
                put(0x80 | ((cp >> 6) & 0x3F));
                put(0x80 | (cp & 0x3F));
                ++i;
            } else {
                put('?');
            }
        } else {
            put(0xE0 | c >> 12);
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    return n;
}

// Where the parts of an on-disk record lie, clamped to the record.
struct CDiskLayout {
    DWORD m_dwSourceBegin = EVT_RECORD_FIXED_SIZE, m_dwSourceEnd = 0;
    DWORD m_dwComputerBegin = 0, m_dwComputerEnd = 0;
    DWORD m_dwSidOffset = 0, m_dwSidLength = 0;
    DWORD m_dwStringsBegin = 0, m_dwStringsEnd = 0;
    WORD m_wNumStrings = 0;
    bool m_bLastStringOpen = false; // the last string ran into the record's end
    DWORD m_dwDataOffset = 0, m_dwDataLength = 0;
};

bool BlockInside(DWORD offset, DWORD length, DWORD bound)
{
    return length > 0 && offset >= EVT_RECORD_FIXED_SIZE && offset <= bound &&
           length <= bound - offset;
}

CDiskLayout LocateDiskRecord(const BYTE* r, DWORD length)
{
    CDiskLayout l;
    DWORD bound = length - 4;
    l.m_dwSourceEnd = FindNul16(r, l.m_dwSourceBegin, bound);
    l.m_dwComputerBegin = l.m_dwSourceEnd + 2 <= bound ? l.m_dwSourceEnd + 2 : bound;
    l.m_dwComputerEnd = FindNul16(r, l.m_dwComputerBegin, bound);
    if (BlockInside(GetLe32(r + EVT_USER_SID_OFFSET), GetLe32(r + EVT_USER_SID_LENGTH), bound)) {
        l.m_dwSidOffset = GetLe32(r + EVT_USER_SID_OFFSET);
        l.m_dwSidLength = GetLe32(r + EVT_USER_SID_LENGTH);
    }
    if (BlockInside(GetLe32(r + EVT_DATA_OFFSET), GetLe32(r + EVT_DATA_LENGTH), bound)) {
        l.m_dwDataOffset = GetLe32(r + EVT_DATA_OFFSET);
        l.m_dwDataLength = GetLe32(r + EVT_DATA_LENGTH);
    }
    DWORD pos = GetLe32(r + EVT_STRING_OFFSET);
    WORD wanted = GetLe16(r + EVT_NUM_STRINGS);
    if (pos < EVT_RECORD_FIXED_SIZE || pos > bound)
        pos = bound;
    l.m_dwStringsBegin = pos;
    while (l.m_wNumStrings < wanted && pos + 2 <= bound) {
        DWORD nul = FindNul16(r, pos, bound);
        ++l.m_wNumStrings;
        if (nul == bound) {
            l.m_bLastStringOpen = true;
            pos = bound;
            break;
        }
        pos = nul + 2;
    }
    l.m_dwStringsEnd = pos;
    return l;
}

// Writes (or with Write false, measures) the 8-bit record.
template <bool Write> DWORD BuildAnsi(const BYTE* r, const CDiskLayout& l, BYTE* out)
{
    std::size_t n = EVT_RECORD_FIXED_SIZE;
    auto text = [&](DWORD begin, DWORD end, bool terminate) {
        n += Utf16LeToUtf8<Write>(r + begin, (end - begin) / 2, Write ? out + n : nullptr);
        if (terminate) {
            if constexpr (Write)
                out[n] = 0;
            ++n;
        }
    };
    auto bytes = [&](DWORD offset, DWORD count) {
        if constexpr (Write)
            std::memcpy(out + n, r + offset, count);
        n += count;
    };
    auto pad = [&] {
        while (n % 4) {
            if constexpr (Write)
                out[n] = 0;
            ++n;
        }
    };
    text(l.m_dwSourceBegin, l.m_dwSourceEnd, true);
    text(l.m_dwComputerBegin, l.m_dwComputerEnd, true);
    pad();
    DWORD sidOffset = static_cast<DWORD>(n);
    bytes(l.m_dwSidOffset, l.m_dwSidLength);
    DWORD stringOffset = static_cast<DWORD>(n);
    text(l.m_dwStringsBegin, l.m_dwStringsEnd, l.m_bLastStringOpen);
    DWORD dataOffset = static_cast<DWORD>(n);
    bytes(l.m_dwDataOffset, l.m_dwDataLength);
    pad();
    n += 4;
    DWORD length = static_cast<DWORD>(n);
    if constexpr (Write) {
        std::memcpy(out, r, EVT_RECORD_FIXED_SIZE);
        PutLe32(out + EVT_LENGTH, length);
        PutLe16(out + EVT_NUM_STRINGS, l.m_wNumStrings);
        PutLe32(out + EVT_STRING_OFFSET, stringOffset);
        PutLe32(out + EVT_USER_SID_LENGTH, l.m_dwSidLength);
        PutLe32(out + EVT_USER_SID_OFFSET, sidOffset);
        PutLe32(out + EVT_DATA_LENGTH, l.m_dwDataLength);
        PutLe32(out + EVT_DATA_OFFSET, dataOffset);
        PutLe32(out + length - 4, length);
    }
    return length;
}

// A NUL-terminated 8-bit string at pos, ending before bound.
bool ReadAnsiString(const BYTE* r, DWORD& pos, DWORD bound, std::string& out)
{
    const void* nul = pos < bound ? std::memchr(r + pos, 0, bound - pos) : nullptr;
    if (!nul)
        return false;
    DWORD end = static_cast<DWORD>(static_cast<const BYTE*>(nul) - r);
    out.assign(reinterpret_cast<const char*>(r + pos), end - pos);
    pos = end + 1;
    return true;
}

bool ReadUtf16String(const BYTE* r, DWORD& pos, DWORD bound, std::string& out)
{
    DWORD nul = FindNul16(r, pos, bound);
    if (nul >= bound)
        return false;
    std::size_t units = (nul - pos) / 2;
    out.resize(units * 3);
    out.resize(Utf16LeToUtf8<true>(r + pos, units, reinterpret_cast<BYTE*>(out.data())));
    pos = nul + 2;
    return true;
}

// The parts of a record common to both layouts; false when damaged.
template <typename ReadString>
bool DecodeRecord(const BYTE* r, std::size_t size, CEvtEvent& event, ReadString readString)
{
    if (size < EVT_MIN_RECORD_SIZE)
        return false;
    DWORD length = GetLe32(r + EVT_LENGTH);
    if (length < EVT_MIN_RECORD_SIZE || length > size ||
        GetLe32(r + EVT_RESERVED) != ELF_LOG_SIGNATURE)
        return false;
    DWORD bound = length - 4;
    event.m_dwRecordNumber = GetLe32(r + EVT_RECORD_NUMBER);
    event.m_dwTimeGenerated = GetLe32(r + EVT_TIME_GENERATED);
    event.m_dwTimeWritten = GetLe32(r + EVT_TIME_WRITTEN);
    event.m_dwEventID = GetLe32(r + EVT_EVENT_ID);
    event.m_wEventType = GetLe16(r + EVT_EVENT_TYPE);
    event.m_wEventCategory = GetLe16(r + EVT_EVENT_CATEGORY);
    DWORD pos = EVT_RECORD_FIXED_SIZE;
    if (!readString(r, pos, bound, event.m_strSourceName) ||
        !readString(r, pos, bound, event.m_strComputerName))
        return false;
    DWORD sidLength = GetLe32(r + EVT_USER_SID_LENGTH);
    DWORD sidOffset = GetLe32(r + EVT_USER_SID_OFFSET);
    event.m_sid.clear();
    if (sidLength) {
        if (!BlockInside(sidOffset, sidLength, bound))
            return false;
        event.m_sid.assign(reinterpret_cast<const char*>(r + sidOffset), sidLength);
    }
    DWORD dataLength = GetLe32(r + EVT_DATA_LENGTH);
    DWORD dataOffset = GetLe32(r + EVT_DATA_OFFSET);
    event.m_data.clear();
    if (dataLength) {
        if (!BlockInside(dataOffset, dataLength, bound))
            return false;
        event.m_data.assign(reinterpret_cast<const char*>(r + dataOffset), dataLength);
    }
    event.m_strings.clear();
    WORD count = GetLe16(r + EVT_NUM_STRINGS);
    pos = GetLe32(r + EVT_STRING_OFFSET);
    for (WORD i = 0; i < count; ++i) {
        std::string text;
        if (!readString(r, pos, bound, text))
            return false;
        event.m_strings.push_back(std::move(text));
    }
    return true;
}

// Code page 1252 for the bytes 0x80 to 0x9F (the five it leaves open map to
// the same numbers, as the platform's conversion does).
constexpr char16_t g_cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        unsigned c = p[i];
        if (c < 0x80) {
            out.push_back(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        unsigned cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : c & 0x1F;
        bool ok = extra > 0;
        for (std::size_t k = 1; ok && k <= static_cast<std::size_t>(extra); ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = cp << 6 | (p[i + k] & 0x3F);
        }
        ok = ok && !(extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) &&
             !(extra == 3 && (cp < 0x10000 || cp > 0x10FFFF));
        if (!ok) {
            // Not UTF-8: an 8-bit byte of the ANSI code page (1252).
            out.push_back(static_cast<char16_t>(c >= 0xA0 ? c : g_cp1252High[c - 0x80]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string le(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        le[2 * i] = static_cast<char>(text[i] & 0xFF);
        le[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    std::string out(text.size() * 3, '\0');
    out.resize(Utf16LeToUtf8<true>(reinterpret_cast<const BYTE*>(le.data()), text.size(),
                                   reinterpret_cast<BYTE*>(out.data())));
    return out;
}

void EncodeEvtHeader(const CEvtHeader& h, BYTE out[ELF_LOGFILE_HEADER_SIZE])
{
    PutLe32(out + 0x00, ELF_LOGFILE_HEADER_SIZE);
    PutLe32(out + 0x04, ELF_LOG_SIGNATURE);
    PutLe32(out + 0x08, 1);
    PutLe32(out + 0x0C, 1);
    PutLe32(out + 0x10, h.m_dwStartOffset);
    PutLe32(out + 0x14, h.m_dwEndOffset);
    PutLe32(out + 0x18, h.m_dwCurrentRecordNumber);
    PutLe32(out + 0x1C, h.m_dwOldestRecordNumber);
    PutLe32(out + 0x20, h.m_dwMaxSize);
    PutLe32(out + 0x24, h.m_dwFlags);
    PutLe32(out + 0x28, h.m_dwRetention);
    PutLe32(out + 0x2C, ELF_LOGFILE_HEADER_SIZE);
}

bool DecodeEvtHeader(const BYTE* in, std::size_t size, CEvtHeader& h)
{
    if (size < ELF_LOGFILE_HEADER_SIZE || GetLe32(in) != ELF_LOGFILE_HEADER_SIZE ||
        GetLe32(in + 0x04) != ELF_LOG_SIGNATURE || GetLe32(in + 0x08) != 1 ||
        GetLe32(in + 0x2C) != ELF_LOGFILE_HEADER_SIZE)
        return false;
    h.m_dwStartOffset = GetLe32(in + 0x10);
    h.m_dwEndOffset = GetLe32(in + 0x14);
    h.m_dwCurrentRecordNumber = GetLe32(in + 0x18);
    h.m_dwOldestRecordNumber = GetLe32(in + 0x1C);
    h.m_dwMaxSize = GetLe32(in + 0x20);
    h.m_dwFlags = GetLe32(in + 0x24);
    h.m_dwRetention = GetLe32(in + 0x28);
    return true;
}

void EncodeEvtEof(const CEvtHeader& h, BYTE out[ELF_EOF_RECORD_SIZE])
{
    PutLe32(out + 0x00, ELF_EOF_RECORD_SIZE);
    PutLe32(out + 0x04, ELF_EOF_ONE);
    PutLe32(out + 0x08, ELF_EOF_TWO);
    PutLe32(out + 0x0C, ELF_EOF_THREE);
    PutLe32(out + 0x10, ELF_EOF_FOUR);
    PutLe32(out + 0x14, h.GetCount() ? h.m_dwStartOffset : h.m_dwEndOffset);
    PutLe32(out + 0x18, h.m_dwEndOffset);
    PutLe32(out + 0x1C, h.m_dwCurrentRecordNumber);
    PutLe32(out + 0x20, h.m_dwOldestRecordNumber);
    PutLe32(out + 0x24, ELF_EOF_RECORD_SIZE);
}

bool DecodeEvtEof(const BYTE* in, DWORD at, CEvtHeader& h)
{
    if (GetLe32(in) != ELF_EOF_RECORD_SIZE || GetLe32(in + 0x04) != ELF_EOF_ONE ||
        GetLe32(in + 0x08) != ELF_EOF_TWO || GetLe32(in + 0x0C) != ELF_EOF_THREE ||
        GetLe32(in + 0x10) != ELF_EOF_FOUR || GetLe32(in + 0x18) != at ||
        GetLe32(in + 0x24) != ELF_EOF_RECORD_SIZE)
        return false;
    h.m_dwStartOffset = GetLe32(in + 0x14);
    h.m_dwEndOffset = at;
    h.m_dwCurrentRecordNumber = GetLe32(in + 0x1C);
    h.m_dwOldestRecordNumber = GetLe32(in + 0x20);
    return true;
}

std::string EncodeEvtRecord(const CEvtEvent& e)
{
    std::string r(EVT_RECORD_FIXED_SIZE, '\0');
    AppendUtf16z(r, e.m_strSourceName);
    AppendUtf16z(r, e.m_strComputerName);
    PadTo4(r);
    DWORD sidOffset = static_cast<DWORD>(r.size());
    r += e.m_sid;
    DWORD stringOffset = static_cast<DWORD>(r.size());
    for (const std::string& text : e.m_strings)
        AppendUtf16z(r, text);
    DWORD dataOffset = static_cast<DWORD>(r.size());
    r += e.m_data;
    PadTo4(r);
    DWORD length = static_cast<DWORD>(r.size() + 4);
    r.append(4, '\0');
    auto* p = reinterpret_cast<BYTE*>(r.data());
    PutLe32(p + EVT_LENGTH, length);
    PutLe32(p + EVT_RESERVED, ELF_LOG_SIGNATURE);
    PutLe32(p + EVT_RECORD_NUMBER, e.m_dwRecordNumber);
    PutLe32(p + EVT_TIME_GENERATED, e.m_dwTimeGenerated);
    PutLe32(p + EVT_TIME_WRITTEN, e.m_dwTimeWritten);
    PutLe32(p + EVT_EVENT_ID, e.m_dwEventID);
    PutLe16(p + EVT_EVENT_TYPE, e.m_wEventType);
    PutLe16(p + EVT_NUM_STRINGS, static_cast<WORD>(e.m_strings.size()));
    PutLe16(p + EVT_EVENT_CATEGORY, e.m_wEventCategory);
    PutLe32(p + EVT_STRING_OFFSET, stringOffset);
    PutLe32(p + EVT_USER_SID_LENGTH, static_cast<DWORD>(e.m_sid.size()));
    PutLe32(p + EVT_USER_SID_OFFSET, sidOffset);
    PutLe32(p + EVT_DATA_LENGTH, static_cast<DWORD>(e.m_data.size()));
    PutLe32(p + EVT_DATA_OFFSET, dataOffset);
    PutLe32(p + length - 4, length);
    return r;
}

DWORD ConvertEvtRecordToAnsi(const BYTE* record, DWORD length, BYTE* out, DWORD outSize)
{
    if (length < EVT_MIN_RECORD_SIZE)
        return 0;
    CDiskLayout l = LocateDiskRecord(record, length);
    // UTF-8 takes at most three bytes per UTF-16 unit: when even that fits,
    // convert at once instead of measuring first. (The parts of a damaged
    // record may overlap, so the bound adds them up.)
    std::size_t textBytes = (l.m_dwSourceEnd - l.m_dwSourceBegin) +
                            (l.m_dwComputerEnd - l.m_dwComputerBegin) +
                            (l.m_dwStringsEnd - l.m_dwStringsBegin);
    std::size_t upper =
        EVT_RECORD_FIXED_SIZE + textBytes * 3 / 2 + l.m_dwSidLength + l.m_dwDataLength + 16;
    if (out && outSize >= upper)
        return BuildAnsi<true>(record, l, out);
    DWORD needed = BuildAnsi<false>(record, l, nullptr);
    if (out && needed <= outSize)
        BuildAnsi<true>(record, l, out);
    return needed;
}

bool DecodeAnsiRecord(const BYTE* record, std::size_t size, CEvtEvent& event)
{
    return DecodeRecord(record, size, event, ReadAnsiString);
}

bool DecodeEvtRecord(const BYTE* record, std::size_t size, CEvtEvent& event)
{
    if (!DecodeRecord(record, size, event, ReadUtf16String))
        return false;
    DWORD length = GetLe32(record);
    return length % 4 == 0 && GetLe32(record + length - 4) == length;
}
