// The message compiler source reader: header statements (name tables),
// then messages, each a MessageId statement with optional Severity,
// Facility and SymbolicName statements and one text block per language.
//
// Severity and Facility carry over from one message to the next and start
// at 0, and an empty or relative MessageId counts on from the facility's last
// code. (The platform's compiler documents Application as the first facility,
// but sources of event categories rely on plain IDs 1, 2, ... without any
// Facility statement, so the reader starts at facility 0.)
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "platform/base/win32error.h"
#include "platform/msgmodule/messagetable.h"

namespace {

struct CName {
    std::string strName;
    DWORD dwValue;
};

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
    });
}

const CName* FindName(const std::vector<CName>& names, std::string_view name)
{
    for (const CName& n : names)
        if (EqualNoCase(n.strName, name))
            return &n;
    return nullptr;
}

void SetName(std::vector<CName>& names, std::string_view name, DWORD value)
{
    for (CName& n : names)
        if (EqualNoCase(n.strName, name)) {
            n.dwValue = value;
            return;
        }
    names.push_back({std::string(name), value});
}

bool ParseNumber(std::string_view token, DWORD& value)
{
    unsigned radix = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        radix = 16;
        token.remove_prefix(2);
    }
    if (token.empty())
        return false;
    std::uint64_t v = 0;
    for (char c : token) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (radix == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (radix == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        v = v * radix + digit;
        if (v > 0xFFFFFFFFu)
            return false;
    }
    value = static_cast<DWORD>(v);
    return true;
}

// Byte-order marks: UTF-16 sources are converted to UTF-8, a UTF-8 mark is
// dropped, anything else is taken as 8-bit text.
std::string DecodeSource(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<BYTE>(bytes[0]) == 0xFF &&
        static_cast<BYTE>(bytes[1]) == 0xFE)
        return Utf16LeToUtf8(bytes.substr(2), false);
    if (bytes.size() >= 2 && static_cast<BYTE>(bytes[0]) == 0xFE &&
        static_cast<BYTE>(bytes[1]) == 0xFF) {
        std::string swapped(bytes.substr(2));
        for (std::size_t i = 0; i + 1 < swapped.size(); i += 2)
            std::swap(swapped[i], swapped[i + 1]);
        return Utf16LeToUtf8(swapped, false);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return std::string(bytes);
}

class CMcParser {
public:
    explicit CMcParser(std::string_view text) : m_text(text) {}

    // The first keyword of the text, empty when it does not start with one.
    std::string_view FirstKeyword();
    bool Parse(CMessageModule& module);

private:
    enum class IdForm { Next, Absolute, Relative };

    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    void SkipSpaces();
    void SkipBlanks();
    std::string_view Token(std::string_view stops);
    bool Expect(char c);
    bool NameList(std::vector<CName>& names, DWORD maxValue);
    bool Statement(std::string_view keyword);
    bool StartMessage();
    bool EndMessage();
    bool LanguageBlock();

    std::string_view m_text;
    std::size_t m_pos = 0;

    std::vector<CName> m_arrSeverities{
        {"Success", 0}, {"Informational", 1}, {"Warning", 2}, {"Error", 3}};
    std::vector<CName> m_arrFacilities{{"System", 0x0FF}, {"Application", 0xFFF}};
    std::vector<CName> m_arrLanguages{{"English", 0x0409}};

    DWORD m_dwSeverity = 0;
    DWORD m_dwFacility = 0;
    std::map<DWORD, DWORD> m_mapLastCode; // facility → last code used

    bool m_bInMessage = false;
    bool m_bIdResolved = false;
    IdForm m_idForm = IdForm::Next;
    DWORD m_dwIdValue = 0;
    DWORD m_dwId = 0;
    std::map<WORD, CMessageTable> m_mapTables; // language → its messages
    std::set<std::pair<WORD, DWORD>> m_setSeen;
};

void CMcParser::SkipSpaces()
{
    while (Peek() == ' ' || Peek() == '\t')
        ++m_pos;
}

void CMcParser::SkipBlanks()
{
    for (;;) {
        char c = Peek();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++m_pos;
        } else if (c == ';') {
            std::size_t end = m_text.find('\n', m_pos);
            m_pos = end == std::string_view::npos ? m_text.size() : end + 1;
        } else {
            return;
        }
    }
}

std::string_view CMcParser::Token(std::string_view stops)
{
    std::size_t start = m_pos;
    while (!AtEnd()) {
        char c = m_text[m_pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' ||
            stops.find(c) != std::string_view::npos)
            break;
        ++m_pos;
    }
    return m_text.substr(start, m_pos - start);
}

bool CMcParser::Expect(char c)
{
    if (Peek() != c)
        return false;
    ++m_pos;
    return true;
}

std::string_view CMcParser::FirstKeyword()
{
    static constexpr std::string_view keywords[] = {
        "MessageIdTypedef", "SeverityNames", "FacilityNames", "LanguageNames", "OutputBase",
        "MessageId",        "Severity",      "Facility",      "SymbolicName",  "Language"};
    SkipBlanks();
    std::string_view word = Token("=");
    SkipSpaces();
    if (Peek() != '=')
        return {};
    for (std::string_view k : keywords)
        if (EqualNoCase(k, word))
            return k;
    return {};
}

// (name=value[:symbol-or-file] ...), possibly over several lines.
bool CMcParser::NameList(std::vector<CName>& names, DWORD maxValue)
{
    SkipBlanks();
    if (!Expect('('))
        return false;
    for (;;) {
        SkipBlanks();
        if (Expect(')'))
            return true;
        std::string_view name = Token("=():");
        SkipBlanks();
        if (name.empty() || !Expect('='))
            return false;
        SkipBlanks();
        DWORD value;
        if (!ParseNumber(Token("():"), value) || value > maxValue)
            return false;
        SkipBlanks();
        if (Expect(':')) {
            SkipBlanks();
            if (Token("()").empty())
                return false;
        }
        SetName(names, name, value);
    }
}

bool CMcParser::EndMessage()
{
    // A message without any text is an error for the compiler too.
    if (m_bInMessage && !m_bIdResolved)
        return false;
    m_bInMessage = false;
    return true;
}

bool CMcParser::StartMessage()
{
    if (!EndMessage())
        return false;
    m_bInMessage = true;
    m_bIdResolved = false;
    SkipSpaces();
    m_idForm = IdForm::Next;
    if (Peek() == '+') {
        ++m_pos;
        m_idForm = IdForm::Relative;
    } else if (Peek() >= '0' && Peek() <= '9') {
        m_idForm = IdForm::Absolute;
    }
    if (m_idForm != IdForm::Next && !ParseNumber(Token(""), m_dwIdValue))
        return false;
    return true;
}

bool CMcParser::LanguageBlock()
{
    if (!m_bInMessage)
        return false;
    SkipSpaces();
    const CName* language = FindName(m_arrLanguages, Token(""));
    if (language == nullptr)
        return false;
    if (!m_bIdResolved) {
        // The message's ID is fixed by its first text, when Severity and
        // Facility are known.
        DWORD& last = m_mapLastCode[m_dwFacility];
        std::uint64_t code = m_idForm == IdForm::Absolute   ? m_dwIdValue
                             : m_idForm == IdForm::Relative ? std::uint64_t{last} + m_dwIdValue
                                                            : std::uint64_t{last} + 1;
        if (code > 0xFFFF)
            return false;
        last = static_cast<DWORD>(code);
        m_dwId = MakeMessageId(m_dwSeverity, m_dwFacility, last);
        m_bIdResolved = true;
    }
    const WORD langId = static_cast<WORD>(language->dwValue);
    if (!m_setSeen.insert({langId, m_dwId}).second)
        return false;
    // The text starts on the next line and ends before a line holding a
    // single "."; every line keeps its line end.
    std::size_t eol = m_text.find('\n', m_pos);
    if (eol == std::string_view::npos)
        return false;
    m_pos = eol + 1;
    std::string text;
    for (;;) {
        if (AtEnd())
            return false;
        eol = m_text.find('\n', m_pos);
        std::size_t next = eol == std::string_view::npos ? m_text.size() : eol + 1;
        std::string_view line =
            m_text.substr(m_pos, (eol == std::string_view::npos ? m_text.size() : eol) - m_pos);
        m_pos = next;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line == ".")
            break;
        text.append(line);
        text.append("\r\n");
    }
    m_mapTables.try_emplace(langId, 0, langId).first->second.Add(m_dwId, text);
    return true;
}

bool CMcParser::Statement(std::string_view keyword)
{
    if (keyword == "MessageId")
        return StartMessage();
    if (keyword == "Language")
        return LanguageBlock();
    if (keyword == "SeverityNames")
        return NameList(m_arrSeverities, 3);
    if (keyword == "FacilityNames")
        return NameList(m_arrFacilities, 0xFFF);
    if (keyword == "LanguageNames")
        return NameList(m_arrLanguages, 0xFFFF);
    SkipSpaces();
    std::string_view value = Token("");
    if (value.empty())
        return false;
    if (keyword == "MessageIdTypedef" || keyword == "OutputBase")
        return true;
    // Severity, Facility and SymbolicName belong to a message before its text.
    if (!m_bInMessage || m_bIdResolved)
        return false;
    if (keyword == "SymbolicName")
        return true;
    const CName* name = FindName(keyword == "Severity" ? m_arrSeverities : m_arrFacilities, value);
    if (name == nullptr)
        return false;
    (keyword == "Severity" ? m_dwSeverity : m_dwFacility) = name->dwValue;
    return true;
}

bool CMcParser::Parse(CMessageModule& module)
{
    for (;;) {
        SkipBlanks();
        if (AtEnd())
            break;
        std::string_view keyword = FirstKeyword();
        if (keyword.empty() || !Expect('=') || !Statement(keyword))
            return false;
    }
    if (!EndMessage())
        return false;
    module.m_arrTables.clear();
    for (auto& [language, table] : m_mapTables) {
        table.Finish();
        module.m_arrTables.push_back(std::move(table));
    }
    return true;
}

} // namespace

bool LooksLikeMessageSource(std::string_view source)
{
    std::string text = DecodeSource(source);
    return !CMcParser(text).FirstKeyword().empty();
}

DWORD ParseMessageSource(std::string_view source, CMessageModule& module)
{
    std::string text = DecodeSource(source);
    CMessageModule parsed;
    if (!CMcParser(text).Parse(parsed))
        return ERROR_INVALID_DATA;
    module = std::move(parsed);
    return ERROR_SUCCESS;
}
