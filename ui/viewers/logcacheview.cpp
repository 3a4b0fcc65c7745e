#include "ui/viewers/logcacheview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include <fcntl.h>

#include "app/launchers.h"
#include "app/settings/appsettings.h"
#include "core/model/itemid.h"
#include "platform/clipboard/clipboard.h"
#include "platform/network/network.h"
#include "textlog/filemonitor.h"
#include "ui/commands/marktextdialog.h"
#include "ui/common/commandids.h"
#include "ui/common/mainframe.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/eventkey.h"
#include "ui/viewers/finddialog.h"
#include "ui/viewers/textload.h"

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

// The selection as plain text, with line ends as "\n".
QString SelectedText(const QPlainTextEdit& edit)
{
    return edit.textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

} // namespace

CLogCacheView::CLogCacheView(IMainFrame& frame, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_pEdit(new QPlainTextEdit(this)), m_pProgress(new QProgressBar(this))
{
    m_pEdit->setReadOnly(true);
    m_pEdit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_pEdit->setUndoRedoEnabled(false);
    m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pEdit->installEventFilter(this);
    setFocusProxy(m_pEdit);
    m_pProgress->setRange(0, 100);
    m_pProgress->setTextVisible(true);
    m_pProgress->hide();

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(m_pEdit, 1);
    pLayout->addWidget(m_pProgress);
    connect(m_pEdit, &QWidget::customContextMenuRequested, this, &CLogCacheView::ShowContextMenu);

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
    auto* pLog = doc.m_pManager ? dynamic_cast<CFileMonitor*>(doc.m_pManager->FindLog(m_dwID)) : nullptr;
    return pLog ? pLog->GetFilePath() : std::string();
}

bool CLogCacheView::IsLoading() const
{
    return m_pLoad && !m_pLoad->IsDone();
}

void CLogCacheView::SetText(const QString& text)
{
    m_pEdit->setPlainText(text);
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
    SetText({});
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
        SetText(ToQt("Error opening file: " + path + "\n"));
        emit Loaded();
        return;
    }
    NotifyState(MON_STATE_UNCHANGED);
    m_pProgress->setValue(0);
    m_pProgress->show();
    QTextCursor end(m_pEdit->document());
    m_pLoad = CTextLoad::Start(
        this, fd,
        [this, end](const QString& text, int nPercent) mutable {
            end.movePosition(QTextCursor::End);
            end.insertText(text);
            m_pProgress->setValue(nPercent);
        },
        [this](bool bOk) { FinishLoad(bOk); }, m_nBlockBytes);
}

void CLogCacheView::FinishLoad(bool /*bOk*/)
{
    m_pProgress->hide();
    QScrollBar* pBar = m_pEdit->verticalScrollBar();
    pBar->setValue(pBar->maximum());
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
    m_pEdit->setFont(font);
    m_pEdit->document()->setDefaultFont(font);
}

void CLogCacheView::OnUpdate(LPARAM lHint, const CHintStruct* pHint)
{
    if (m_bNotifying)
        return;
    switch (lHint) {
    case HINT_SCRIPT_RUN:
        Reload();
        break;
    case HINT_LOG_DELETED:
    case HINT_LOG_STATE:
        if (pHint && m_dwID != 0 && pHint->m_dwID == m_dwID)
            Reload();
        break;
    case HINT_SETTINGS_CHANGED:
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
        state.bEnabled = m_pEdit->textCursor().hasSelection();
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
    case ID_EDIT_PASTE: return true;
    case ID_EDIT_COPY: OnCopy(); return true;
    case ID_VIEW_REFRESH: OnRefresh(); return true;
    case ID_LOG_EDITOR: OnSendToEditor(); return true;
    case ID_LOG_MARK: OnMark(); return true;
    case ID_LOG_FAST_MARK: OnFastMark(); return true;
    case ID_VIEW_FIND: OnFind(); return true;
    case ID_VIEW_FIND_NEXT: OnFindNext(); return true;
    default: return false;
    }
}

void CLogCacheView::OnCopy()
{
    std::string text = FromQt(SelectedText(*m_pEdit));
    if (text.empty())
        return;
    IClipboard& clipboard = GetClipboard();
    if (!clipboard.Open())
        return;
    clipboard.Empty();
    text.push_back('\0');
    clipboard.SetData(CF_TEXT, CGlobalMemory::FromBytes(std::move(text)));
    clipboard.Close();
}

void CLogCacheView::OnFind()
{
    if (m_pFind) {
        m_pFind->raise();
        m_pFind->activateWindow();
        m_pFind->GetEdit()->setFocus();
        return;
    }
    QString text = SelectedText(*m_pEdit);
    if (text.isEmpty())
        text = ToQt(m_strLastSearch);
    m_pFind = new CFindDialog(*this, text);
    m_pFind->show();
}

bool CLogCacheView::OnFindNext()
{
    QString what = m_pFind ? m_pFind->GetText() : SelectedText(*m_pEdit);
    if (what.isEmpty() || what.size() >= MAX_FIND_TEXT)
        return false;
    m_strLastSearch = FromQt(what);

    QTextDocument::FindFlags flags;
    if (m_bMatchCase)
        flags |= QTextDocument::FindCaseSensitively;
    if (m_bWholeWord)
        flags |= QTextDocument::FindWholeWords;
    QTextCursor old = m_pEdit->textCursor();
    QTextCursor found = m_pEdit->document()->find(what, old.selectionStart() + 1, flags);
    if (found.isNull())
        return false;
    // The find stands where the selection stood.
    QTextDocument* pDoc = m_pEdit->document();
    int nLines = pDoc->findBlock(found.selectionStart()).blockNumber() -
                 pDoc->findBlock(old.selectionStart()).blockNumber();
    QScrollBar* pBar = m_pEdit->verticalScrollBar();
    int nTop = pBar->value();
    m_pEdit->setTextCursor(found);
    pBar->setValue(nTop + nLines);
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
    return m_dwID != 0 && ItemKind(m_dwID) != ITEM_KIND_SYSTEM_LOG && m_pEdit->textCursor().hasSelection();
}

void CLogCacheView::OnWatchText()
{
    if (!IsWatchTextEnabled())
        return;
    std::unique_ptr<CSearchKeyText> pKey = MakeTextKey(FromQt(SelectedText(*m_pEdit)));
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
    menu.exec(m_pEdit->viewport()->mapToGlobal(pos));
}

bool CLogCacheView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_pEdit || event->type() != QEvent::KeyPress)
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
