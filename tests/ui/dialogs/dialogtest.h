#pragma once
// Helpers of the dialog tests, besides the shared widget test helpers: the
// model's classes and the clipboard as the dialogs' commands use them.
#include <QString>
#include <string>

#include "widgettest.h"

// The model's persisted classes, registered once, for the clipboard's
// archives.
void RegisterModelClasses();
// Empties the process's clipboard.
void ClearClipboard();
// Puts a key on the clipboard as the Copy command does.
class CSearchKey;
void PutKeyOnClipboard(const CSearchKey& key);
// Makes the row of a list current and selected, as a click does.
class QTreeWidget;
void SelectRow(QTreeWidget* list, int row);
// A model string as a Qt string.
QString ToQtText(const std::string& s);
