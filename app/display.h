#pragma once
// Whether the desktop program can open its window here. A display named in
// the environment may be gone (a stale DISPLAY in an ssh session, a
// stopped X server); opening it would end the program, so the program asks
// first and runs without a window instead.
#include <string>

// True when WAYLAND_DISPLAY names a Wayland socket that accepts a
// connection, or DISPLAY names an X server that does (":N" and "unix:N"
// through its local socket, "HOST:N" on TCP port 6000+N). When it is false
// and a display was named, why is in *reason.
bool CanOpenDisplay(std::string* reason = nullptr);
