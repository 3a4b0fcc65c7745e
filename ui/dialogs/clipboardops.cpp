#include "ui/dialogs/clipboardops.h"

#include "platform/clipboard/clipboard.h"

bool PutOnClipboard(UINT uFormat, CGlobalMemory&& hMem)
{
    IClipboard& clipboard = GetClipboard();
    if (!clipboard.Open())
        return false;
    const bool bDone = clipboard.Empty() && clipboard.SetData(uFormat, std::move(hMem));
    clipboard.Close();
    return bDone;
}

bool IsOnClipboard(UINT uFormat)
{
    return uFormat != 0 && GetClipboard().IsFormatAvailable(uFormat);
}

CGlobalMemory GetFromClipboard(UINT uFormat)
{
    IClipboard& clipboard = GetClipboard();
    if (!clipboard.Open())
        return {};
    CGlobalMemory hMem = clipboard.GetData(uFormat);
    clipboard.Close();
    return hMem;
}
