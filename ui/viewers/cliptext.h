#pragma once
// Plain text on the clipboard service (platform/clipboard): CF_TEXT, 8-bit
// and NUL-terminated, in a new block of movable, shareable memory. Nothing
// happens when the clipboard cannot be opened.
//
// Threads: user interface thread only.
#include <string>

void CopyTextToClipboard(std::string text);
