#include "ui/dialogs/watchgroupdialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "eventlog/scan/eventmonitor.h"
#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"
#include "platform/clipboard/clipboard.h"
#include "textlog/filemonitor.h"
#include "ui/common/icons.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/clipboardops.h"
#include "ui/dialogs/commandbar.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/keytesterdialog.h"
#include "ui/dialogs/okcancel.h"

CDlgWatchGroup::CDlgWatchGroup(CKeysAndActions& group, bool bEventKeys, QWidget* parent)
    : QDialog(parent), m_group(group), m_bEventKeys(bEventKeys),
      m_pDescription(new QLineEdit(this)), m_pList(new QTreeWidget(this))
{
    setWindowTitle("Edit Watch Group");
    m_pDescription->setObjectName("description");
    m_pDescription->setText(ToQt(group.m_strDescription));
    m_pList->setObjectName("keys");
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setIconSize(QSize(16, 16));
    if (bEventKeys) {
        m_pList->setHeaderLabels({"Key", "Description"});
        m_pList->setColumnWidth(0, m_pList->fontMetrics().horizontalAdvance("Key") + 8 + 16);
    } else {
        m_pList->setHeaderLabels({"Description", "Case Sensitive"});
        m_pList->setColumnWidth(0, 175);
    }
    m_pList->header()->setStretchLastSection(true);
    m_pBar = new CItemCommandBar(
        m_pList, true, [this] { return IsOnClipboard(GetKeyFormat()); }, this);
    connect(m_pBar, &CItemCommandBar::Command, this, &CDlgWatchGroup::OnCommand);

    auto* advanced = new QPushButton("Advanced...", this);
    advanced->setObjectName("advanced");
    connect(advanced, &QPushButton::clicked, this, [this] {
        RunAdvancedOptions(this, m_group.m_bMinInterval, m_group.m_nMinIntervalMinutes);
    });

    auto* rules = new QPushButton("Rules...", this);
    rules->setObjectName("rules");
    rules->setToolTip("Thresholds and silence");
    connect(rules, &QPushButton::clicked, this,
            [this] { RunGroupRulesDialog(this, m_group.m_rules); });
    auto* test = new QPushButton("Test Keys...", this);
    test->setObjectName("testKeys");
    connect(test, &QPushButton::clicked, this, &CDlgWatchGroup::TestKeys);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Description:", this));
    layout->addWidget(m_pDescription);
    layout->addWidget(new QLabel(bEventKeys ? "Event keys" : "Text keys", this));
    layout->addWidget(m_pBar);
    if (!bEventKeys) {
        auto* addRegex = new QPushButton("Add Regular Expression...", this);
        addRegex->setObjectName("addRegex");
        connect(addRegex, &QPushButton::clicked, this, &CDlgWatchGroup::AddRegexKey);
        layout->addWidget(addRegex, 0, Qt::AlignLeft);
    }
    layout->addWidget(m_pList);
    auto* buttons = MakeOkCancel(this);
    buttons->addButton(advanced, QDialogButtonBox::ActionRole);
    buttons->addButton(rules, QDialogButtonBox::ActionRole);
    buttons->addButton(test, QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    resize(440, 320);
    Refill();
}

UINT CDlgWatchGroup::GetKeyFormat() const
{
    return GetBnClipFormat(m_bEventKeys ? BnClipFormat::SEARCHKEYEVENT
                                        : BnClipFormat::SEARCHKEYTEXT);
}

void CDlgWatchGroup::Refill()
{
    RefillList(m_pList, [this] {
        const QIcon icon = GetImageIcon(IMAGE_KEY);
        for (int i = 0; i < m_group.GetKeyCount(); ++i) {
            const CSearchKey* pKey = m_group.GetKey(i);
            if (!pKey)
                continue;
            auto* item = new QTreeWidgetItem(m_pList);
            item->setData(0, Qt::UserRole, i);
            item->setIcon(0, icon);
            if (m_bEventKeys) {
                item->setText(1, ToQt(pKey->GetDescription()));
            } else {
                const auto* pText = dynamic_cast<const CSearchKeyText*>(pKey);
                const auto* pRegex = dynamic_cast<const CSearchKeyRegex*>(pKey);
                const bool bCase =
                    pText ? pText->m_bCaseSensitive != FALSE : pRegex && pRegex->IsCaseSensitive();
                item->setText(0, ToQt(pKey->GetDescription()));
                item->setText(1, bCase ? "Yes" : "No");
            }
        }
    });
    m_pBar->UpdateStates();
}

void CDlgWatchGroup::OnCommand(int cmd)
{
    const int nRow = GetSelectedRow(m_pList);
    switch (cmd) {
    case CMD_ADD:
        AddKey();
        break;
    case CMD_EDIT:
        EditKey(nRow);
        break;
    case CMD_DELETE:
        if (ShowMessageBox(this, "Are you sure you want to delete this item?",
                           MB_YESNO | MB_ICONQUESTION) == IDYES) {
            m_group.RemoveKey(nRow);
            Refill();
        }
        break;
    case CMD_TASK:
        // The task's own dialog (what CTask::Properties opens), over this one.
        RunTaskDialog(this, m_group.m_task);
        break;
    case CMD_COPY:
        CopyKey(nRow);
        break;
    case CMD_PASTE:
        PasteKey();
        break;
    case CMD_DUPLICATE:
        CopyKey(nRow);
        PasteKey();
        break;
    default:
        break;
    }
}

void CDlgWatchGroup::AddKey()
{
    BOOL bOk = FALSE;
    std::unique_ptr<CSearchKey> pKey;
    if (m_bEventKeys) {
        auto pEvent = std::make_unique<CSearchKeyEvent>();
        bOk = RunEventKeyDialog(this, *pEvent);
        pKey = std::move(pEvent);
    } else {
        auto pText = std::make_unique<CSearchKeyText>();
        bOk = RunTextKeyDialog(this, *pText);
        pKey = std::move(pText);
    }
    if (!bOk)
        return;
    m_group.AddKey(pKey.release());
    Refill();
}

void CDlgWatchGroup::AddRegexKey()
{
    auto pKey = std::make_unique<CSearchKeyRegex>();
    if (!RunRegexKeyDialog(this, *pKey))
        return;
    m_group.AddKey(pKey.release());
    Refill();
}

void CDlgWatchGroup::TestKeys()
{
    // The tester takes its own copy of this working copy.
    std::unique_ptr<CMonitoredObject> pLog;
    if (m_bEventKeys)
        pLog = std::make_unique<CEventMonitor>();
    else
        pLog = std::make_unique<CFileMonitor>();
    auto* pGroup = new CKeysAndActions(m_group);
    pGroup->m_strDescription = FromQt(m_pDescription->text());
    pLog->AddWatchGroup(pGroup);
    auto* tester = new CDlgKeyTester(*pLog, pGroup->m_strDescription, this);
    tester->show();
}

void CDlgWatchGroup::EditKey(int index)
{
    CSearchKey* pKey = m_group.GetKey(index);
    if (auto* pEvent = dynamic_cast<CSearchKeyEvent*>(pKey)) {
        CSearchKeyEvent copy(*pEvent);
        if (!RunEventKeyDialog(this, copy))
            return;
        CSingleLock lock(g_csMonitor);
        pEvent->Assign(copy);
    } else if (auto* pText = dynamic_cast<CSearchKeyText*>(pKey)) {
        CSearchKeyText copy(*pText);
        if (!RunTextKeyDialog(this, copy))
            return;
        CSingleLock lock(g_csMonitor);
        pText->Assign(copy);
    } else if (auto* pRegex = dynamic_cast<CSearchKeyRegex*>(pKey)) {
        CSearchKeyRegex copy(*pRegex);
        if (!RunRegexKeyDialog(this, copy))
            return;
        CSingleLock lock(g_csMonitor);
        pRegex->Assign(copy);
    } else {
        return;
    }
    Refill();
}

void CDlgWatchGroup::CopyKey(int index)
{
    if (const CSearchKey* pKey = m_group.GetKey(index))
        PutOnClipboard(pKey->GetClipFormat(), pKey->CopyToGlobalMemory());
}

void CDlgWatchGroup::PasteKey()
{
    if (!IsOnClipboard(GetKeyFormat()))
        return;
    std::unique_ptr<CSearchKey> pKey;
    try {
        pKey = CSearchKey::FromGlobalMemory(GetFromClipboard(GetKeyFormat()));
    } catch (const CArchiveException&) {
        return;
    }
    const bool bRightKind = m_bEventKeys
                                ? dynamic_cast<CSearchKeyEvent*>(pKey.get()) != nullptr
                                : dynamic_cast<CSearchKeyText*>(pKey.get()) != nullptr ||
                                      dynamic_cast<CSearchKeyRegex*>(pKey.get()) != nullptr;
    if (!bRightKind)
        return;
    m_group.AddKey(pKey.release());
    Refill();
}

void CDlgWatchGroup::accept()
{
    if (m_pDescription->text().isEmpty()) {
        ShowMessageBox(this, "You must enter a description for this watch group!",
                       MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_group.m_strDescription = FromQt(m_pDescription->text());
    QDialog::accept();
}
