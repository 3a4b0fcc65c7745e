#pragma once
// The data offered to a paste or a drop: a snapshot of the program's own
// formats and of plain text, taken from the clipboard or from a drag's MIME
// data, with the objects it holds read as new copies.
//
// Threads: user interface thread. The objects returned belong to the caller.
#include <map>
#include <memory>
#include <string>

#include "platform/clipboard/clipboard.h"
#include "ui/tree/pasteanalysis.h"

class QMimeData;
class CMonitoredObject;
class CKeysAndActions;
class CSearchKey;
class CTask;

class CPasteSource {
public:
    CPasteSource() = default;
    // The clipboard must be open.
    static CPasteSource FromClipboard(IClipboard& clipboard);
    static CPasteSource FromMimeData(const QMimeData& data);

    // PasteOffer bits of what is on offer.
    unsigned GetOffers() const;

    // The object of a format, or null when it is absent or cannot be read.
    std::unique_ptr<CSearchKey> ReadKey(BnClipFormat format) const;
    std::unique_ptr<CKeysAndActions> ReadWatchGroup(BnClipFormat format) const;
    std::unique_ptr<CTask> ReadTask() const;
    std::unique_ptr<CMonitoredObject> ReadLog(BnClipFormat format) const;
    // The plain text, empty when none.
    const std::string& GetText() const { return m_strText; }
    bool HasText() const { return m_bText; }

private:
    CGlobalMemory Block(BnClipFormat format) const;

    std::map<BnClipFormat, std::string> m_blocks;
    std::string m_strText;
    bool m_bText = false;
};

// What a plain text pasted as a text key searches for: at most its first 99
// characters, cut at the first character that is neither a letter or digit,
// nor punctuation, nor a blank (space or tab; bytes of non-ASCII characters count as letters),
// without leading and trailing blanks.
std::string TextKeyFromPlainText(const std::string& text);
