#include "ui/frame/aboutbox.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/version.h"
#include "common/brancmn.h"
#include "quorvil_version.h"
#include "ui/common/icons.h"
#include "ui/common/qtstrings.h"

void ShowAboutBox(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("About Quorvil"));
    auto* picture = new QLabel;
    picture->setPixmap(GetImageIcon(IMAGE_WATCH_GROUP).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);

    std::string version = GetProgramVersion();
    if (version.empty())
        version = QUORVIL_VERSION_STRING;
    char folder[MAX_PATH] = {};
    JustPathname(folder, GetProgramFilePath().c_str());
    const QString text =
        QStringLiteral(
            "<b>Quorvil</b><br>Event log and text log monitor<br><br>"
            "Version %1, build %2<br>Free disk space: %3<br><br>"
            "Copyright Brannick<br><br><i>Credits:</i> the Brannick team, and the testers "
            "who watched their logs with it.")
            .arg(ToQt(version).toHtmlEscaped(), QString::fromLatin1(QUORVIL_BUILD_STRING),
                 ToQt(GetFreeDiskSpaceAsString(folder)).toHtmlEscaped());
    auto* label = new QLabel(text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(label, 1);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(row);
    layout->addWidget(buttons);
    dialog.exec();
}
