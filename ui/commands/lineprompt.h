#pragma once
// A modal dialog with a prompt, one line edit and OK/Cancel: the shape of
// the small "Enter Mark Text" and "Rename Server" dialogs. text holds the
// preset on entry and the entered text after OK. nMaxLength 0 means no
// limit. The line edit is named "edit" for tests. User interface thread.
#include <string>

class QString;
class QWidget;

bool AskLine(QWidget* parent, const QString& title, const QString& prompt, int nMaxLength,
             std::string& text);
