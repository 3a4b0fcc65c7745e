#pragma once
// The parsed form of a message module: the message tables of a PE image
// (RT_MESSAGETABLE resources) or of a message compiler source (.mc), one
// table per resource name and language, each a sorted array of ID → text.
// Texts are 8-bit: 8-bit entries are kept as stored, UTF-16 entries and
// sources are converted to UTF-8. A CMessageModule is immutable once parsed
// and may be read from any thread; the parsers are pure functions of bytes.
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/win32types.h"

constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD LANG_ENGLISH = 0x09;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr WORD SUBLANG_SYS_DEFAULT = 0x02;

constexpr WORD MAKELANGID(WORD primary, WORD sub)
{
    return static_cast<WORD>((sub << 10) | primary);
}
constexpr WORD PRIMARYLANGID(WORD lang)
{
    return static_cast<WORD>(lang & 0x3FF);
}
constexpr WORD SUBLANGID(WORD lang)
{
    return static_cast<WORD>(lang >> 10);
}

// The thread, user and system default languages of this platform: it
// presents itself as an English (United States) system.
constexpr WORD LANGID_DEFAULT = 0x0409;

// The message ID of an event or message: severity (2 bits), customer bit
// (clear), facility (12 bits) and code (16 bits).
constexpr DWORD MakeMessageId(DWORD severity, DWORD facility, DWORD code)
{
    return (severity << 30) | ((facility & 0xFFF) << 16) | (code & 0xFFFF);
}

// The messages of one resource name in one language.
class CMessageTable {
public:
    CMessageTable(DWORD nameIndex, WORD language) : m_nNameIndex(nameIndex), m_wLanguage(language)
    {
    }

    DWORD NameIndex() const { return m_nNameIndex; }
    WORD Language() const { return m_wLanguage; }
    std::size_t Count() const { return m_arrEntries.size(); }
    DWORD IdAt(std::size_t i) const { return m_arrEntries[i].dwId; }
    std::string_view TextAt(std::size_t i) const;
    // True and the text when the table holds the ID.
    bool Find(DWORD id, std::string_view& text) const;

    // Building: Add in any order, then Finish once. Of two entries with the
    // same ID the first added wins, as a lookup block by block finds it first.
    void Add(DWORD id, std::string_view text);
    void Finish();

private:
    struct CEntry {
        DWORD dwId;
        DWORD dwOffset; // into m_strTexts
        DWORD dwLength;
    };
    DWORD m_nNameIndex; // position of the resource name in directory order
    WORD m_wLanguage;
    std::vector<CEntry> m_arrEntries; // sorted by dwId after Finish
    std::string m_strTexts;           // all texts, back to back
};

class CMessageModule {
public:
    // The tables in resource-name order, languages ascending within a name.
    std::vector<CMessageTable> m_arrTables;

    // The text of a message in the language chosen for wLanguage: 0 on
    // success, else ERROR_RESOURCE_TYPE_NOT_FOUND (no table),
    // ERROR_RESOURCE_LANG_NOT_FOUND or ERROR_MR_MID_NOT_FOUND. The view lives
    // as long as the module.
    DWORD FindMessage(DWORD id, WORD wLanguage, std::string_view& text) const;
};

// The index of the language to use for a requested LANGID among those a
// resource offers (in directory order), or -1 when none qualifies.
int ChooseLanguage(const std::vector<WORD>& available, WORD requested);

// Parses a module from its bytes: a PE image when it starts with "MZ",
// otherwise a message compiler source when bMcByName (the file name ends in
// ".mc") or the text looks like one. Returns 0, ERROR_BAD_EXE_FORMAT (not a
// module, or a damaged image) or ERROR_INVALID_DATA (a damaged source).
DWORD ParseMessageModule(std::string_view bytes, bool bMcByName, CMessageModule& module);

// The two parsers behind it (used directly by the fuzz targets).
DWORD ParsePeMessageModule(std::string_view image, CMessageModule& module);
DWORD ParseMessageSource(std::string_view source, CMessageModule& module);
// True when the text starts (after comments and blank lines) with a message
// compiler keyword statement.
bool LooksLikeMessageSource(std::string_view source);

// UTF-16LE code units to UTF-8; unpaired surrogates become '?'. Stops at a
// zero code unit when bStopAtNul.
std::string Utf16LeToUtf8(std::string_view bytes, bool bStopAtNul);
