#include "ui/viewers/logcacheview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/launchers.h"
#include "core/itemid.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "textlog/filemonitor.h"
#include "ui/commands/marktextdialog.h"
#include "ui/common/commandids.h"
#include "ui/common/mainframe.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/cliptext.h"
#include "ui/viewers/eventkey.h"
#include "ui/viewers/finddialog.h"
#include "ui/viewers/highlights.h"
#include "ui/viewers/textload.h"
#include "ui/viewers/textpane.h"
#include "ui/viewers/textsearch.h"

namespace {

constexpr int MAX_FIND_TEXT = 100;

bool g_bLineNumbers = false; // shared by the text viewers of the process

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
      m_pProgress(new QProgressBar(this)), m_pFollow(new QToolButton(this)),
      m_pLegend(new CHighlightLegend(this))
{
    m_pPane->SetLineColors([this](std::size_t nLine) {
        const int nGroup = GroupOfLine(nLine);
        return nGroup < 0 ? QColor() : WatchGroupColor(nGroup, m_pPane->palette());
    });
    m_pFollow->setObjectName("follow");
    m_pFollow->setText(QStringLiteral("Follow"));
    m_pFollow->setCheckable(true);
    m_pFollow->setChecked(true);
    m_pFollow->setAutoRaise(true);
    m_pFollow->setFocusPolicy(Qt::NoFocus);
    m_pFollow->setToolTip(QStringLiteral("Follow the end of the log as it grows"));
    connect(m_pFollow, &QToolButton::toggled, this, [this](bool bOn) {
        if (bOn)
            m_pPane->ScrollToEnd();
    });
    connect(m_pPane->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CLogCacheView::OnScrolled);
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
    pLayout->addWidget(m_pLegend);
    auto* pBar = new QHBoxLayout;
    pBar->setContentsMargins(0, 0, 0, 0);
    pBar->addWidget(m_pProgress, 1);
    pBar->addStretch();
    pBar->addWidget(m_pFollow);
    pLayout->addLayout(pBar);
    connect(m_pPane, &QWidget::customContextMenuRequested, this, &CLogCacheView::ShowContextMenu);

    ApplyFont();
    m_pPane->SetLineNumbers(g_bLineNumbers);
    m_frame.GetDocument().AddView(this);
}

int CLogCacheView::GroupOfLine(std::size_t nLine)
{
    const std::size_t nLines = m_pPane->GetLineCount();
    if (m_lineGroups.size() < nLines)
        m_lineGroups.resize(nLines, -2);
    if (nLine >= m_lineGroups.size())
        return -1;
    if (m_lineGroups[nLine] == -2) {
        CQuorvilDoc& doc = m_frame.GetDocument();
        const CMonitoredObject* pLog = doc.m_pManager ? doc.m_pManager->FindLog(m_dwID) : nullptr;
        int nGroup = -1;
        if (pLog) {
            const std::string_view bytes = m_pPane->GetBytes();
            const std::size_t nStart = m_pPane->LineStart(nLine);
            const std::size_t nEnd =
                nLine + 1 < nLines ? m_pPane->LineStart(nLine + 1) - 1 : bytes.size();
            nGroup = MatchingTextGroup(*pLog, bytes.substr(nStart, nEnd - nStart));
        }
        m_lineGroups[nLine] = static_cast<signed char>(std::min(nGroup, 127));
    }
    return m_lineGroups[nLine];
}

void CLogCacheView::UpdateHighlights()
{
    m_lineGroups.clear();
    CQuorvilDoc& doc = m_frame.GetDocument();
    m_pLegend->ShowGroups(doc.m_pManager ? doc.m_pManager->FindLog(m_dwID) : nullptr);
    m_pPane->viewport()->update();
}

bool CLogCacheView::OnNextMatch(bool bForward)
{
    const std::size_t nLines = m_pPane->GetLineCount();
    std::size_t nLine = m_pPane->LineOfOffset(m_pPane->GetSelectionEnd());
    while (bForward ? nLine + 1 < nLines : nLine > 0) {
        nLine = bForward ? nLine + 1 : nLine - 1;
        if (GroupOfLine(nLine) >= 0) {
            m_pPane->SetSelection(m_pPane->LineStart(nLine), m_pPane->LineStart(nLine));
            m_pPane->EnsureCursorVisible();
            return true;
        }
    }
    return false;
}

void CLogCacheView::OnToggleLineNumbers()
{
    g_bLineNumbers = !m_pPane->HasLineNumbers();
    m_pPane->SetLineNumbers(g_bLineNumbers);
}

void CLogCacheView::OnGoToLine()
{
    const int nLines = static_cast<int>(std::min<std::size_t>(m_pPane->GetLineCount(), INT_MAX));
    const int nCurrent = static_cast<int>(m_pPane->LineOfOffset(m_pPane->GetSelectionEnd()) + 1);
    bool bOk = false;
    const int nLine = QInputDialog::getInt(this, QStringLiteral("Go to Line"),
                                           QStringLiteral("&Line number (1 - %1):").arg(nLines),
                                           nCurrent, 1, nLines, 1, &bOk);
    if (!bOk)
        return;
    m_pPane->GoToLine(static_cast<std::size_t>(nLine - 1));
    m_pPane->setFocus();
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
    m_pFollow->setChecked(true);
    Reload();
}

bool CLogCacheView::IsFollowing() const
{
    return m_pFollow->isChecked();
}

void CLogCacheView::SetFollowing(bool bFollow)
{
    m_pFollow->setChecked(bFollow);
}

void CLogCacheView::OnScrolled()
{
    // Loads grow the bar's range with its signals blocked: only the reader's
    // own scrolling (and the view's jumps) come here.
    QScrollBar* pBar = m_pPane->verticalScrollBar();
    m_pFollow->setChecked(pBar->value() == pBar->maximum());
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
    m_bChangedWhileLoading = false;
    m_pProgress->hide();
    m_nKeptTop = m_pPane->GetTopLine();
    m_nKeptAnchor = m_pPane->GetSelectionStart();
    m_nKeptCursor = m_pPane->GetSelectionEnd();
    {
        // Emptying the pane is no scroll of the reader's.
        const QSignalBlocker blocker(m_pPane->verticalScrollBar());
        m_pPane->Clear();
    }
    m_nFileBytes = 0;
    UpdateHighlights();
    std::string path = GetItemPath();
    if (path.empty()) {
        emit Loaded();
        return;
    }
    m_frame.SetMessageText(ToQt(path));

    const std::optional<std::string> local = MapNetworkPath(path);
    const std::optional<int> opened = local ? OpenAsLog(*local) : -1;
    if (!opened) {
        emit Loaded();
        return;
    }
    const int fd = *opened;
    if (fd < 0) {
        NotifyState(MON_STATE_ERROR);
        m_pPane->Append("Error opening file: " + path + "\n");
        emit Loaded();
        return;
    }
    NotifyState(MON_STATE_UNCHANGED);
    m_pProgress->setValue(0);
    m_pProgress->show();
    StartLoad(fd, false);
}

std::optional<int> CLogCacheView::OpenAsLog(const std::string& localPath)
{
    CQuorvilDoc& doc = m_frame.GetDocument();
    CMonitoredObject* pLog = doc.m_pManager ? doc.m_pManager->FindLog(m_dwID) : nullptr;
    std::optional<CLogonScope> logon;
    if (pLog && !logon.emplace(*pLog))
        return std::nullopt;
    return ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC);
}

void CLogCacheView::StartLoad(int fd, bool bAppend)
{
    m_pLoad = CTextLoad::Start(
        this, fd,
        [this](const std::string& bytes, int nPercent) {
            const QSignalBlocker blocker(m_pPane->verticalScrollBar());
            // The last line may grow: its group is found again.
            if (m_pPane->GetLineCount() <= m_lineGroups.size())
                m_lineGroups[m_pPane->GetLineCount() - 1] = -2;
            m_pPane->Append(bytes);
            m_nFileBytes += bytes.size();
            m_pProgress->setValue(nPercent);
        },
        [this, bAppend] {
            if (!bAppend && !IsFollowing()) {
                // A reload keeps the reader where they were.
                m_pPane->SetSelection(m_nKeptAnchor, m_nKeptCursor);
                m_pPane->SetTopLine(m_nKeptTop);
            }
            FinishLoad();
        },
        m_nBlockBytes);
}

void CLogCacheView::LoadAppended()
{
    if (IsLoading()) {
        m_bChangedWhileLoading = true;
        return;
    }
    const std::string path = GetItemPath();
    std::optional<std::string> local = path.empty() ? std::nullopt : MapNetworkPath(path);
    if (!local || m_pPane->GetBytes().size() != m_nFileBytes)
        return Reload(); // an error text stands in the pane, or no file
    const std::optional<int> opened = OpenAsLog(*local);
    if (!opened)
        return Reload();
    const int fd = *opened;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || static_cast<std::size_t>(st.st_size) < m_nFileBytes) {
        if (fd >= 0)
            ::close(fd);
        return Reload(); // gone or cut: read it again
    }
    // A file replaced by one at least as long shows in the last bytes read.
    const std::string_view shown = m_pPane->GetBytes();
    const std::size_t nTail = std::min<std::size_t>({64, m_nFileBytes, shown.size()});
    std::string tail(nTail, '\0');
    if (nTail && (::pread(fd, tail.data(), nTail, static_cast<off_t>(m_nFileBytes - nTail)) !=
                      static_cast<ssize_t>(nTail) ||
                  tail != shown.substr(shown.size() - nTail))) {
        ::close(fd);
        return Reload();
    }
    if (static_cast<std::size_t>(st.st_size) == m_nFileBytes ||
        ::lseek(fd, static_cast<off_t>(m_nFileBytes), SEEK_SET) < 0) {
        ::close(fd);
        return;
    }
    StartLoad(fd, true);
}

void CLogCacheView::FinishLoad()
{
    m_pProgress->hide();
    if (IsFollowing())
        m_pPane->ScrollToEnd();
    emit Loaded();
    if (m_bChangedWhileLoading) {
        m_bChangedWhileLoading = false;
        LoadAppended();
    }
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
        if (pHint && m_dwID != 0 && pHint->m_dwID == m_dwID)
            Reload();
        break;
    case ViewHint::LogState:
        if (pHint && m_dwID != 0 && pHint->m_dwID == m_dwID)
            LoadAppended();
        break;
    case ViewHint::LogEdited:
    case ViewHint::KeyEdited:
    case ViewHint::KeyAdded:
    case ViewHint::KeyDeleted:
    case ViewHint::GroupEdited:
    case ViewHint::GroupAdded:
    case ViewHint::GroupDeleted:
        if (pHint && m_dwID != 0 && pHint->m_dwID == m_dwID)
            UpdateHighlights();
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
    case ID_VIEW_FIND_PREV:
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
    case ID_VIEW_FIND_PREV:
        OnFindPrevious();
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
    return Find(true);
}

bool CLogCacheView::OnFindPrevious()
{
    return Find(false);
}

bool CLogCacheView::Find(bool bForward)
{
    std::string what = m_pFind ? FromQt(m_pFind->GetText()) : m_pPane->GetSelectedBytes();
    if (what.empty() && !m_pFind)
        what = m_strLastSearch;
    if (what.empty() || what.size() >= MAX_FIND_TEXT)
        return false;
    m_strLastSearch = what;
    const std::string_view bytes = m_pPane->GetBytes();
    const std::size_t nOld = m_pPane->GetSelectionStart();
    auto search = [&](std::size_t nFrom) {
        return bForward ? FindInText(bytes, what, nFrom, m_bMatchCase, m_bWholeWord)
                        : FindInTextBackward(bytes, what, nFrom, m_bMatchCase, m_bWholeWord);
    };
    std::size_t nFound = search(bForward ? nOld + 1 : nOld);
    if (nFound == std::string::npos) {
        const std::string question = "Cannot find \"" + what + "\".\n\nSearch again from the " +
                                     (bForward ? "top" : "end") + " of the log?";
        QWidget* parent = m_pFind ? static_cast<QWidget*>(m_pFind) : this;
        if (ShowMessageBox(parent, question, MB_YESNO | MB_ICONINFORMATION) != IDYES)
            return false;
        nFound = search(bForward ? 0 : bytes.size());
        if (nFound == std::string::npos)
            return false;
    }
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
    CQuorvilDoc& doc = m_frame.GetDocument();
    WatchNewKey(doc, m_dwID, MakeTextKey(m_pPane->GetSelectedBytes()), [&doc](CSearchKey& key) {
        return doc.GetUi().EditTextKey(static_cast<CSearchKeyText&>(key));
    });
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
    menu.addAction(QStringLiteral("Find pre&vious\tShift+F3"), this,
                   &CLogCacheView::OnFindPrevious);
    menu.addAction(QStringLiteral("&Go to Line...\tCtrl+G"), this, &CLogCacheView::OnGoToLine);
    QAction* pNumbers =
        menu.addAction(QStringLiteral("Line &numbers"), this, &CLogCacheView::OnToggleLineNumbers);
    pNumbers->setCheckable(true);
    pNumbers->setChecked(m_pPane->HasLineNumbers());
    if (m_pLegend->isVisible()) {
        menu.addAction(QStringLiteral("Ne&xt Watched Line\tCtrl+Down"), this,
                       [this] { OnNextMatch(true); });
        menu.addAction(QStringLiteral("Previous Watched &Line\tCtrl+Up"), this,
                       [this] { OnNextMatch(false); });
    }
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
    if (bControl && (pKey->key() == Qt::Key_Down || pKey->key() == Qt::Key_Up))
        OnNextMatch(pKey->key() == Qt::Key_Down);
    else if (bControl && (pKey->key() == Qt::Key_C || pKey->key() == Qt::Key_Insert))
        OnCopy();
    else if (bControl && pKey->key() == Qt::Key_F)
        OnFind();
    else if (bControl && pKey->key() == Qt::Key_G)
        OnGoToLine();
    else if (pKey->key() == Qt::Key_F3 && (pKey->modifiers() & Qt::ShiftModifier))
        OnFindPrevious();
    else if (pKey->key() == Qt::Key_F3)
        OnFindNext();
    else if (pKey->key() == Qt::Key_F5)
        OnRefresh();
    else if (IsViewerKey(pKey->key()))
        return false;
    return true;
}
