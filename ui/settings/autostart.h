#pragma once
// Running the program at logon: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/quorvil.desktop, that starts this program
// hidden ("/h"). The entry's presence is the setting.
//
// Threads: user interface thread.
#include <string>

// The entry's path.
std::string AutostartEntryPath();
bool IsRunAtLogon();
// Writes the entry for programPath (replacing an older one) or removes it.
// Failures are not reported: the caller goes on without the entry.
void SetRunAtLogon(bool bOn, const std::string& programPath);
