#include "app/headless.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#include "app/service.h"
#include "core/frontend.h"
#include "quorvil_version.h"
#include "settings/systemlog.h"

namespace {

// The self-pipe of the signal handler: [0] read by the watcher, [1] written
// by the handler.
int g_signalPipe[2] = {-1, -1};
struct sigaction g_oldInt {};
struct sigaction g_oldTerm {};
struct sigaction g_oldHup {};

extern "C" void OnSignal(int nSignal)
{
    const int saved = errno;
    const unsigned char c = static_cast<unsigned char>(nSignal);
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

} // namespace

bool HaveDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

CHeadlessFrontEnd::CHeadlessFrontEnd(CQuorvilApp& app)
    : m_doc(app.GetDocument()), m_ui(app.GetCommandLineInfo().m_bYes)
{
    m_doc.SetUi(&m_ui);
    // A workspace file rewritten by qvws waits for the reload (SIGHUP).
    m_doc.SetKeepOutsideChanges(true);
    SetFrontEnd(&m_ui);
    SetMainWindowQueue(&m_queue);
}

CHeadlessFrontEnd::~CHeadlessFrontEnd()
{
    if (m_watcher.joinable()) {
        ::sigaction(SIGINT, &g_oldInt, nullptr);
        ::sigaction(SIGTERM, &g_oldTerm, nullptr);
        ::sigaction(SIGHUP, &g_oldHup, nullptr);
        const unsigned char stop = 0;
        [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &stop, 1);
        m_watcher.join();
        ::close(g_signalPipe[0]);
        ::close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }
    SetMainWindowQueue(nullptr);
    SetFrontEnd(nullptr);
    m_doc.SetUi(nullptr);
}

void CHeadlessFrontEnd::Print(const std::string& line)
{
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void CHeadlessFrontEnd::StartSignalWatcher()
{
    // Until here (start-up, a script run) a signal ends the program at once.
    // The watcher starts after start-up has enabled the privileges, which
    // only threads created afterwards inherit.
    if (m_watcher.joinable() || ::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return;
    ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
    m_watcher = std::thread([this] { WatchSignals(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_oldInt);
    ::sigaction(SIGTERM, &action, &g_oldTerm);
    ::sigaction(SIGHUP, &action, &g_oldHup);
}

void CHeadlessFrontEnd::WatchSignals()
{
    for (;;) {
        unsigned char c = 0;
        const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || c == 0)
            return;
        if (c == SIGHUP) {
            m_queue.Post(WM_RELOAD, 0, 0);
            continue;
        }
        if (m_nSignals.fetch_add(1) > 0) {
            static const char text[] = "quorvil: second signal, ending at once\n";
            [[maybe_unused]] ssize_t w = ::write(STDERR_FILENO, text, sizeof text - 1);
            std::_Exit(128 + c);
        }
        // Without a scan thread the scans run on the main thread; the stop
        // event ends them between read blocks.
        if (m_bOnce)
            g_hStopScanEvent.Set();
        m_queue.Post(WM_CLOSE, c, 0);
    }
}

bool CHeadlessFrontEnd::Handle(const CQueuedMessage& msg)
{
    if (msg.message == WM_CLOSE)
        return false;
    if (msg.message == WM_RELOAD) {
        if (!m_bOnce && !m_bReloading)
            Reload();
        return true;
    }
    // A reload writes the positions it keeps itself.
    if (msg.message == WM_AUTOSAVE && m_bReloading)
        return true;
    DispatchScanMessage(m_doc, msg, *this);
    return true;
}

void CHeadlessFrontEnd::OnScanState(std::optional<ScanState> state,
                                    std::chrono::seconds secondsLeft)
{
    std::string text = "Scan state: " + ScanStateText(state);
    if (state == ScanState::Countdown)
        text += " (Autoscan starting in " + std::to_string(secondsLeft.count()) + " seconds ...)";
    if (text != m_strLastState)
        Print(text);
    m_strLastState = text;
}

void CHeadlessFrontEnd::OnLogProgress(DWORD dwID)
{
    if (CMonitoredObject* pLog = m_doc.m_pManager ? m_doc.m_pManager->FindLog(dwID) : nullptr)
        Print(pLog->GetDisplayName() + ": " + GetStateText(pLog->GetState()));
}

bool CHeadlessFrontEnd::Drain()
{
    bool bGoOn = true;
    while (auto msg = m_queue.Peek())
        bGoOn = Handle(*msg) && bGoOn;
    return bGoOn;
}

void CHeadlessFrontEnd::Reload()
{
    NotifyServiceManager("RELOADING=1\nMONOTONIC_USEC=" + std::to_string(MonotonicMicroseconds()));
    CMonManager* pManager = m_doc.m_pManager.get();
    const bool bScanning = pManager && pManager->IsScanThreadRunning();
    if (pManager && pManager->HasScanThreads())
        pManager->StopScanThread();
    // What the scan thread posted until it ended: its last states, and the
    // positions of its last pass, which the reload carries over.
    m_bReloading = true;
    const bool bGoOn = Drain();
    m_doc.ReloadWorkspace();
    m_bReloading = false;
    if (bScanning && m_doc.m_pManager)
        m_doc.m_pManager->StartScanThread();
    NotifyServiceManager("READY=1");
    if (!bGoOn)
        m_queue.Post(WM_CLOSE, 0, 0);
}

void CHeadlessFrontEnd::Shutdown()
{
    NotifyServiceManager("STOPPING=1");
    CMonManager* pManager = m_doc.m_pManager.get();
    if (pManager && pManager->HasScanThreads())
        pManager->StopScanThread();
    // What the scan thread posted until it ended: its last states and a
    // save request for the positions of its last pass.
    Drain();
    m_doc.SaveModified();
}

int CHeadlessFrontEnd::Run()
{
    StartSignalWatcher();
    CMonManager* pManager = m_doc.m_pManager.get();
    const std::string name = m_doc.GetPathName().empty() ? "a new workspace" : m_doc.GetPathName();
    Print("Quorvil " QUORVIL_VERSION_STRING " without a window, on " + name + " (" +
          std::to_string(pManager ? pManager->GetLogCount() : 0) + " logs); stop with Ctrl-C");
    if (pManager && !pManager->IsScanThreadRunning())
        pManager->StartScanThread();
    NotifyServiceManager("READY=1\nSTATUS=Scanning " +
                         std::to_string(pManager ? pManager->GetLogCount() : 0) + " logs of " +
                         name);
    CServiceWatchdog watchdog;
    for (;;) {
        auto msg = m_queue.Get(watchdog.WaitMs(60000));
        if (msg && !Handle(*msg))
            break;
        watchdog.Check(m_doc.m_pManager && m_doc.m_pManager->IsScanThreadRunning());
    }
    Shutdown();
    return 0;
}

int CHeadlessFrontEnd::RunOnce()
{
    m_bOnce = true;
    StartSignalWatcher();
    // The scans run here: their positions are saved after every block of
    // entries whose tasks ran, so a crash repeats at most one block.
    SetScanCheckpoint(
        [](void* context) {
            auto* pDoc = static_cast<CQuorvilDoc*>(context);
            if (!pDoc->AutoSaveWorkspace())
                WriteSystemLogF("Failure during autosaving log positions.");
        },
        &m_doc);
    bool bChanged = false;
    if (CMonManager* pManager = m_doc.m_pManager.get()) {
        int pos = 0;
        while (CMonitoredObject* pLog = pManager->GetNextLog(pos)) {
            if (IsStopRequested())
                break;
            if (pLog->ScanNow()) {
                m_queue.Post(WM_SCAN_PROGRESS, pLog->GetID(),
                             pLog->IsEventLog() ? pLog->GetLastRecordForProgress() : 0);
                bChanged = true;
            }
        }
    }
    SetScanCheckpoint(nullptr, nullptr);
    if (const CMonManager* pManager = m_doc.m_pManager.get())
        RunScanPassHook(*pManager);
    if (bChanged)
        m_queue.Post(WM_AUTOSAVE, 0, 0);
    Drain();
    Shutdown();
    return 0;
}
