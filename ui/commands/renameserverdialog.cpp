#include "ui/commands/renameserverdialog.h"

#include <QString>

#include "ui/commands/lineprompt.h"

bool AskServerName(QWidget* parent, std::string& name)
{
    return AskLine(parent, QStringLiteral("Rename Server"),
                   QStringLiteral("Enter the new server name:"), 0, name);
}
