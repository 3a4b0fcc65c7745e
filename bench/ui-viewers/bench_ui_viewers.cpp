// How long the viewers make a user wait, painted: the event viewer opening a
// log of a million records (its newest rows drawn), scrolling it from top to
// bottom in 20 steps and applying a filter (over the records read once), and
// the text viewer opening a big file (64 MB, and 1 GB or
// QUORVIL_BENCH_TEXT_MB) to its first screen and to Find's first hit near the
// end. Each line's label says what it measures.
#include <QApplication>
#include <QPixmap>
#include <QScrollBar>
#include <QTableView>
#include <cstdlib>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "common/benchnetwork.h"
#include "eventlog/scan/eventmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/common/mainframe.h"
#include "ui/viewers/eventlogview.h"
#include "ui/viewers/logcacheview.h"
#include "ui/viewers/textpane.h"

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

// A million records in the log "Huge" of the computer BENCH, shown in a viewer.
struct CHugeLog {
    CHugeLog()
    {
        network.WriteLog("Huge", 1'000'000, [](DWORD i, CEvtEvent& e) {
            e.m_dwEventID = i % 2000;
            e.m_wEventType = i % 10 == 0 ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE;
            e.m_strSourceName = "Service" + std::to_string(i % 50);
            e.m_strings = {"record " + std::to_string(i)};
        });
        pLog->m_strServer = "BENCH";
        pLog->m_strLogName = "Huge";
        frame.m_doc.m_pManager->AddLog(pLog);
        view.resize(1000, 600);
        view.show();
        view.ShowItem(pLog->GetID());
    }
    CBenchNetwork network;
    CBenchFrame frame;
    CEventMonitor* pLog = new CEventMonitor;
    CEventLogView view{frame};
};

std::size_t TextMegabytes()
{
    const char* env = std::getenv("QUORVIL_BENCH_TEXT_MB");
    return env ? std::strtoul(env, nullptr, 10) : 1024;
}

// A text log of about nMB megabytes whose one line "needle" is 1000 lines
// before the end; the viewer is shown.
struct CBigText {
    explicit CBigText(std::size_t nMB)
    {
        const std::string dir = *GetComputerFolder(nullptr, 0) + "/";
        std::string content;
        content.reserve((nMB << 20) + 200);
        for (int i = 0; content.size() < (nMB << 20); ++i)
            content += "2026-12-05 10:00:00 service " + std::to_string(i % 50) +
                       " handled request " + std::to_string(i) + "\n";
        std::size_t nAt = content.size();
        for (int i = 0; i < 1000 && nAt > 0; ++i)
            nAt = content.rfind('\n', nAt - 1);
        content.insert(nAt + 1, "the needle line\n");
        nBytes = content.size();
        AtomicWriteFile(dir + "big.log", content);
        pLog->m_strDirectory = dir;
        pLog->m_strFileName = "big.log";
        frame.m_doc.m_pManager->AddLog(pLog);
        view.resize(1000, 600);
        view.show();
    }
    CBenchNetwork network;
    CBenchFrame frame;
    CFileMonitor* pLog = new CFileMonitor;
    CLogCacheView view{frame};
    std::size_t nBytes = 0;
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

void BM_EventViewerScrollsAMillionRecordsIn20Steps(benchmark::State& state)
{
    CHugeLog log;
    QScrollBar* bar = log.view.GetList()->verticalScrollBar();
    for (auto _ : state) {
        for (int step = 0; step <= 20; ++step) {
            bar->setValue(static_cast<int>(static_cast<qint64>(bar->maximum()) * step / 20));
            benchmark::DoNotOptimize(log.view.GetList()->grab());
        }
    }
    state.SetLabel("top to bottom, each of 21 screens painted");
}
BENCHMARK(BM_EventViewerScrollsAMillionRecordsIn20Steps)->Unit(benchmark::kMillisecond);

void BM_EventViewerFiltersAMillionRecords(benchmark::State& state)
{
    CHugeLog log;
    // The first filter reads the log once into the cache; the figure is what
    // every later filter costs.
    CEventFilter warm;
    warm.nType = EVENTLOG_ERROR_TYPE;
    log.view.SetFilter(warm);
    CEventFilter filter;
    filter.nType = EVENTLOG_ERROR_TYPE;
    filter.strSource = "service20";
    filter.strText = "record 99";
    for (auto _ : state) {
        log.view.SetFilter(filter);
        benchmark::DoNotOptimize(log.view.GetList()->grab());
        log.view.SetFilter(CEventFilter());
    }
    log.view.SetFilter(filter);
    state.counters["shown"] = log.view.GetList()->model()->rowCount();
    state.SetLabel("error + source + text over 1,000,000 cached records, painted, and cleared");
}
BENCHMARK(BM_EventViewerFiltersAMillionRecords)->Unit(benchmark::kMillisecond);

void BM_EventViewerFirstFilterReadsTheLog(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto log = std::make_unique<CHugeLog>();
        CEventFilter filter;
        filter.nType = EVENTLOG_ERROR_TYPE;
        state.ResumeTiming();
        log->view.SetFilter(filter);
        benchmark::DoNotOptimize(log->view.GetList()->grab());
        state.PauseTiming();
        log.reset();
        state.ResumeTiming();
    }
    state.SetLabel("the first filter of a freshly opened 1,000,000-record log (reads it once)");
}
BENCHMARK(BM_EventViewerFirstFilterReadsTheLog)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_TextViewerOpensABigFileToItsFirstScreen(benchmark::State& state)
{
    CBigText text(TextMegabytes());
    CTextPane* pane = text.view.GetPane();
    for (auto _ : state) {
        text.view.ShowItem(text.pLog->GetID());
        while (text.view.IsLoading() && pane->GetLineCount() < 100)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        benchmark::DoNotOptimize(text.view.grab());
        state.PauseTiming();
        text.view.ShowItem(0); // the rest of the load is not waited for
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(text.nBytes >> 20) + " MB: open to the first screen painted");
}
BENCHMARK(BM_TextViewerOpensABigFileToItsFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TextViewerFindsNearTheEndOfABigFile(benchmark::State& state)
{
    CBigText text(TextMegabytes());
    for (auto _ : state) {
        text.view.ShowItem(text.pLog->GetID());
        while (text.view.IsLoading())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        text.view.GetPane()->SetSelection(0, 0);
        text.view.m_strLastSearch = "needle";
        if (!text.view.OnFindNext())
            state.SkipWithError("not found");
        benchmark::DoNotOptimize(text.view.grab());
    }
    state.SetLabel(std::to_string(text.nBytes >> 20) +
                   " MB: open, whole file loaded, Find's first hit 1000 lines before the end");
}
BENCHMARK(BM_TextViewerFindsNearTheEndOfABigFile)->Unit(benchmark::kMillisecond)->Iterations(1);

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
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(content.size()));
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
