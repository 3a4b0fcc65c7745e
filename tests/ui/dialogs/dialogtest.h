#pragma once
// The dialog tests' helpers besides the widget tests' ones.

#include "match/searchkey.h"
#include "platform/clipboard/clipboard.h"
#include "ui/dialogs/clipboardops.h"
#include "widgettest.h"

// The model's classes registered for the clipboard's archives; an empty clipboard.
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
