// How long the viewers take to show a big log: the event viewer opening a log
// of a million records (its newest rows drawn), and the text viewer loading a
// 64 MB file through its background reader until the last block is shown.
#include <QApplication>
#include <QPixmap>
#include <QTableView>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "common/benchnetwork.h"
#include "eventlog/scan/eventmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/common/mainframe.h"
#include "ui/viewers/eventlogview.h"
#include "ui/viewers/logcacheview.h"

namespace {

class CBenchFrame final : public IMainFrame {
public:
    CBenchFrame() { m_doc.OnNewDocument(); }
    void SendFrameMessage(UINT, WPARAM, LPARAM) override {}
    void SetMessageText(const QString&) override {}
    CQuorvilDoc& GetDocument() override { return m_doc; }
    QWidget* GetWindow() override { return nullptr; }

    CQuorvilDoc m_doc;
};

void BM_EventViewerOpensAMillionRecords(benchmark::State& state)
{
    CBenchNetwork network;
    network.WriteLog("Huge", 1'000'000, [](DWORD i, CEvtEvent& e) {
        e.m_dwEventID = i % 2000;
        e.m_wEventType = EVENTLOG_INFORMATION_TYPE;
        e.m_strSourceName = "Service" + std::to_string(i % 50);
        e.m_strings = {"record " + std::to_string(i)};
    });
    CBenchFrame frame;
    auto* pLog = new CEventMonitor;
    pLog->m_strServer = "BENCH";
    pLog->m_strLogName = "Huge";
    frame.m_doc.m_pManager->AddLog(pLog);
    CEventLogView view(frame);
    view.resize(1000, 600);
    for (auto _ : state) {
        view.ShowItem(pLog->GetID());
        benchmark::DoNotOptimize(view.GetList()->grab());
    }
    state.counters["rows"] = view.GetList()->model()->rowCount();
}
BENCHMARK(BM_EventViewerOpensAMillionRecords)->Unit(benchmark::kMillisecond);

void BM_TextViewerLoads64MB(benchmark::State& state)
{
    CBenchNetwork network;
    const std::string dir = *GetComputerFolder(nullptr, 0) + "/";
    std::string content;
    content.reserve(64 << 20);
    for (int i = 0; content.size() < (64u << 20); ++i)
        content += "2026-12-05 10:00:00 service " + std::to_string(i % 50) + " handled request " +
                   std::to_string(i) + "\n";
    AtomicWriteFile(dir + "big.log", content);
    CBenchFrame frame;
    auto* pLog = new CFileMonitor;
    pLog->m_strDirectory = dir;
    pLog->m_strFileName = "big.log";
    frame.m_doc.m_pManager->AddLog(pLog);
    CLogCacheView view(frame);
    view.resize(1000, 600);
    for (auto _ : state) {
        view.ShowItem(pLog->GetID());
        while (view.IsLoading())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * content.size()));
}
BENCHMARK(BM_TextViewerLoads64MB)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
