#include "ui/dialogs/eventkeydialog.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/extendedcomparisons.h"
#include "ui/dialogs/okcancel.h"

namespace {

struct FieldRow {
    const char* label;
    const char* tooltip;
    const char* help;
};

// In the order of ALL_EVENT_FIELDS.
constexpr FieldRow ROWS[] = {
    {"Type:", "Edit Event Type search",
     "This is the Type or Severity of the event. Allowable types are Information, Warning, Error, "
     "Audit "
     "Success, and Audit Failure."},
    {"Source:", "Edit Source search",
     "This is the name of the Source process that logged a particular event."},
    {"Category ID:", "Edit Category ID search",
     "This is the Category of the event. Some Sources group events into Categories, but most do "
     "not."},
    {"Event ID:", "Edit Event ID search",
     "This is the unique code for an event occurence. These are usually unique for a given Source, "
     "but "
     "different Sources may use the same ID for different things."},
    {"User:", "Edit User search",
     "This is the name of the active user when a particular event was logged. It helps you "
     "identify problems "
     "related to certain users."},
    {"Computer:", "Edit Computer search",
     "This is the name of the computer from which a particular event was logged."},
    {"Event text:", "Edit Message search",
     "This is text to search for in the translated form of the event. Each event translates to an "
     "English "
     "description, and you can search this description for a particular string."},
};

constexpr char DEFAULT_INFO[] = "Select which fields you wish to search. Use the edit buttons to "
                                "refine your criteria for that field.";

} // namespace

CDlgEventKey::CDlgEventKey(CSearchKeyEvent& key, QWidget* parent)
    : QDialog(parent), m_key(key), m_work(key), m_pInfo(new QLabel(DEFAULT_INFO, this))
{
    setWindowTitle("Event Log Key Properties");
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 7; ++i) {
        const EventField field = ALL_EVENT_FIELDS[i];
        auto* box = new QLineEdit(this);
        box->setReadOnly(true);
        box->setObjectName(QString("field%1").arg(i));
        box->installEventFilter(this);
        auto* button = new QToolButton(this);
        button->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
        button->setToolTip(ROWS[i].tooltip);
        button->setObjectName(QString("edit%1").arg(i));
        connect(button, &QToolButton::clicked, this, [this, field] { EditField(field); });
        grid->addWidget(new QLabel(ROWS[i].label, this), i, 0);
        grid->addWidget(box, i, 1);
        grid->addWidget(button, i, 2);
        m_boxes[static_cast<std::size_t>(i)] = box;
    }
    m_pInfo->setWordWrap(true);
    m_pInfo->setMinimumHeight(m_pInfo->fontMetrics().lineSpacing() * 4);
    m_pInfo->setObjectName("info");
    grid->addWidget(m_pInfo, 7, 0, 1, 3);
    auto* buttons = MakeOkCancel(this);
    grid->addWidget(buttons, 8, 0, 1, 3);
    grid->setColumnMinimumWidth(1, 320);
    Refresh();
}

void CDlgEventKey::Refresh()
{
    for (int i = 0; i < 7; ++i)
        m_boxes[static_cast<std::size_t>(i)]->setText(
            ToQt(DescribeField(m_work, ALL_EVENT_FIELDS[i])));
}

void CDlgEventKey::EditField(EventField field)
{
    CDlgExtendedComparisons dlg(field, GetFieldCriterion(m_work, field), this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    ApplyFieldCriterion(m_work, field, dlg.GetCriterion());
    Refresh();
}

QString CDlgEventKey::GetInfoText() const
{
    return m_pInfo->text();
}

bool CDlgEventKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave)
        for (int i = 0; i < 7; ++i)
            if (watched == m_boxes[static_cast<std::size_t>(i)])
                m_pInfo->setText(event->type() == QEvent::Enter ? ROWS[i].help : DEFAULT_INFO);
    return QDialog::eventFilter(watched, event);
}

void CDlgEventKey::accept()
{
    if ((m_work.m_dwOperators & 0x0FFFFFFF) == 0) {
        ShowMessageBox(this, "You must select something to search for!",
                       MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_key.Assign(m_work);
    QDialog::accept();
}
