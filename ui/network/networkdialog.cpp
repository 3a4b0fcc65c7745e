#include "ui/network/networkdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cctype>
#include <optional>

#include "platform/base/win32error.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/network/chooseserverdialog.h"
#include "ui/network/computerlogs.h"
#include "workspace/docstrings.h"
#include "workspace/documentui.h"

namespace {

// What an explorer item is, kept in its data; containers keep the index of
// their resource instead (0 and up).
constexpr int ITEM_COMPUTER = -1;
constexpr int ITEM_UP_LEVEL = -2;
constexpr const char* UP_LEVEL_TEXT = "Up Level";
constexpr const char* ENTIRE_NETWORK_TEXT = "Entire Network";

// A wait cursor for the length of a blocking read.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// "\\SRV01" as "Srv01".
QString ComputerDisplayName(const std::string& remoteName)
{
    std::string name = remoteName;
    while (!name.empty() && (name.front() == '\\' || name.front() == '/'))
        name.erase(name.begin());
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        name[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
    }
    return ToQt(name);
}

QIcon LevelIcon(DWORD dwDisplayType)
{
    QStyle* style = QApplication::style();
    switch (dwDisplayType) {
    case RESOURCEDISPLAYTYPE_DOMAIN:
        return style->standardIcon(QStyle::SP_DirIcon);
    case RESOURCEDISPLAYTYPE_SERVER:
        return style->standardIcon(QStyle::SP_ComputerIcon);
    case RESOURCEDISPLAYTYPE_NETWORK:
    case RESOURCEDISPLAYTYPE_ROOT:
        return style->standardIcon(QStyle::SP_DriveNetIcon);
    default:
        return style->standardIcon(QStyle::SP_FileIcon);
    }
}

// A flat icon button whose key works at once (a button's own shortcut
// would click it only after its press animation).
template <typename Slot>
QToolButton* MakeButton(CNetworkDialog* dlg, QStyle::StandardPixmap icon, const char* tip,
                        const QKeySequence& key, Slot slot)
{
    auto* button = new QToolButton;
    button->setIcon(QApplication::style()->standardIcon(icon));
    button->setToolTip(QString::fromLatin1(tip));
    button->setAutoRaise(true);
    QObject::connect(button, &QToolButton::clicked, dlg, slot);
    QObject::connect(new QShortcut(key, dlg), &QShortcut::activated, dlg, slot);
    return button;
}

void ShowError(QWidget* parent, DWORD dwError)
{
    ShowMessageBox(parent, GetSystemErrorText(dwError), MB_OK | MB_ICONEXCLAMATION);
}

} // namespace

BOOL RunNetworkDialog(QWidget* parent, CMonManager& /*manager*/, int nMode,
                      std::vector<std::string>& selected, BOOL& bJumpToEnd)
{
    CNetworkDialog dlg(nMode, parent);
    if (dlg.exec() != QDialog::Accepted)
        return FALSE;
    selected = dlg.GetCheckedLogs();
    bJumpToEnd = dlg.GetJumpToEnd();
    return TRUE;
}

CNetworkDialog::CNetworkDialog(int nMode, QWidget* parent) : QDialog(parent), m_nMode(nMode)
{
    setObjectName(QStringLiteral("networkDialog"));
    resize(640, 420);

    m_pExplorer = new QTreeWidget;
    m_pExplorer->setObjectName(QStringLiteral("explorer"));
    m_pExplorer->setHeaderHidden(true);
    m_pExplorer->setRootIsDecorated(false);
    m_pExplorer->setToolTip(QStringLiteral("Network Explorer"));
    m_pLogs = new QListWidget;
    m_pLogs->setObjectName(QStringLiteral("selectedLogs"));
    m_pLogs->setToolTip(QStringLiteral("Available event logs"));
    m_pLogs->setSelectionMode(IsWizardMode() ? QAbstractItemView::SingleSelection
                                             : QAbstractItemView::ExtendedSelection);

    QToolButton* refresh = MakeButton(this, QStyle::SP_BrowserReload, "Refresh (F5)", Qt::Key_F5,
                                      &CNetworkDialog::Refresh);
    m_pRemove = MakeButton(this, QStyle::SP_TrashIcon, "Remove (Del)", QKeySequence::Delete,
                           &CNetworkDialog::RemoveSelected);
    QToolButton* myComputer = MakeButton(this, QStyle::SP_ComputerIcon, "My Computer (F6)",
                                         Qt::Key_F6, &CNetworkDialog::ShowMyComputer);
    m_pUp = MakeButton(this, QStyle::SP_FileDialogToParent, "Up a level (F7)", Qt::Key_F7,
                       &CNetworkDialog::UpLevel);
    m_pShowLogs = MakeButton(this, QStyle::SP_FileDialogContentsView, "Show logs (F2)", Qt::Key_F2,
                             &CNetworkDialog::ShowSelectedLogs);
    QToolButton* find =
        MakeButton(this, QStyle::SP_FileDialogDetailedView, "Find Unlisted Computer (F9)",
                   Qt::Key_F9, &CNetworkDialog::FindUnlistedComputer);

    QToolButton* journal = MakeButton(this, QStyle::SP_DriveHDIcon, "Local journal (F8)",
                                      Qt::Key_F8, &CNetworkDialog::AddLocalJournal);
    journal->setObjectName(QStringLiteral("localJournal"));
    QToolButton* journalFolder = MakeButton(this, QStyle::SP_DirIcon, "Journal folder...",
                                            QKeySequence(), &CNetworkDialog::AddJournalFolder);
    journalFolder->setObjectName(QStringLiteral("journalFolder"));
    QToolButton* evtxFiles = MakeButton(this, QStyle::SP_FileIcon, ".evtx files...", QKeySequence(),
                                        &CNetworkDialog::AddEvtxFiles);
    evtxFiles->setObjectName(QStringLiteral("evtxFiles"));

    auto* tools = new QHBoxLayout;
    for (QToolButton* b : {refresh, m_pRemove, myComputer, m_pUp, m_pShowLogs, find})
        tools->addWidget(b);
    if (!IsWizardMode()) {
        tools->addSpacing(12);
        for (QToolButton* b : {journal, journalFolder, evtxFiles})
            tools->addWidget(b);
    } else {
        for (QToolButton* b : {journal, journalFolder, evtxFiles})
            b->hide();
    }
    tools->addStretch();

    auto* explorerLabel = new QLabel(QStringLiteral("&Network Explorer:"));
    explorerLabel->setBuddy(m_pExplorer);
    auto* logsLabel = new QLabel(QStringLiteral("&Selected Logs:"));
    logsLabel->setBuddy(m_pLogs);

    m_pInfo = new QLabel;
    m_pInfo->setObjectName(QStringLiteral("info"));
    m_pInfo->setWordWrap(true);
    m_pJumpToEnd = new QCheckBox(QStringLiteral(
        "Start scanning from the ends of these logs ( ignore the existing events )"));
    m_pJumpToEnd->setObjectName(QStringLiteral("jumpToEnd"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNetworkDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNetworkDialog::reject);

    auto* grid = new QGridLayout;
    grid->addLayout(tools, 0, 0, 1, 2);
    grid->addWidget(explorerLabel, 1, 0);
    grid->addWidget(logsLabel, 1, 1);
    grid->addWidget(m_pExplorer, 2, 0);
    grid->addWidget(m_pLogs, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_pInfo);
    layout->addWidget(m_pJumpToEnd);
    layout->addWidget(buttons);

    connect(m_pExplorer, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { OnExplorerClicked(item); });
    connect(m_pExplorer, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OnExplorerDoubleClicked(item); });
    connect(m_pExplorer, &QTreeWidget::itemSelectionChanged, this, &CNetworkDialog::UpdateButtons);
    connect(m_pLogs, &QListWidget::itemSelectionChanged, this,
            &CNetworkDialog::OnLogSelectionChanged);

    Browse(nullptr, true);
    if (IsWizardMode()) {
        m_pInfo->setText(QStringLiteral(
            "NOTE: In Quick Start wizard mode, you can only check a single event log."));
        m_pJumpToEnd->hide();
        if (m_nMode == ADD_MODE_WIZARD_LOCAL_EVENT)
            ShowMyComputer();
    } else {
        m_pInfo->setText(QStringLiteral(
            "You can check as many event logs on as many different computers as you like."));
    }
    UpdateButtons();
}

void CNetworkDialog::Browse(const CNetResource* pContainer, bool bContext)
{
    QString title;
    if (bContext) {
        m_level = Level::context;
        title = QStringLiteral("Network Neighborhood");
    } else if (!pContainer || pContainer->m_dwDisplayType == RESOURCEDISPLAYTYPE_ROOT) {
        m_level = Level::root;
        title = QString::fromLatin1(ENTIRE_NETWORK_TEXT);
    } else {
        title = ToQt(pContainer->m_strRemoteName);
        if (pContainer->m_dwDisplayType == RESOURCEDISPLAYTYPE_NETWORK) {
            m_level = Level::network;
            m_lastNetwork = *pContainer;
        } else if (pContainer->m_dwDisplayType == RESOURCEDISPLAYTYPE_DOMAIN) {
            m_level = Level::domain;
            m_lastDomain = *pContainer;
        } else {
            m_level = Level::other;
        }
    }
    setWindowTitle(IsWizardMode() ? QStringLiteral("Quick Start - ") + title : title);

    // The container may be one of our own items' resources: list from a copy.
    std::optional<CNetResource> container;
    if (pContainer)
        container = *pContainer;
    else if (!bContext) {
        container.emplace();
        container->m_dwDisplayType = RESOURCEDISPLAYTYPE_ROOT;
        container->m_dwUsage = RESOURCEUSAGE_CONTAINER;
        container->m_strRemoteName = ENTIRE_NETWORK_TEXT;
    }
    m_pExplorer->clear();
    m_arrResources.clear();
    std::vector<CNetResource> entries;
    DWORD err = ERROR_SUCCESS;
    {
        CWaitCursor wait;
        err = EnumNetworkLevel(bContext ? RESOURCE_CONTEXT : RESOURCE_GLOBALNET,
                               container ? &*container : nullptr, entries);
    }
    if (err != ERROR_SUCCESS) {
        m_pUp->setEnabled(false);
        ShowError(this, err);
        return;
    }
    const bool bUpLevel = m_level != Level::root && m_level != Level::context;
    if (bUpLevel) {
        auto* up =
            new QTreeWidgetItem(m_pExplorer, QStringList(QString::fromLatin1(UP_LEVEL_TEXT)));
        up->setIcon(0, LevelIcon(RESOURCEDISPLAYTYPE_DOMAIN));
        up->setData(0, Qt::UserRole, ITEM_UP_LEVEL);
    }
    m_pUp->setEnabled(bUpLevel);
    m_arrResources.reserve(entries.size());
    for (const CNetResource& res : entries)
        AddExplorerItem(res);
    UpdateButtons();
}

void CNetworkDialog::AddExplorerItem(const CNetResource& res)
{
    auto* item = new QTreeWidgetItem(m_pExplorer);
    item->setIcon(0, LevelIcon(res.m_dwDisplayType));
    if (res.m_dwDisplayType == RESOURCEDISPLAYTYPE_SERVER) {
        item->setText(0, ComputerDisplayName(res.m_strRemoteName));
        item->setData(0, Qt::UserRole, ITEM_COMPUTER);
        return;
    }
    item->setText(0, res.m_dwDisplayType == RESOURCEDISPLAYTYPE_ROOT
                         ? QString::fromLatin1(ENTIRE_NETWORK_TEXT)
                         : ToQt(res.m_strRemoteName));
    item->setData(0, Qt::UserRole, static_cast<int>(m_arrResources.size()));
    m_arrResources.push_back(res);
}

const CNetResource* CNetworkDialog::ResourceOf(const QTreeWidgetItem* pItem) const
{
    if (!pItem)
        return nullptr;
    int index = pItem->data(0, Qt::UserRole).toInt();
    return index >= 0 && index < static_cast<int>(m_arrResources.size())
               ? &m_arrResources[static_cast<std::size_t>(index)]
               : nullptr;
}

void CNetworkDialog::OnExplorerClicked(QTreeWidgetItem* pItem)
{
    if (pItem && pItem->data(0, Qt::UserRole).toInt() == ITEM_COMPUTER)
        ShowLogs(FromQt(pItem->text(0)));
}

void CNetworkDialog::OnExplorerDoubleClicked(QTreeWidgetItem* pItem)
{
    if (!pItem)
        return;
    if (pItem->data(0, Qt::UserRole).toInt() == ITEM_UP_LEVEL) {
        UpLevel();
        return;
    }
    const CNetResource* res = ResourceOf(pItem);
    if (!res)
        return;
    if (res->m_dwDisplayType == RESOURCEDISPLAYTYPE_ROOT)
        Browse(nullptr, false);
    else if (res->IsContainer())
        Browse(res, false);
}

void CNetworkDialog::Refresh()
{
    switch (m_level) {
    case Level::context:
        Browse(nullptr, true);
        break;
    case Level::network:
        Browse(&m_lastNetwork, false);
        break;
    case Level::domain:
        Browse(&m_lastDomain, false);
        break;
    case Level::root:
    case Level::other:
        Browse(nullptr, false);
        break;
    }
}

void CNetworkDialog::UpLevel()
{
    if (m_level == Level::network)
        Browse(nullptr, false);
    else if (m_level == Level::domain)
        Browse(&m_lastNetwork, false);
}

void CNetworkDialog::ShowSelectedLogs()
{
    QList<QTreeWidgetItem*> items = m_pExplorer->selectedItems();
    if (!items.isEmpty())
        OnExplorerClicked(items.front());
}

void CNetworkDialog::ShowMyComputer()
{
    char name[100] = {};
    DWORD size = sizeof(name);
    if (GetComputerNameA(name, &size))
        ShowLogs(name);
}

void CNetworkDialog::FindUnlistedComputer()
{
    std::string name;
    if (AskUnlistedServer(this, name) && !name.empty())
        ShowLogs(name);
}

void CNetworkDialog::ShowLogs(const std::string& strComputer)
{
    CComputerLogs logs;
    {
        CWaitCursor wait;
        logs = ReadComputerLogs(strComputer);
    }
    if (!logs.m_bOk) {
        ShowMessageBox(this, logs.m_strError, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    for (const std::string& log : logs.m_arrLogs) {
        QString line = ToQt(strComputer + "\\" + log);
        if (!m_pLogs->findItems(line, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
            continue;
        auto* item = new QListWidgetItem(line, m_pLogs);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

void CNetworkDialog::AddSpecialLine(const QString& text, const std::string& value)
{
    for (int i = 0; i < m_pLogs->count(); ++i)
        if (m_pLogs->item(i)->data(Qt::UserRole).toString() == ToQt(value))
            return;
    auto* item = new QListWidgetItem(text, m_pLogs);
    item->setData(Qt::UserRole, ToQt(value));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    UpdateButtons();
}

void CNetworkDialog::AddLocalJournal()
{
    AddSpecialLine(QStringLiteral("Journal of this computer (from now on)"),
                   NETWORK_JOURNAL_PREFIX);
}

void CNetworkDialog::AddJournalFolder()
{
    const QString dir = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Folder of journal files"), QStringLiteral("/var/log/journal"));
    if (!dir.isEmpty())
        AddSpecialLine(QStringLiteral("Journal ") + dir + QStringLiteral(" (from now on)"),
                       NETWORK_JOURNAL_PREFIX + FromQt(dir));
}

void CNetworkDialog::AddEvtxFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral(".evtx files"), QString(),
        QStringLiteral("Windows event logs (*.evtx *.EVTX);;All files (*)"));
    for (const QString& file : files)
        AddSpecialLine(file, NETWORK_EVTX_PREFIX + FromQt(file));
}

void CNetworkDialog::RemoveSelected()
{
    QList<QListWidgetItem*> items;
    if (IsWizardMode()) {
        if (m_pLogs->currentItem())
            items.append(m_pLogs->currentItem());
    } else {
        // In list order, as the question shows them.
        for (int i = 0; i < m_pLogs->count(); ++i)
            if (m_pLogs->item(i)->isSelected())
                items.append(m_pLogs->item(i));
    }
    if (items.isEmpty())
        return;
    std::string text = "This will remove the following logs from the list:\n\n";
    for (QListWidgetItem* item : items)
        text += FromQt(item->text()) + "\n";
    text += "\nAre you sure?";
    if (ShowMessageBox(this, text, MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES)
        return;
    qDeleteAll(items);
    UpdateButtons();
}

void CNetworkDialog::OnLogSelectionChanged()
{
    if (IsWizardMode()) {
        QListWidgetItem* current = m_pLogs->currentItem();
        for (int i = 0; i < m_pLogs->count(); ++i) {
            QListWidgetItem* item = m_pLogs->item(i);
            item->setCheckState(item == current && item->isSelected() ? Qt::Checked
                                                                      : Qt::Unchecked);
        }
    }
    UpdateButtons();
}

void CNetworkDialog::UpdateButtons()
{
    m_pRemove->setEnabled(!m_pLogs->selectedItems().isEmpty());
    QList<QTreeWidgetItem*> items = m_pExplorer->selectedItems();
    m_pShowLogs->setEnabled(!items.isEmpty() &&
                            items.front()->data(0, Qt::UserRole).toInt() == ITEM_COMPUTER);
}

std::vector<std::string> CNetworkDialog::GetCheckedLogs() const
{
    std::vector<std::string> checked;
    for (int i = 0; i < m_pLogs->count(); ++i)
        if (m_pLogs->item(i)->checkState() == Qt::Checked) {
            const QVariant value = m_pLogs->item(i)->data(Qt::UserRole);
            checked.push_back(
                FromQt(value.isValid() ? value.toString() : m_pLogs->item(i)->text()));
        }
    return checked;
}

BOOL CNetworkDialog::GetJumpToEnd() const
{
    return m_pJumpToEnd->isChecked() ? TRUE : FALSE;
}

void CNetworkDialog::accept()
{
    std::size_t count = GetCheckedLogs().size();
    if (count == 0) {
        ShowMessageBox(this, IDS_NO_LOGS_SELECTED, MB_OK);
        return;
    }
    if (IsWizardMode() && count > 1) {
        ShowMessageBox(this, "In Wizard mode, you can only select one log!", MB_OK);
        return;
    }
    QDialog::accept();
}
