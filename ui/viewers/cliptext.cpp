#include "ui/viewers/cliptext.h"

#include "platform/clipboard/clipboard.h"

void CopyTextToClipboard(std::string text)
{
    IClipboard& clipboard = GetClipboard();
    if (!clipboard.Open())
        return;
    clipboard.Empty();
    text.push_back('\0');
    clipboard.SetData(CF_TEXT, CGlobalMemory::FromBytes(std::move(text)));
    clipboard.Close();
}
