#include "ui/commands/marktextdialog.h"

#include <QString>

#include "ui/commands/lineprompt.h"

bool AskMarkText(QWidget* parent, std::string& text)
{
    return AskLine(parent, QStringLiteral("Enter Mark Text"),
                   QStringLiteral("Enter the text you wish to use as a mark:"), 200, text);
}
