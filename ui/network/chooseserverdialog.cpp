#include "ui/network/chooseserverdialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/common/qtstrings.h"

bool AskUnlistedServer(QWidget* parent, std::string& name)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("Choose a server"));
    auto* layout = new QVBoxLayout(&dlg);
    auto* label =
        new QLabel(QStringLiteral("Type in the name of a server that is either unlisted in Network "
                                  "Neighborhood, or of which you already know the name:"));
    label->setWordWrap(true);
    auto* edit = new QLineEdit(ToQt(name));
    edit->setObjectName(QStringLiteral("serverName"));
    label->setBuddy(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    name = FromQt(edit->text());
    return true;
}
