#include "ui/viewers/finddialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/common/qtstrings.h"
#include "ui/viewers/logcacheview.h"

namespace {

constexpr int MAX_FIND_TEXT = 100;

} // namespace

CFindDialog::CFindDialog(CLogCacheView& view, const QString& text)
    : QDialog(&view), m_view(view), m_pText(new QLineEdit(text.left(MAX_FIND_TEXT), this)),
      m_pMatchCase(new QCheckBox(QStringLiteral("Match &case"), this)),
      m_pWholeWord(new QCheckBox(QStringLiteral("&Whole word"), this))
{
    setWindowTitle(QStringLiteral("Find"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    m_pText->setMaxLength(MAX_FIND_TEXT);
    m_pMatchCase->setChecked(view.m_bMatchCase);
    m_pWholeWord->setChecked(view.m_bWholeWord);

    auto* pLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    pLabel->setBuddy(m_pText);
    auto* pFindNext = new QPushButton(QStringLiteral("Find Ne&xt"), this);
    pFindNext->setDefault(true);
    auto* pClose = new QPushButton(QStringLiteral("Clo&se"), this);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(pLabel, 0, 0);
    pGrid->addWidget(m_pText, 0, 1);
    pGrid->addWidget(pFindNext, 0, 2);
    pGrid->addWidget(m_pMatchCase, 1, 0, 1, 2);
    pGrid->addWidget(pClose, 1, 2);
    pGrid->addWidget(m_pWholeWord, 2, 0, 1, 2);

    connect(m_pText, &QLineEdit::textChanged, this, &CFindDialog::CopyToView);
    connect(m_pMatchCase, &QCheckBox::toggled, this, &CFindDialog::CopyToView);
    connect(m_pWholeWord, &QCheckBox::toggled, this, &CFindDialog::CopyToView);
    connect(pFindNext, &QPushButton::clicked, this, [this] { m_view.OnFindNext(); });
    connect(pClose, &QPushButton::clicked, this, &QDialog::close);
    CopyToView();
}

CFindDialog::~CFindDialog()
{
    m_view.m_pFind = nullptr;
}

QString CFindDialog::GetText() const
{
    return m_pText->text();
}

void CFindDialog::CopyToView()
{
    m_view.m_bMatchCase = m_pMatchCase->isChecked();
    m_view.m_bWholeWord = m_pWholeWord->isChecked();
    m_view.m_strLastSearch = FromQt(m_pText->text());
}
