#pragma once
// The desktop clipboard behind the model's clipboard interface, and the
// conversion between global-memory blocks and Qt's MIME data. A registered
// format travels as its MIME type (ClipboardFormatMimeType) carrying the
// block's bytes unchanged; CF_TEXT travels as plain text, without its NUL.
//
// Threads: user interface thread only (QClipboard lives there).
#include <QString>
#include <map>
#include <string>

#include "platform/clipboard/clipboard.h"

class QMimeData;

// A block's bytes as one format of a MIME data object.
void PutBlock(QMimeData& data, UINT uFormat, const CGlobalMemory& hMem);
// The bytes of one format, as a new block; the null handle when absent.
CGlobalMemory GetBlock(const QMimeData& data, UINT uFormat);
bool HasBlock(const QMimeData& data, UINT uFormat);

// IClipboard on QGuiApplication::clipboard(). Data set between Empty and
// the next Empty is published together, so several formats can be placed.
// Open always succeeds: the desktop clipboard has no lock to take.
class CQtClipboard : public IClipboard {
public:
    BOOL Open() override;
    BOOL Close() override;
    BOOL Empty() override;
    BOOL SetData(UINT uFormat, CGlobalMemory&& hMem) override;
    CGlobalMemory GetData(UINT uFormat) override;
    BOOL IsFormatAvailable(UINT uFormat) override;

private:
    int m_nOpen = 0;
    std::map<UINT, std::string> m_pending; // what this process placed since Empty
};
