#include "ui/viewers/logcacheview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include <fcntl.h>

#include "app/launchers.h"
#include "core/itemid.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "textlog/filemonitor.h"
#include "ui/commands/marktextdialog.h"
#include "ui/common/commandids.h"
#include "ui/common/mainframe.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/cliptext.h"
#include "ui/viewers/eventkey.h"
#include "ui/viewers/finddialog.h"
#include "ui/viewers/textload.h"
#include "ui/viewers/textpane.h"
#include "ui/viewers/textsearch.h"

namespace {

constexpr int MAX_FIND_TEXT = 100;

// The keys that reach the read-only text; the others are swallowed.
bool IsViewerKey(int nKey)
{
    switch (nKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

} // namespace

CLogCacheView::CLogCacheView(IMainFrame& frame, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_pPane(new CTextPane(this)),
      m_pProgress(new QProgressBar(this))
{
    m_pPane->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pPane->installEventFilter(this);
    setFocusProxy(m_pPane);
    m_pProgress->setRange(0, 100);
    m_pProgress->setTextVisible(true);
    m_pProgress->hide();

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(m_pPane, 1);
    pLayout->addWidget(m_pProgress);
    connect(m_pPane, &QWidget::customContextMenuRequested, this, &CLogCacheView::ShowContextMenu);

    ApplyFont();
    m_frame.GetDocument().AddView(this);
}

CLogCacheView::~CLogCacheView()
{
    if (m_pLoad)
        m_pLoad->Cancel();
    m_frame.GetDocument().RemoveView(this);
}

void CLogCacheView::ShowItem(DWORD dwID)
{
    m_dwID = dwID;
    Reload();
}

std::string CLogCacheView::GetItemPath() const
{
    switch (ItemKind(m_dwID)) {
    case 0:
        return {};
    case ITEM_KIND_SYSTEM_LOG:
        return AppSettings::GetErrorLogPath();
    case ITEM_KIND_TEXT_AUDIT:
        return AppSettings::GetAuditText();
    case ITEM_KIND_EVENT_AUDIT:
        return AppSettings::GetAuditNT();
    default:
        break;
    }
    CQuorvilDoc& doc = m_frame.GetDocument();
    auto* pLog =
        doc.m_pManager ? dynamic_cast<CFileMonitor*>(doc.m_pManager->FindLog(m_dwID)) : nullptr;
    return pLog ? pLog->GetFilePath() : std::string();
}

bool CLogCacheView::IsLoading() const
{
    return m_pLoad && !m_pLoad->IsDone();
}

void CLogCacheView::NotifyState(int nState)
{
    CQuorvilDoc& doc = m_frame.GetDocument();
    CMonitoredObject* pLog = doc.m_pManager ? doc.m_pManager->FindLog(m_dwID) : nullptr;
    if (!pLog)
        return;
    pLog->SetState(nState);
    // The document sends the hint back to this view too.
    m_bNotifying = true;
    doc.OnScanProgress(m_dwID, 0);
    m_bNotifying = false;
}

void CLogCacheView::Reload()
{
    if (m_pLoad) {
        m_pLoad->Cancel();
        m_pLoad.reset();
    }
    m_pProgress->hide();
    m_pPane->Clear();
    std::string path = GetItemPath();
    if (path.empty()) {
        emit Loaded();
        return;
    }
    m_frame.SetMessageText(ToQt(path));

    CQuorvilDoc& doc = m_frame.GetDocument();
    CMonitoredObject* pLog = doc.m_pManager ? doc.m_pManager->FindLog(m_dwID) : nullptr;
    // Impersonation holds for this thread only, so the file is opened here
    // and read by the worker.
    if (pLog && !pLog->LogonAsUser()) {
        emit Loaded();
        return;
    }
    std::optional<std::string> local = MapNetworkPath(path);
    int fd = local ? ::open(local->c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (pLog)
        pLog->RevertLogon();
    if (fd < 0) {
        NotifyState(MON_STATE_ERROR);
        m_pPane->Append("Error opening file: " + path + "\n");
        emit Loaded();
        return;
    }
    NotifyState(MON_STATE_UNCHANGED);
    m_pProgress->setValue(0);
    m_pProgress->show();
    m_pLoad = CTextLoad::Start(
        this, fd,
        [this](const std::string& bytes, int nPercent) {
            m_pPane->Append(bytes);
            m_pProgress->setValue(nPercent);
        },
        [this] { FinishLoad(); }, m_nBlockBytes);
}

void CLogCacheView::FinishLoad()
{
    m_pProgress->hide();
    m_pPane->ScrollToEnd();
    emit Loaded();
}

void CLogCacheView::ApplyFont()
{
    LOGFONT lf;
    AppSettings::GetViewFont(lf);
    QFont font(QString::fromLocal8Bit(lf.lfFaceName));
    QScreen* pScreen = QApplication::primaryScreen();
    double dDpi = pScreen ? pScreen->logicalDotsPerInchY() : 96.0;
    // Twentieths of a point, as the font height converts.
    int nTwips = static_cast<int>(-lf.lfHeight * 72 * 20 / dDpi);
    if (nTwips < 0)
        nTwips = -nTwips;
    if (nTwips > 0)
        font.setPointSizeF(nTwips / 20.0);
    font.setBold(lf.lfWeight >= 700);
    font.setItalic(lf.lfItalic != 0);
    m_pPane->setFont(font);
}

void CLogCacheView::OnUpdate(ViewHint hint, const CHintStruct* pHint)
{
    if (m_bNotifying)
        return;
    switch (hint) {
    case ViewHint::ScriptRun:
        Reload();
        break;
    case ViewHint::LogDeleted:
    case ViewHint::LogState:
        if (pHint && m_dwID != 0 && pHint->m_dwID == m_dwID)
            Reload();
        break;
    case ViewHint::SettingsChanged:
        ApplyFont();
        break;
    default:
        break;
    }
}

bool CLogCacheView::UpdateCommand(UINT nID, CCommandState& state)
{
    switch (nID) {
    case ID_EDIT_PASTE:
        state.bEnabled = false;
        return true;
    case ID_EDIT_COPY:
        state.bEnabled = m_pPane->HasSelection();
        return true;
    case ID_VIEW_REFRESH:
    case ID_LOG_EDITOR:
    case ID_LOG_MARK:
    case ID_LOG_FAST_MARK:
        state.bEnabled = m_dwID != 0;
        return true;
    case ID_VIEW_FIND:
    case ID_VIEW_FIND_NEXT:
        state.bEnabled = true;
        return true;
    default:
        return false;
    }
}

bool CLogCacheView::OnCommand(UINT nID)
{
    switch (nID) {
    case ID_EDIT_PASTE:
        return true;
    case ID_EDIT_COPY:
        OnCopy();
        return true;
    case ID_VIEW_REFRESH:
        OnRefresh();
        return true;
    case ID_LOG_EDITOR:
        OnSendToEditor();
        return true;
    case ID_LOG_MARK:
        OnMark();
        return true;
    case ID_LOG_FAST_MARK:
        OnFastMark();
        return true;
    case ID_VIEW_FIND:
        OnFind();
        return true;
    case ID_VIEW_FIND_NEXT:
        OnFindNext();
        return true;
    default:
        return false;
    }
}

void CLogCacheView::OnCopy()
{
    std::string text = m_pPane->GetSelectedBytes();
    if (!text.empty())
        CopyTextToClipboard(std::move(text));
}

void CLogCacheView::OnFind()
{
    if (m_pFind) {
        m_pFind->raise();
        m_pFind->activateWindow();
        m_pFind->GetEdit()->setFocus();
        return;
    }
    std::string text = m_pPane->GetSelectedBytes();
    if (text.empty())
        text = m_strLastSearch;
    m_pFind = new CFindDialog(*this, ToQt(text));
    m_pFind->show();
}

bool CLogCacheView::OnFindNext()
{
    std::string what = m_pFind ? FromQt(m_pFind->GetText()) : m_pPane->GetSelectedBytes();
    if (what.empty() || what.size() >= MAX_FIND_TEXT)
        return false;
    m_strLastSearch = what;
    const std::size_t nOld = m_pPane->GetSelectionStart();
    const std::size_t nFound =
        FindInText(m_pPane->GetBytes(), what, nOld + 1, m_bMatchCase, m_bWholeWord);
    if (nFound == std::string::npos)
        return false;
    // The find stands where the selection stood.
    const std::size_t nTop =
        m_pPane->GetTopLine() + m_pPane->LineOfOffset(nFound) - m_pPane->LineOfOffset(nOld);
    m_pPane->SetSelection(nFound, nFound + what.size());
    m_pPane->SetTopLine(nTop);
    m_pPane->EnsureCursorVisible();
    return true;
}

void CLogCacheView::OnRefresh()
{
    if (IsRefreshEnabled())
        Reload();
}

void CLogCacheView::OnSendToEditor()
{
    std::string path = GetItemPath();
    if (!path.empty())
        LaunchEditor(path);
}

void CLogCacheView::OnMark()
{
    if (m_dwID == 0)
        return;
    std::string text = "My Mark";
    if (AskMarkText(m_frame.GetWindow(), text))
        m_frame.GetDocument().MarkLog(m_dwID, text);
}

void CLogCacheView::OnFastMark()
{
    if (m_dwID != 0)
        m_frame.GetDocument().MarkLog(m_dwID, AppSettings::GetFastMark());
}

bool CLogCacheView::IsWatchTextEnabled() const
{
    return m_dwID != 0 && ItemKind(m_dwID) != ITEM_KIND_SYSTEM_LOG && m_pPane->HasSelection();
}

void CLogCacheView::OnWatchText()
{
    if (!IsWatchTextEnabled())
        return;
    std::unique_ptr<CSearchKeyText> pKey = MakeTextKey(m_pPane->GetSelectedBytes());
    CQuorvilDoc& doc = m_frame.GetDocument();
    DWORD dwID = m_dwID;
    int nGroup = doc.ChooseOrAddWatchGroup(dwID);
    if (nGroup < 0)
        return;
    if (doc.GetUi().EditTextKey(*pKey))
        doc.AddSearchKey(dwID, nGroup, pKey.release());
}

void CLogCacheView::ShowContextMenu(const QPoint& pos)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Send to Editor\t "), this, &CLogCacheView::OnSendToEditor);
    menu.addAction(QStringLiteral("&Copy              \tCtrl+C"), this, &CLogCacheView::OnCopy);
    menu.addAction(QStringLiteral("Ma&rk...\tCtrl+K"), this, &CLogCacheView::OnMark);
    menu.addAction(QStringLiteral("&Fast Mark\tAlt+K"), this, &CLogCacheView::OnFastMark);
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Find...\tCtrl+F"), this, &CLogCacheView::OnFind);
    menu.addAction(QStringLiteral("Find n&ext\tF3"), this, &CLogCacheView::OnFindNext);
    if (IsWatchTextEnabled()) {
        menu.addSeparator();
        menu.addAction(QStringLiteral("&Watch this text..."), this, &CLogCacheView::OnWatchText);
    }
    menu.exec(m_pPane->viewport()->mapToGlobal(pos));
}

bool CLogCacheView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_pPane || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* pKey = static_cast<QKeyEvent*>(event);
    const bool bControl = pKey->modifiers() & Qt::ControlModifier;
    if (bControl && (pKey->key() == Qt::Key_C || pKey->key() == Qt::Key_Insert))
        OnCopy();
    else if (bControl && pKey->key() == Qt::Key_F)
        OnFind();
    else if (pKey->key() == Qt::Key_F3)
        OnFindNext();
    else if (pKey->key() == Qt::Key_F5)
        OnRefresh();
    else if (IsViewerKey(pKey->key()))
        return false;
    return true;
}
