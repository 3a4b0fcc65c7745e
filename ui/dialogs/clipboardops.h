#pragma once
// The few clipboard steps the dialogs' Copy and Paste commands take, on the
// model's clipboard service (GetClipboard), which the desktop program maps
// onto the system clipboard.
//
// Threads: user interface thread only.
#include "platform/base/win32types.h"
#include "platform/clipboard/globalmem.h"

// Opens the clipboard, empties it and gives it the block under the format.
// False when the clipboard could not be opened or took nothing.
bool PutOnClipboard(UINT uFormat, CGlobalMemory&& hMem);
// Whether the clipboard offers the format.
bool IsOnClipboard(UINT uFormat);
// A copy of the clipboard's block of that format; the null handle when
// there is none or the clipboard cannot be opened.
CGlobalMemory GetFromClipboard(UINT uFormat);
