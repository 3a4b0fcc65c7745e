#pragma once
// The OK and Cancel buttons that close every dialog of this folder.
#include <QDialog>
#include <QDialogButtonBox>

// A button box owned by the dialog, OK wired to accept() and Cancel to
// reject(); the caller places it in the layout.
inline QDialogButtonBox* MakeOkCancel(QDialog* dlg)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    return buttons;
}
