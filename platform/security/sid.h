#pragma once
// Security identifiers: the binary form kept in event records, the
// "S-1-..." string form, and the account names behind them (the well-known
// SIDs and the Unix mappings S-1-22-1-<uid> / S-1-22-2-<gid>). Any thread may
// call these; failures set the Win32 last error.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "platform/base/win32types.h"

// A pointer to a binary SID (revision, count, 6-byte big-endian authority,
// count little-endian sub-authorities).
using PSID = void*;

constexpr DWORD SID_REVISION = 1;
constexpr DWORD SID_MAX_SUB_AUTHORITIES = 15;
constexpr DWORD SECURITY_MAX_SID_SIZE = 68;

enum SID_NAME_USE : int {
    SidTypeUser = 1,
    SidTypeGroup,
    SidTypeDomain,
    SidTypeAlias,
    SidTypeWellKnownGroup,
    SidTypeDeletedAccount,
    SidTypeInvalid,
    SidTypeUnknown,
    SidTypeComputer,
    SidTypeLabel,
};

// True when the bytes hold exactly one well-formed SID (revision 1, at most
// 15 sub-authorities, length 8 + 4n = size).
bool IsValidSidBytes(const void* sid, std::size_t size);
// GetLengthSid: 8 + 4 * SubAuthorityCount, read from the SID's second byte.
DWORD GetLengthSid(const void* sid);

// The string form; empty when the bytes are not a valid SID.
std::string SidToString(const void* sid, std::size_t size);
// Parses "S-1-<authority>-<sub>..." (authority decimal or 0x + 12 hex
// digits); false on any other text.
bool StringToSid(std::string_view text, std::vector<BYTE>& sid);

// S-1-22-1-<uid> and S-1-22-2-<gid>.
std::vector<BYTE> UnixUserSid(uid_t uid);
std::vector<BYTE> UnixGroupSid(gid_t gid);

// The account behind a SID of `size` bytes: name, domain and kind. Fails with
// ERROR_INVALID_SID for malformed bytes and ERROR_NONE_MAPPED for a SID that
// names no known account.
bool LookupSidAccount(const void* sid, std::size_t size, std::string& name, std::string& domain,
                      SID_NAME_USE& use);

// LookupAccountSidA with Windows buffer rules: *cchName and *cchDomain are the
// buffers' sizes in characters; on success they become the lengths without
// terminator; buffers too small fail with ERROR_INSUFFICIENT_BUFFER and the
// sizes needed, terminator included. The lookup is always local; the system
// name is accepted and not used.
BOOL LookupAccountSidA(const char* systemName, PSID sid, char* name, DWORD* cchName,
                       char* domainName, DWORD* cchDomainName, SID_NAME_USE* use);
