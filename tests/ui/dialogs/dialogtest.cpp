#include "dialogtest.h"

#include <QTreeWidget>

#include "eventlog/scan/eventmonitor.h"
#include "match/searchkey.h"
#include "platform/clipboard/clipboard.h"
#include "textlog/filemonitor.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/clipboardops.h"

void RegisterModelClasses()
{
    static const bool bDone = [] {
        RegisterTextLogClasses();
        RegisterEventScanClasses();
        RegisterBnClipFormats();
        return true;
    }();
    (void)bDone;
}

void ClearClipboard()
{
    IClipboard& clipboard = GetClipboard();
    clipboard.Open();
    clipboard.Empty();
    clipboard.Close();
}

void PutKeyOnClipboard(const CSearchKey& key)
{
    PutOnClipboard(key.GetClipFormat(), key.CopyToGlobalMemory());
}

QString ToQtText(const std::string& s)
{
    return ToQt(s);
}

void SelectRow(QTreeWidget* list, int row)
{
    list->setCurrentItem(list->topLevelItem(row));
    list->topLevelItem(row)->setSelected(true);
}
