#include "match/searchkeyregex.h"

#include <re2/re2.h>

#include "match/regexset.h"
#include "platform/clipboard/clipboard.h"

IMPLEMENT_SERIAL(CSearchKeyRegex, CSearchKey, VERSIONABLE_SCHEMA | 1)

namespace {

constexpr int MAX_NUMBERED_CAPTURES = 9;

re2::StringPiece Piece(std::string_view s)
{
    return re2::StringPiece(s.data(), s.size());
}

// The position of the first "(" that is never closed (RE2 names the whole
// pattern for a missing ")"); escapes and bracket classes are skipped.
std::size_t UnclosedParen(const std::string& pattern)
{
    std::vector<std::size_t> open;
    bool bClass = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\') {
            ++i;
        } else if (bClass) {
            bClass = c != ']';
        } else if (c == '[') {
            bClass = true;
            if (i + 1 < pattern.size() && pattern[i + 1] == ']')
                ++i;
        } else if (c == '(') {
            open.push_back(i);
        } else if (c == ')' && !open.empty()) {
            open.pop_back();
        }
    }
    return open.empty() ? std::string::npos : open.front();
}

} // namespace

std::shared_ptr<const re2::RE2> CompileKeyPattern(const std::string& pattern, bool bCaseSensitive,
                                                  std::string* pError)
{
    if (pattern.empty()) {
        if (pError)
            *pError = "empty pattern";
        return nullptr;
    }
    re2::RE2::Options options;
    options.set_log_errors(false);
    options.set_case_sensitive(bCaseSensitive);
    auto pRegex = std::make_shared<const re2::RE2>(pattern, options);
    if (pRegex->ok())
        return pRegex;
    if (pError) {
        // RE2 names the offending part of the pattern; its place is the
        // position a user looks for.
        const std::string& arg = pRegex->error_arg();
        std::size_t nPos = pRegex->error_code() == re2::RE2::ErrorMissingParen
                               ? UnclosedParen(pattern)
                           : arg.empty() ? std::string::npos
                                         : pattern.find(arg);
        if (nPos == std::string::npos)
            nPos = pattern.size();
        std::string message = pRegex->error();
        // RE2 repeats the argument after the message; the position says it.
        if (const std::size_t colon = message.find(": "); colon != std::string::npos)
            message.resize(colon);
        *pError = message + ": at position " + std::to_string(nPos + 1);
    }
    return nullptr;
}

bool ReadCaptures(const re2::RE2& regex, std::string_view line, CRegexCaptures& out)
{
    out.clear();
    const int nGroups = regex.NumberOfCapturingGroups();
    std::vector<re2::StringPiece> groups(static_cast<std::size_t>(nGroups) + 1);
    if (!regex.Match(Piece(line), 0, line.size(), re2::RE2::UNANCHORED, groups.data(),
                     static_cast<int>(groups.size())))
        return false;
    for (int i = 0; i <= nGroups && i <= MAX_NUMBERED_CAPTURES; ++i)
        out.emplace_back("%MATCH_" + std::to_string(i) + "%",
                         std::string(groups[static_cast<std::size_t>(i)].data(),
                                     groups[static_cast<std::size_t>(i)].size()));
    for (const auto& [name, index] : regex.NamedCapturingGroups()) {
        const re2::StringPiece& g = groups[static_cast<std::size_t>(index)];
        out.emplace_back("%MATCH:" + name + "%", std::string(g.data(), g.size()));
    }
    return true;
}

CSearchKeyRegex::CSearchKeyRegex(std::string pattern, bool bCaseSensitive)
{
    SetPattern(std::move(pattern), bCaseSensitive);
}

CSearchKeyRegex& CSearchKeyRegex::operator=(const CSearchKeyRegex& src)
{
    Assign(src);
    return *this;
}

void CSearchKeyRegex::Assign(const CSearchKeyRegex& src)
{
    if (this == &src)
        return;
    CSearchKey::operator=(src);
    m_strPattern = src.m_strPattern;
    m_bCaseSensitive = src.m_bCaseSensitive;
    m_pRegex = src.m_pRegex;
    m_strError = src.m_strError;
}

bool CSearchKeyRegex::SetPattern(std::string pattern, bool bCaseSensitive)
{
    m_strPattern = std::move(pattern);
    m_bCaseSensitive = bCaseSensitive;
    Compile();
    return !IsBroken();
}

void CSearchKeyRegex::Compile()
{
    m_strError.clear();
    m_pRegex = CompileKeyPattern(m_strPattern, m_bCaseSensitive, &m_strError);
}

std::string CSearchKeyRegex::CheckPattern(const std::string& pattern, bool bCaseSensitive)
{
    std::string error;
    CompileKeyPattern(pattern, bCaseSensitive, &error);
    return error;
}

BOOL CSearchKeyRegex::Match(const CPreparedLine& line) const
{
    if (!m_pRegex)
        return FALSE;
    if (const CRegexKeySet* pSet = line.GetRegexSet()) {
        const int nIndex = pSet->GetIndex(this);
        if (nIndex >= 0)
            return line.IsRegexMatched(nIndex);
    }
    const std::string_view text = line.GetLine();
    return re2::RE2::PartialMatch(Piece(text), *m_pRegex);
}

bool CSearchKeyRegex::GetCaptures(std::string_view line, CRegexCaptures& out) const
{
    out.clear();
    return m_pRegex && ReadCaptures(*m_pRegex, line, out);
}

std::vector<std::string> CSearchKeyRegex::GetVariableNames() const
{
    std::vector<std::string> names;
    if (!m_pRegex)
        return names;
    const int nGroups = m_pRegex->NumberOfCapturingGroups();
    for (int i = 0; i <= nGroups && i <= MAX_NUMBERED_CAPTURES; ++i)
        names.push_back("%MATCH_" + std::to_string(i) + "%");
    for (const auto& entry : m_pRegex->NamedCapturingGroups())
        names.push_back("%MATCH:" + entry.first + "%");
    return names;
}

std::string CSearchKeyRegex::GetDescription() const
{
    std::string text = "Regex '" + m_strPattern + "'";
    if (m_bCaseSensitive)
        text += " (case)";
    if (IsBroken())
        text += " BROKEN: " + m_strError;
    return text;
}

std::unique_ptr<CSearchKey> CSearchKeyRegex::Clone() const
{
    return std::make_unique<CSearchKeyRegex>(*this);
}

void CSearchKeyRegex::Reset()
{
    CSearchKey::Reset();
    m_strPattern.clear();
    m_bCaseSensitive = false;
    Compile();
}

UINT CSearchKeyRegex::GetClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::SEARCHKEYTEXT);
}

void CSearchKeyRegex::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CSearchKey));
    CSearchKey::Serialize(ar);
    if (ar.IsStoring()) {
        ar << DWORD{1} << BOOL{m_bCaseSensitive} << m_strPattern;
    } else {
        DWORD nVersion;
        BOOL bCase;
        ar >> nVersion >> bCase >> m_strPattern;
        m_bCaseSensitive = bCase != 0;
        Compile();
    }
}
