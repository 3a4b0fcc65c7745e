#pragma once
// The network as folders. A network root holds DOMAIN/COMPUTER/ folders; a
// computer folder holds that computer's registry (HKLM.reg), its event logs
// (eventlog/NAME.evt) and its shares (C$/...). This header names the local
// computer, finds computer folders (without regard to letter case), maps UNC
// and drive-letter paths to local files, and enumerates the network for the
// browser.
//
// Any thread may call these functions. The network root and the local
// computer's name are fixed by the environment (QUORVIL_NETWORK,
// QUORVIL_COMPUTERNAME, QUORVIL_DOMAIN) or by SetNetworkRoot, which is meant
// for start-up, before other threads use the network. Failures set the Win32
// last error.
#include <optional>
#include <string>
#include <vector>

#include "platform/base/win32types.h"

constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

// GetComputerNameA: the local computer's name (QUORVIL_COMPUTERNAME, else
// the host's short name in capitals). On entry *size is the buffer's size in
// characters; on success it becomes the name's length without the
// terminator; a buffer too small fails with ERROR_BUFFER_OVERFLOW and *size
// the size needed, terminator included.
BOOL GetComputerNameA(char* buffer, DWORD* size);
std::string GetLocalComputerName();

// The domain of the local computer: QUORVIL_DOMAIN, else the domain folder
// that already holds the local computer, else "WORKGROUP".
std::string GetLocalDomainName();

// The network root: the last SetNetworkRoot, else QUORVIL_NETWORK, else
// $XDG_DATA_HOME/quorvil/network, or /var/lib/quorvil/network for root
// without XDG_DATA_HOME (else $HOME/.local/share/quorvil/network). No
// trailing slash.
std::string GetNetworkRoot();
// Overrides the network root for this process (empty restores the default).
void SetNetworkRoot(const std::string& root);

// A server name as callers give it ("\\NAME", "//NAME" or "NAME") reduced to
// the bare computer name; empty for the local computer ("" or null).
std::string BareComputerName(const char* server);
// True when the (bare or "\\") name is the local computer's, in any case.
bool IsLocalComputer(const std::string& name);

// The folder of a computer: the local one (null, "" or its own name, in any
// letter case) is created on first use; another must exist as
// <root>/<domain>/<name> with the name matched without regard to case.
// A missing computer fails with missingError set as the last error
// (ERROR_BAD_NETPATH for registry connects, RPC_S_SERVER_UNAVAILABLE for the
// event log service).
std::optional<std::string> GetComputerFolder(const char* server, DWORD missingError);
// The computer's own spelling of its name (its folder's name).
std::string ComputerFolderName(const std::string& folder);

// Maps a path that may be UNC to a local path:
//  \\COMPUTER\SHARE\rest -> <computer folder>/<SHARE>/rest (forward slashes
//  work as well); X:\rest -> <local computer folder>/X$/rest; anything else
//  is returned unchanged. The computer, the share and every existing path
//  component are matched without regard to letter case. An unknown computer
//  fails with ERROR_BAD_NETPATH, an unknown share with ERROR_BAD_NET_NAME.
std::optional<std::string> MapNetworkPath(const std::string& path);
// The same for a path as seen on a given computer: a drive-letter path
// names that computer's administrative share.
std::optional<std::string> MapComputerPath(const char* server, const std::string& path);

// Network enumeration, the part of NETRESOURCE that the browser uses.
constexpr DWORD RESOURCE_CONNECTED = 1;
constexpr DWORD RESOURCE_GLOBALNET = 2;
constexpr DWORD RESOURCE_CONTEXT = 5;
constexpr DWORD RESOURCETYPE_ANY = 0;
constexpr DWORD RESOURCETYPE_DISK = 1;
constexpr DWORD RESOURCEUSAGE_CONNECTABLE = 1;
constexpr DWORD RESOURCEUSAGE_CONTAINER = 2;
constexpr DWORD RESOURCEDISPLAYTYPE_GENERIC = 0;
constexpr DWORD RESOURCEDISPLAYTYPE_DOMAIN = 1;
constexpr DWORD RESOURCEDISPLAYTYPE_SERVER = 2;
constexpr DWORD RESOURCEDISPLAYTYPE_SHARE = 3;
constexpr DWORD RESOURCEDISPLAYTYPE_NETWORK = 6;
constexpr DWORD RESOURCEDISPLAYTYPE_ROOT = 7;

// The name of the one network the root holds, as its provider and remote name.
inline constexpr const char* QUORVIL_NETWORK_NAME = "Quorvil Network";

struct CNetResource {
    DWORD m_dwScope = RESOURCE_GLOBALNET;
    DWORD m_dwType = RESOURCETYPE_ANY;
    DWORD m_dwDisplayType = RESOURCEDISPLAYTYPE_GENERIC;
    DWORD m_dwUsage = 0;
    std::string m_strRemoteName; // "Entire Network", the network, a domain, or "\\COMPUTER"
    std::string m_strProvider;
    bool IsContainer() const { return (m_dwUsage & RESOURCEUSAGE_CONTAINER) != 0; }
};

// The entries of one level, in name order:
//  - scope RESOURCE_CONTEXT (container ignored): the network neighbourhood,
//    the computers of the local domain and then the root "Entire Network";
//  - no container: the root's entry, the one network;
//  - the root entry ("Entire Network", display type ROOT): the network;
//  - the network: its domains;
//  - a domain: its computers ("\\NAME", display type SERVER, not containers).
// Returns ERROR_SUCCESS, ERROR_NOT_CONTAINER for a computer, or
// ERROR_BAD_NETPATH for a domain that does not exist.
DWORD EnumNetworkLevel(DWORD scope, const CNetResource* container, std::vector<CNetResource>& out);

// Every computer of the network as (domain, computer) folder names, sorted.
std::vector<std::pair<std::string, std::string>> EnumComputers();
