#include "ui/main/qtapp.h"

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include "core/frontend.h"
#include "settings/appsettings.h"
#include "textlog/filemonitor.h"
#include "ui/common/icons.h"
#include "ui/frame/mainframe.h"
#include "ui/main/colorscheme.h"
#include "ui/tree/quorvilview.h"

namespace {

// The self-pipe of SIGINT and SIGTERM: the handler writes the signal's
// number, the event loop reads it.
int g_signalPipe[2] = {-1, -1};

extern "C" void OnDesktopSignal(int nSignal)
{
    const int saved = errno;
    const unsigned char c = static_cast<unsigned char>(nSignal);
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

// SIGINT and SIGTERM end the program the way File > Exit does, without its
// questions; a second signal ends it at once. Until the event loop runs, a
// signal waits in the pipe.
class CExitOnSignal {
public:
    explicit CExitOnSignal(CQtApp& app)
    {
        if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
            return;
        ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
        m_pNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, [this, &app] {
            unsigned char c = 0;
            if (::read(g_signalPipe[0], &c, 1) != 1)
                return;
            if (++m_nSignals > 1) {
                static const char text[] = "quorvil: second signal, ending at once\n";
                [[maybe_unused]] ssize_t w = ::write(STDERR_FILENO, text, sizeof text - 1);
                std::_Exit(128 + c);
            }
            if (CMainFrame* pFrame = app.GetMainFrame())
                pFrame->CloseWithoutQuestions();
            else
                QCoreApplication::exit(0);
        });
        struct sigaction action {};
        action.sa_handler = OnDesktopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &m_oldInt);
        ::sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~CExitOnSignal()
    {
        if (!m_pNotifier)
            return;
        ::sigaction(SIGINT, &m_oldInt, nullptr);
        ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        m_pNotifier.reset();
        ::close(g_signalPipe[0]);
        ::close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }
    CExitOnSignal(const CExitOnSignal&) = delete;
    CExitOnSignal& operator=(const CExitOnSignal&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
    int m_nSignals = 0;
};

} // namespace

CQtApp::CQtApp(CQuorvilCommandLineInfo cmdInfo) : CQuorvilApp(std::move(cmdInfo))
{
    GetDocument().SetUi(&m_ui);
    SetFrontEnd(&m_ui);
    SetMainWindowQueue(&m_queue);
    SetTaskUi(&m_taskUi);
    SetClipboard(&m_clipboard);
}

CQtApp::~CQtApp()
{
    // The scan thread posts to this queue and may wait in a task message.
    if (CMonManager* pManager = GetDocument().m_pManager.get();
        pManager && pManager->HasScanThreads())
        pManager->StopScanThread();
    m_pFrame.reset();
    SetTaskUi(nullptr);
    SetClipboard(nullptr);
    SetMainWindowQueue(nullptr);
    SetFrontEnd(nullptr);
    GetDocument().SetUi(nullptr);
}

bool CQtApp::IsShiftKeyDown() const
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

BOOL CQtApp::CreateMainWindow()
{
    m_pFrame = std::make_unique<CMainFrame>(GetDocument(), m_queue, m_bShowSplash);
    m_ui.SetParent(m_pFrame.get());
    m_taskUi.SetParent(m_pFrame.get());
    m_pFrame->SetWorkspaceOpenedHandler(
        [this](const std::string& path) { AddToRecentFileList(path); });
    m_pFrame->SetHelpFile(m_strHelpFilePath);
    // A click on a task's desktop notification brings the window up on the
    // log it tells of.
    m_taskUi.GetNotifier().SetShowLogHandler([this](const std::string& log) {
        DWORD dwID = 0;
        if (CMonManager* pManager = GetDocument().m_pManager.get()) {
            int pos = 0;
            while (CMonitoredObject* pLog = pManager->GetNextLog(pos)) {
                const auto* pText = dynamic_cast<const CFileMonitor*>(pLog);
                if (pLog->GetDisplayName() == log || (pText && pText->GetFilePath() == log)) {
                    dwID = pLog->GetID();
                    break;
                }
            }
        }
        m_pFrame->showNormal();
        m_pFrame->raise();
        m_pFrame->activateWindow();
        if (dwID != 0)
            m_pFrame->GetTreeView()->SelectNode(dwID);
    });
    QObject::connect(m_pFrame.get(), &CMainFrame::Closed, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    m_pFrame->ShowWithPlacement(GetCommandLineInfo().m_bHideWindow);
    return TRUE;
}

int CQtApp::Run()
{
    return QApplication::exec();
}

int RunDesktop(const CQuorvilCommandLineInfo& cmdInfo, int& argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvil"));
    QApplication::setOrganizationName(QStringLiteral("Brannick"));
    QApplication::setWindowIcon(GetImageIcon(IMAGE_WATCH_GROUP));
    // The window hides to the tray and the splash closes on its own: the
    // program ends when the main window closes, not with its last window.
    QApplication::setQuitOnLastWindowClosed(false);
    CDesktopColorScheme colorScheme;

    int status = 0;
    {
        CQtApp app(cmdInfo);
        CExitOnSignal exitOnSignal(app);
        if (app.InitInstance())
            status = app.Run();
        else if (app.m_nExitCode != 0)
            std::fprintf(stderr,
                         "quorvil: opening the workspace failed; the system log %s says why\n",
                         AppSettings::GetErrorLogPath().c_str());
        const int exitStatus = app.ExitInstance();
        if (status == 0)
            status = exitStatus;
    }
    return status;
}
