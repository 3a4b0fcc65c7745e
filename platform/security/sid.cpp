#include "platform/security/sid.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include "platform/base/win32error.h"
#include "platform/network/network.h"

namespace {

struct CSidParts {
    QWORD authority = 0;
    std::vector<DWORD> subs;
};

CSidParts Decode(const BYTE* bytes)
{
    CSidParts parts;
    for (int i = 2; i < 8; ++i)
        parts.authority = (parts.authority << 8) | bytes[i];
    for (BYTE i = 0; i < bytes[1]; ++i) {
        const BYTE* p = bytes + 8 + 4 * std::size_t{i};
        parts.subs.push_back(DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 |
                             DWORD{p[3]} << 24);
    }
    return parts;
}

std::vector<BYTE> Encode(QWORD authority, const std::vector<DWORD>& subs)
{
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    std::size_t count = std::min<std::size_t>(subs.size(), SID_MAX_SUB_AUTHORITIES);
    sid[0] = SID_REVISION;
    sid[1] = static_cast<BYTE>(count);
    for (int i = 0; i < 6; ++i)
        sid[2 + i] = static_cast<BYTE>(authority >> (8 * (5 - i)));
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t b = 0; b < 4; ++b)
            sid[8 + 4 * i + b] = static_cast<BYTE>(subs[i] >> (8 * b));
    }
    return std::vector<BYTE>(sid, sid + 8 + 4 * count);
}

struct CWellKnown {
    QWORD authority;
    std::vector<DWORD> subs;
    const char* name;
    const char* domain;
    SID_NAME_USE use;
};

const std::vector<CWellKnown>& WellKnownSids()
{
    static const std::vector<CWellKnown> table = {
        {0, {0}, "NULL SID", "", SidTypeWellKnownGroup},
        {1, {0}, "Everyone", "", SidTypeWellKnownGroup},
        {2, {0}, "LOCAL", "", SidTypeWellKnownGroup},
        {3, {0}, "CREATOR OWNER", "", SidTypeWellKnownGroup},
        {5, {2}, "NETWORK", "NT AUTHORITY", SidTypeWellKnownGroup},
        {5, {4}, "INTERACTIVE", "NT AUTHORITY", SidTypeWellKnownGroup},
        {5, {6}, "SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
        {5, {7}, "ANONYMOUS LOGON", "NT AUTHORITY", SidTypeWellKnownGroup},
        {5, {11}, "Authenticated Users", "NT AUTHORITY", SidTypeWellKnownGroup},
        {5, {18}, "SYSTEM", "NT AUTHORITY", SidTypeWellKnownGroup},
        {5, {19}, "LOCAL SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
        {5, {20}, "NETWORK SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
        {5, {32, 544}, "Administrators", "BUILTIN", SidTypeAlias},
        {5, {32, 545}, "Users", "BUILTIN", SidTypeAlias},
        {5, {32, 546}, "Guests", "BUILTIN", SidTypeAlias},
        {5, {32, 547}, "Power Users", "BUILTIN", SidTypeAlias},
    };
    return table;
}

bool LookupUnixId(DWORD kind, DWORD id, std::string& name)
{
    std::vector<char> buffer(16384);
    if (kind == 1) {
        passwd pw{};
        passwd* result = nullptr;
        if (::getpwuid_r(static_cast<uid_t>(id), &pw, buffer.data(), buffer.size(), &result) != 0 ||
            !result)
            return false;
        name = pw.pw_name;
        return true;
    }
    group gr{};
    group* result = nullptr;
    if (::getgrgid_r(static_cast<gid_t>(id), &gr, buffer.data(), buffer.size(), &result) != 0 ||
        !result)
        return false;
    name = gr.gr_name;
    return true;
}

bool CopyOut(const std::string& text, char* buffer, DWORD size)
{
    if (!buffer || size < text.size() + 1)
        return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

bool IsValidSidBytes(const void* sid, std::size_t size)
{
    if (!sid || size < 8)
        return false;
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return bytes[0] == SID_REVISION && bytes[1] <= SID_MAX_SUB_AUTHORITIES &&
           size == 8u + 4u * bytes[1];
}

DWORD GetLengthSid(const void* sid)
{
    return sid ? 8 + 4 * DWORD{static_cast<const BYTE*>(sid)[1]} : 0;
}

std::string SidToString(const void* sid, std::size_t size)
{
    if (!IsValidSidBytes(sid, size))
        return {};
    CSidParts parts = Decode(static_cast<const BYTE*>(sid));
    std::string text = "S-1-";
    if (parts.authority >> 32) {
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%012llX",
                      static_cast<unsigned long long>(parts.authority));
        text += hex;
    } else {
        text += std::to_string(parts.authority);
    }
    for (DWORD sub : parts.subs) {
        text += '-';
        text += std::to_string(sub);
    }
    return text;
}

bool StringToSid(std::string_view text, std::vector<BYTE>& sid)
{
    if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text.substr(1, 3) != "-1-")
        return false;
    text.remove_prefix(4);
    std::vector<std::string_view> fields;
    while (true) {
        std::size_t dash = text.find('-');
        fields.push_back(text.substr(0, dash));
        if (dash == std::string_view::npos)
            break;
        text.remove_prefix(dash + 1);
    }
    if (fields.size() > 1 + SID_MAX_SUB_AUTHORITIES)
        return false;
    auto parse = [](std::string_view field, QWORD& value, int base, QWORD limit) {
        if (field.empty())
            return false;
        auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value, base);
        return ec == std::errc() && end == field.data() + field.size() && value <= limit;
    };
    QWORD authority = 0;
    std::string_view first = fields[0];
    if (first.starts_with("0x") || first.starts_with("0X")) {
        if (!parse(first.substr(2), authority, 16, 0xFFFFFFFFFFFFull))
            return false;
    } else if (!parse(first, authority, 10, 0xFFFFFFFFull)) {
        return false;
    }
    std::vector<DWORD> subs;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        QWORD value = 0;
        if (!parse(fields[i], value, 10, 0xFFFFFFFFull))
            return false;
        subs.push_back(static_cast<DWORD>(value));
    }
    sid = Encode(authority, subs);
    return true;
}

std::vector<BYTE> UnixUserSid(uid_t uid)
{
    return Encode(22, {1, static_cast<DWORD>(uid)});
}
std::vector<BYTE> UnixGroupSid(gid_t gid)
{
    return Encode(22, {2, static_cast<DWORD>(gid)});
}

bool LookupSidAccount(const void* sid, std::size_t size, std::string& name, std::string& domain,
                      SID_NAME_USE& use)
{
    if (!IsValidSidBytes(sid, size)) {
        SetLastError(ERROR_INVALID_SID);
        return false;
    }
    CSidParts parts = Decode(static_cast<const BYTE*>(sid));
    for (const CWellKnown& known : WellKnownSids()) {
        if (known.authority == parts.authority && known.subs == parts.subs) {
            name = known.name;
            domain = known.domain;
            use = known.use;
            return true;
        }
    }
    const std::vector<DWORD>& subs = parts.subs;
    if (parts.authority == 22 && subs.size() == 2 && (subs[0] == 1 || subs[0] == 2) &&
        LookupUnixId(subs[0], subs[1], name)) {
        domain = subs[0] == 1 ? "Unix User" : "Unix Group";
        use = subs[0] == 1 ? SidTypeUser : SidTypeGroup;
        return true;
    }
    // Accounts of a machine or domain (S-1-5-21-a-b-c-RID) that every system has.
    if (parts.authority == 5 && subs.size() == 5 && subs[0] == 21) {
        switch (subs[4]) {
        case 500:
            name = "Administrator";
            domain = GetLocalComputerName();
            use = SidTypeUser;
            return true;
        case 501:
            name = "Guest";
            domain = GetLocalComputerName();
            use = SidTypeUser;
            return true;
        case 512:
            name = "Domain Admins";
            domain = GetLocalDomainName();
            use = SidTypeGroup;
            return true;
        case 513:
            name = "Domain Users";
            domain = GetLocalDomainName();
            use = SidTypeGroup;
            return true;
        default:
            break;
        }
    }
    SetLastError(ERROR_NONE_MAPPED);
    return false;
}

BOOL LookupAccountSidA(const char* /*systemName*/, PSID sid, char* name, DWORD* cchName,
                       char* domainName, DWORD* cchDomainName, SID_NAME_USE* use)
{
    if (!sid || !cchName || !cchDomainName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string account;
    std::string domain;
    SID_NAME_USE kind = SidTypeUnknown;
    if (!LookupSidAccount(sid, GetLengthSid(sid), account, domain, kind))
        return FALSE;
    bool fits = CopyOut(account, name, *cchName);
    fits = CopyOut(domain, domainName, *cchDomainName) && fits;
    if (!fits) {
        *cchName = static_cast<DWORD>(account.size() + 1);
        *cchDomainName = static_cast<DWORD>(domain.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *cchName = static_cast<DWORD>(account.size());
    *cchDomainName = static_cast<DWORD>(domain.size());
    if (use)
        *use = kind;
    return TRUE;
}
