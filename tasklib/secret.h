#pragma once
// A password or token of an alert action. It is kept in one of three forms:
// the secret itself, stored scrambled like a logon password; the path of a
// file that holds it ("@/etc/quorvil/smtp.secret" in the editors), which
// must be readable by its owner only; or the name of an environment variable
// ("env:NAME"). Only the first form puts the secret into the workspace.
//
// Record (inside an action's record): kind (32-bit: 0 inline, 1 file,
// 2 environment), then a string: the scrambled secret, the path or the name.
#include <optional>
#include <string>

#include "archive/archive.h"

class CSecret {
public:
    enum Kind : DWORD { Inline = 0, File = 1, Environment = 2 };

    CSecret() = default;
    CSecret(Kind kind, std::string value) : m_kind(kind), m_strValue(std::move(value)) {}

    // The form an editor shows and takes: the secret itself, "@/path" or
    // "env:NAME".
    static CSecret FromText(const std::string& text);
    std::string ToText() const;

    Kind GetKind() const { return m_kind; }
    // The secret (Inline), the path (File) or the variable's name.
    const std::string& GetValue() const { return m_strValue; }
    bool IsEmpty() const { return m_kind == Inline && m_strValue.empty(); }

    // The secret itself. A file that is missing, unreadable or readable by
    // group or others, or an unset variable, gives nothing and the reason.
    std::optional<std::string> Resolve(std::string& strError) const;

    void Serialize(CArchive& ar);

    friend bool operator==(const CSecret&, const CSecret&) = default;

private:
    Kind m_kind = Inline;
    std::string m_strValue;
};

// XOR with the 8-character key of logon passwords; its own inverse.
std::string ScrambleSecret(const std::string& text);
