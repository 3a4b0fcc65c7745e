// A small demo of the scan thread: watches the sizes of the files named on
// the command line (the sample log by default) and prints what the scan
// thread reports, until Ctrl-C or the given number of seconds.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "app/settings/appsettings.h"
#include "core/model/frontend.h"
#include "core/model/itemid.h"
#include "core/model/monmanager.h"

namespace {

std::atomic<bool> g_bQuit{false};

// A log that only watches the size of its file.
class CFileSizeLog : public CMonitoredObject {
public:
    explicit CFileSizeLog(std::string path) : m_strPath(std::move(path))
    {
        m_dwID = ITEM_KIND_TEXT_LOG | NewItemID();
        m_bEnabled = TRUE;
        m_nInterval = 1;
    }
    std::string GetDisplayName() const override { return m_strPath; }
    void Scan() override
    {
        struct stat st{};
        if (::stat(m_strPath.c_str(), &st) != 0) {
            SetState(MON_STATE_ERROR);
            return;
        }
        long long size = st.st_size;
        SetState(size > m_nLastSize ? MON_STATE_GREW
                 : size < m_nLastSize ? MON_STATE_SHRANK
                                      : MON_STATE_UNCHANGED);
        m_nLastSize = size;
    }

private:
    std::string m_strPath;
    long long m_nLastSize = 0;
};

const char* StateName(WPARAM state)
{
    static const char* names[] = {"stopped", "counting down", "running", "stopping"};
    return state < 4 ? names[state] : "?";
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    int seconds = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atoi(argv[++i]);
        else
            files.push_back(arg);
    }
    if (files.empty())
        files.push_back(QUORVIL_DATA_DIR "/qvsample.log");

    std::signal(SIGINT, [](int) { g_bQuit = true; });
    std::signal(SIGTERM, [](int) { g_bQuit = true; });

    CMessageQueue queue;
    SetMainWindowQueue(&queue);
    CMonManager manager;
    for (const auto& file : files) {
        auto* log = new CFileSizeLog(file);
        manager.AddLog(log);
        std::printf("Watching %s (id %08X); append to it to see a change\n", file.c_str(),
                    static_cast<unsigned>(log->GetID()));
    }
    std::printf("System log: %s\n", AppSettings::GetErrorLogPath().c_str());
    manager.m_nStartDelay = 2;
    manager.StartScanThread();
    int waited = 0;
    while (!g_bQuit && (seconds == 0 || waited < seconds * 10)) {
        auto msg = queue.Get(100);
        ++waited;
        if (!msg)
            continue;
        if (msg->message == WM_SCAN_STATE)
            std::printf("scan state: %s %lld\n", StateName(msg->wParam), static_cast<long long>(msg->lParam));
        else if (msg->message == WM_SCAN_PROGRESS) {
            CMonitoredObject* log = manager.FindLog(static_cast<DWORD>(msg->wParam));
            std::printf("changed: %s -> %s\n", log ? log->GetDisplayName().c_str() : "?",
                        log ? GetStateText(log->GetState()).c_str() : "?");
        } else if (msg->message == WM_AUTOSAVE)
            std::printf("save requested\n");
        std::fflush(stdout);
    }
    manager.StopScanThread();
    while (auto msg = queue.Peek())
        if (msg->message == WM_SCAN_STATE)
            std::printf("scan state: %s\n", StateName(msg->wParam));
    SetMainWindowQueue(nullptr);
    return 0;
}
