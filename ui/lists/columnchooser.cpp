#include "ui/lists/columnchooser.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/common/messagebox.h"

namespace {

// 139
constexpr const char* IDS_SELECT_ONE_COLUMN = "You must select at least one column for display!";

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& tip,
                        QStyle::StandardPixmap icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tip);
    button->setIcon(parent->style()->standardIcon(icon));
    return button;
}

QListWidgetItem* MakeItem(const CColumnChoice& choice)
{
    auto* item = new QListWidgetItem(choice.strLabel);
    item->setData(Qt::UserRole, static_cast<uint>(choice.dwId));
    return item;
}

} // namespace

CColumnChooser::CColumnChooser(const std::vector<CColumnChoice>& table,
                               const std::vector<DWORD>& current, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Column Chooser"));
    m_pAvailable = new QListWidget(this);
    m_pAvailable->setObjectName(QStringLiteral("available"));
    m_pSelected = new QListWidget(this);
    m_pSelected->setObjectName(QStringLiteral("selected"));
    m_pSelect = MakeButton(this, "select", QStringLiteral("Select"), QStyle::SP_ArrowRight);
    m_pUnselect = MakeButton(this, "unselect", QStringLiteral("Unselect"), QStyle::SP_ArrowLeft);
    m_pMoveUp = MakeButton(this, "moveUp", QStringLiteral("Move Up"), QStyle::SP_ArrowUp);
    m_pMoveDown = MakeButton(this, "moveDown", QStringLiteral("Move Down"), QStyle::SP_ArrowDown);

    for (const CColumnChoice& choice : table)
        if (std::find(current.begin(), current.end(), choice.dwId) == current.end())
            m_pAvailable->addItem(MakeItem(choice));
    for (DWORD dwId : current) {
        auto it = std::find_if(table.begin(), table.end(),
                               [dwId](const CColumnChoice& c) { return c.dwId == dwId; });
        if (it != table.end())
            m_pSelected->addItem(MakeItem(*it));
    }

    auto* moveButtons = new QVBoxLayout;
    moveButtons->addStretch();
    moveButtons->addWidget(m_pSelect);
    moveButtons->addWidget(m_pUnselect);
    moveButtons->addStretch();
    auto* orderButtons = new QVBoxLayout;
    orderButtons->addStretch();
    orderButtons->addWidget(m_pMoveUp);
    orderButtons->addWidget(m_pMoveDown);
    orderButtons->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Available"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Selected"), this), 0, 2);
    grid->addWidget(m_pAvailable, 1, 0);
    grid->addLayout(moveButtons, 1, 1);
    grid->addWidget(m_pSelected, 1, 2);
    grid->addLayout(orderButtons, 1, 3);
    grid->addWidget(buttons, 2, 0, 1, 4);

    connect(buttons, &QDialogButtonBox::accepted, this, &CColumnChooser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CColumnChooser::reject);
    connect(m_pSelect, &QToolButton::clicked, this,
            [this] { MoveCurrent(m_pAvailable, m_pSelected); });
    connect(m_pUnselect, &QToolButton::clicked, this,
            [this] { MoveCurrent(m_pSelected, m_pAvailable); });
    connect(m_pMoveUp, &QToolButton::clicked, this, [this] { MoveWithin(-1); });
    connect(m_pMoveDown, &QToolButton::clicked, this, [this] { MoveWithin(+1); });
    connect(m_pAvailable, &QListWidget::itemDoubleClicked, this,
            [this] { MoveCurrent(m_pAvailable, m_pSelected); });
    connect(m_pSelected, &QListWidget::itemDoubleClicked, this,
            [this] { MoveCurrent(m_pSelected, m_pAvailable); });
    connect(m_pAvailable, &QListWidget::itemSelectionChanged, this, &CColumnChooser::UpdateButtons);
    connect(m_pSelected, &QListWidget::itemSelectionChanged, this, &CColumnChooser::UpdateButtons);
    UpdateButtons();
}

std::vector<DWORD> CColumnChooser::GetSelectedColumns() const
{
    std::vector<DWORD> ids;
    for (int i = 0; i < m_pSelected->count(); ++i)
        ids.push_back(m_pSelected->item(i)->data(Qt::UserRole).toUInt());
    return ids;
}

void CColumnChooser::accept()
{
    if (m_pSelected->count() == 0) {
        ShowMessageBox(this, IDS_SELECT_ONE_COLUMN, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    QDialog::accept();
}

void CColumnChooser::MoveCurrent(QListWidget* from, QListWidget* to)
{
    const QList<QListWidgetItem*> chosen = from->selectedItems();
    if (chosen.isEmpty())
        return;
    QListWidgetItem* item = from->takeItem(from->row(chosen.front()));
    from->clearSelection();
    to->addItem(item);
    to->setCurrentItem(item);
}

void CColumnChooser::MoveWithin(int nStep)
{
    const QList<QListWidgetItem*> chosen = m_pSelected->selectedItems();
    if (chosen.isEmpty())
        return;
    const int nRow = m_pSelected->row(chosen.front());
    const int nNewRow = nRow + nStep;
    if (nNewRow < 0 || nNewRow >= m_pSelected->count())
        return;
    QListWidgetItem* item = m_pSelected->takeItem(nRow);
    m_pSelected->insertItem(nNewRow, item);
    m_pSelected->setCurrentItem(item);
}

void CColumnChooser::UpdateButtons()
{
    const bool bAvailable = !m_pAvailable->selectedItems().isEmpty();
    const bool bSelected = !m_pSelected->selectedItems().isEmpty();
    m_pSelect->setEnabled(bAvailable);
    m_pUnselect->setEnabled(bSelected);
    m_pMoveUp->setEnabled(bSelected);
    m_pMoveDown->setEnabled(bSelected);
}

bool RunColumnChooser(QWidget* parent, const std::vector<CColumnChoice>& table,
                      std::vector<DWORD>& ids)
{
    CColumnChooser chooser(table, ids, parent);
    if (chooser.exec() != QDialog::Accepted)
        return false;
    ids = chooser.GetSelectedColumns();
    return true;
}
