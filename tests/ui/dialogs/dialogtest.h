#pragma once
// Helpers of the dialog tests, besides the shared widget test helpers: the
// model's classes and the clipboard as the dialogs' commands use them.

#include "match/searchkey.h"
#include "platform/clipboard/clipboard.h"
#include "ui/dialogs/clipboardops.h"
#include "widgettest.h"

// The model's persisted classes, registered once, for the clipboard's
// archives; and an empty clipboard.
inline void RegisterModelClassesAndClearClipboard()
{
    static const bool bDone = [] {
        RegisterTextLogClasses();
        RegisterEventScanClasses();
        RegisterBnClipFormats();
        return true;
    }();
    (void)bDone;
    IClipboard& clipboard = GetClipboard();
    clipboard.Open();
    clipboard.Empty();
    clipboard.Close();
}

// Makes the row of a list current and selected, as a click does.
inline void SelectRow(QTreeWidget* list, int row)
{
    list->setCurrentItem(list->topLevelItem(row));
    list->topLevelItem(row)->setSelected(true);
}
