#include "tasklib/secret.h"

#include <cstdlib>

#include <sys/stat.h>

#include "platform/base/fileio.h"

std::string ScrambleSecret(const std::string& text)
{
    static constexpr char KEY[] = "Hoskyvan";
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ KEY[i % 8]);
    return out;
}

CSecret CSecret::FromText(const std::string& text)
{
    if (text.size() > 1 && text[0] == '@')
        return CSecret(File, text.substr(1));
    if (text.size() > 4 && text.compare(0, 4, "env:") == 0)
        return CSecret(Environment, text.substr(4));
    return CSecret(Inline, text);
}

std::string CSecret::ToText() const
{
    switch (m_kind) {
    case File:
        return "@" + m_strValue;
    case Environment:
        return "env:" + m_strValue;
    default:
        return m_strValue;
    }
}

std::optional<std::string> CSecret::Resolve(std::string& strError) const
{
    if (m_kind == Inline)
        return m_strValue;
    if (m_kind == Environment) {
        const char* value = std::getenv(m_strValue.c_str());
        if (!value) {
            strError = "the environment variable " + m_strValue + " is not set";
            return std::nullopt;
        }
        return std::string(value);
    }
    struct stat st {};
    if (::stat(m_strValue.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        strError = "the secret file " + m_strValue + " is missing";
        return std::nullopt;
    }
    if ((st.st_mode & 077) != 0) {
        strError = "the secret file " + m_strValue +
                   " is readable by others than its owner (chmod 600 it)";
        return std::nullopt;
    }
    std::optional<std::string> bytes = ReadFileBytes(m_strValue);
    if (!bytes) {
        strError = "the secret file " + m_strValue + " cannot be read";
        return std::nullopt;
    }
    // One line: a final line break is not part of the secret.
    while (!bytes->empty() && (bytes->back() == '\n' || bytes->back() == '\r'))
        bytes->pop_back();
    return bytes;
}

void CSecret::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << static_cast<DWORD>(m_kind)
           << (m_kind == Inline ? ScrambleSecret(m_strValue) : m_strValue);
        return;
    }
    DWORD dwKind = 0;
    ar >> dwKind >> m_strValue;
    if (dwKind > Environment)
        ar.Fail(CArchiveException::badSchema, "unknown kind of secret " + std::to_string(dwKind));
    m_kind = static_cast<Kind>(dwKind);
    if (m_kind == Inline)
        m_strValue = ScrambleSecret(m_strValue);
}
