#pragma once
// The headless front end: the program without any window. It answers the
// model's message boxes and dialogs without a user (CHeadlessDocumentUi:
// questions No, or Yes with --yes; each one written to the system log),
// installs the main window's queue and drains it on the main thread. The
// scan thread's messages go through the dispatcher the window uses too
// (workspace/scanmessages.h); on top of it the headless program prints the
// scan state when it changes and each log's new state.
// Task message actions are printed by the task library's headless UI. On
// SIGINT or SIGTERM it stops scanning, handles what the scan thread posted
// meanwhile, saves the workspace when Settings/AutoSave is on and returns;
// a second signal ends the process at once. SIGHUP reads the workspace file
// again (CQuorvilDoc::ReloadWorkspace) between two scans. Under systemd it
// reports ready, reloading and stopping, and keeps the watchdog alive while
// the scan thread makes progress (app/service.h).
//
// Signals reach the main thread through a self-pipe: the handler only
// writes the signal's number into it, and a watcher thread turns that into
// a close message in the queue. Until Run or RunOnce (during start-up and a
// script run) a signal ends the program at once, as usual.
//
// Threads: constructed, run and destroyed on the main thread. Construct it
// before CQuorvilApp::InitInstance (start-up posts into the queue and the
// document needs its UI) and destroy it before the application; one
// instance per process.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "app/startup.h"
#include "platform/base/msgqueue.h"
#include "workspace/documentui.h"
#include "workspace/scanmessages.h"

// Posted by the signal watcher: end the program; read the workspace again.
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_RELOAD = WM_USER + 40;

class CHeadlessFrontEnd : private IScanMessageSink {
public:
    explicit CHeadlessFrontEnd(CQuorvilApp& app);
    ~CHeadlessFrontEnd();
    CHeadlessFrontEnd(const CHeadlessFrontEnd&) = delete;
    CHeadlessFrontEnd& operator=(const CHeadlessFrontEnd&) = delete;

    // After a successful start-up: starts automatic scanning unless the
    // settings did, then handles messages until a signal ends the run.
    // Returns the exit status.
    int Run();
    // --once: scans every enabled log one time in list order, handles what
    // the scans reported (a save request saves), and shuts down.
    int RunOnce();

private:
    // IScanMessageSink
    void OnScanState(std::optional<ScanState> state, std::chrono::seconds secondsLeft) override;
    void OnLogProgress(DWORD dwID) override;

    // False for WM_CLOSE.
    bool Handle(const CQueuedMessage& msg);
    // Handles every message in the queue; false when one was WM_CLOSE.
    bool Drain();
    void Shutdown();
    // SIGHUP: stops the scan thread, reloads the workspace and starts the
    // thread again when it ran.
    void Reload();
    void StartSignalWatcher();
    void WatchSignals();
    void Print(const std::string& line);

    CQuorvilDoc& m_doc;
    CMessageQueue m_queue;
    CHeadlessDocumentUi m_ui;
    std::string m_strLastState;
    std::thread m_watcher;
    std::atomic<int> m_nSignals{0};
    bool m_bOnce = false;
    bool m_bReloading = false;
};

// Whether a window could be shown: DISPLAY or WAYLAND_DISPLAY is set.
bool HaveDisplay();
