#include "ui/dialogs/formattedfilename.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/base/modeltime.h"
#include "textlog/filename.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/okcancel.h"

namespace {

struct FieldButton {
    const char* code;
    const char* caption;
    const char* tooltip;
};

constexpr FieldButton FIELDS[] = {
    {"%m", "Month: 07", "Calendar month, 01-12"},
    {"%b", "Mar", "Abbreviated month name"},
    {"%B", "March", "Full month name"},
    {"%d", "Day: 02", "Day of month, 01-31"},
    {"%a", "Fri", "Abbreviated day name"},
    {"%w", "DOW: 0-6", "Day of week, 0-6, Sunday=0"},
    {"%A", "Friday", "Full day name"},
    {"%j", "DOY: 067", "Day of year, 001-366"},
    {"%y", "Year: 99", "Short 2-digit year"},
    {"%Y", "Year: 1999", "Full 4-digit year"},
    {"%I", "Hour: 1-12", "Clock hour in common time, 01-12"},
    {"%H", "Hour: 00-23", "Clock hour in military time, 00-23"},
    {"%M", "Minute", "Clock minute, 00-59"},
    {"%S", "Second", "Clock second, 00-59"},
};

constexpr int MAX_TEMPLATE = 50;

} // namespace

CDlgFormattedFilename::CDlgFormattedFilename(const std::string& strTemplate, QWidget* parent)
    : QDialog(parent), m_pTemplate(new QLineEdit(this)), m_pSamples(new QListWidget(this))
{
    setWindowTitle("Formatted Filename");
    m_pTemplate->setObjectName("template");
    m_pTemplate->setMaxLength(MAX_TEMPLATE);
    m_pTemplate->setText(ToQt(strTemplate));
    m_pSamples->setObjectName("samples");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Template:", this));
    layout->addWidget(m_pTemplate);
    auto* grid = new QGridLayout;
    int n = 0;
    for (const FieldButton& f : FIELDS) {
        auto* button = new QPushButton(f.caption, this);
        button->setToolTip(f.tooltip);
        button->setObjectName(QString("field_%1").arg(QString(f.code).mid(1)));
        button->setAutoDefault(false);
        const QString code = f.code;
        connect(button, &QPushButton::clicked, this, [this, code] { InsertCode(code); });
        grid->addWidget(button, n / 7, n % 7);
        ++n;
    }
    layout->addLayout(grid);
    layout->addWidget(new QLabel("Sample file names:", this));
    layout->addWidget(m_pSamples);
    auto* buttons = MakeOkCancel(this);
    layout->addWidget(buttons);

    connect(m_pTemplate, &QLineEdit::textChanged, this, &CDlgFormattedFilename::RefreshSamples);
    RefreshSamples();
}

std::string CDlgFormattedFilename::GetTemplate() const
{
    return FromQt(m_pTemplate->text());
}

void CDlgFormattedFilename::InsertCode(const QString& code)
{
    // A code that would not fit whole is left out rather than cut in half.
    if (m_pTemplate->text().size() - m_pTemplate->selectedText().size() + code.size() <=
        MAX_TEMPLATE)
        m_pTemplate->insert(code);
    m_pTemplate->setFocus();
}

void CDlgFormattedFilename::RefreshSamples()
{
    m_pSamples->clear();
    for (const std::string& name : MakeTemplateSamples(GetTemplate(), CTime::GetCurrentTime()))
        m_pSamples->addItem(ToQt(name));
}

void CDlgFormattedFilename::accept()
{
    if (m_pTemplate->text().size() < 2) {
        ShowMessageBox(this,
                       "This is an invalid template! Use the template builder buttons to create a "
                       "legal template",
                       MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    QDialog::accept();
}
