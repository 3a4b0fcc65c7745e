#include "app/metrics.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <utility>

#include "core/monitoredobject.h"
#include "core/monmanager.h"
#include "platform/base/fileio.h"
#include "settings/systemlog.h"
#include "tasklib/delivery.h"

namespace {

// A label value with backslash, double quote and line feed escaped.
std::string Label(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// The kind of a log as the workspace's JSON names it: "text" for
// CFileMonitor, else the class name without "C" and "Monitor", in small
// letters ("event", "journal", ...).
std::string Kind(const CMonitoredObject& log)
{
    std::string name = log.GetRuntimeClass()->m_lpszClassName;
    if (name == "CFileMonitor")
        return "text";
    if (name.size() > 8 && name.front() == 'C' && name.compare(name.size() - 7, 7, "Monitor") == 0)
        name = name.substr(1, name.size() - 8);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

struct CMetric {
    const char* m_pszName;
    const char* m_pszType;
    const char* m_pszHelp;
    std::uint64_t (*m_pfnValue)(const CMonitoredObject&);
};

const CMetric g_perLog[] = {
    {"quorvil_log_state", "gauge",
     "State after the last scan: 0 not checked, 1 larger, 2 smaller, 3 no change, 4 error.",
     [](const CMonitoredObject& log) { return static_cast<std::uint64_t>(log.GetState()); }},
    {"quorvil_log_entries_read_total", "counter", "Lines or records read.",
     [](const CMonitoredObject& log) { return log.m_counters.m_nEntriesRead.load(); }},
    {"quorvil_log_matches_total", "counter",
     "Watch group matches (an entry that two groups match counts twice).",
     [](const CMonitoredObject& log) { return log.m_counters.m_nMatches.load(); }},
    {"quorvil_log_tasks_run_total", "counter", "Tasks run.",
     [](const CMonitoredObject& log) { return log.m_counters.m_nTasksRun.load(); }},
    {"quorvil_log_action_failures_total", "counter", "Task actions that failed.",
     [](const CMonitoredObject& log) { return log.m_counters.m_nActionFailures.load(); }},
};

std::string Seconds(std::uint64_t microseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(microseconds) / 1e6);
    return text;
}

void Header(std::string& out, const char* name, const char* type, const char* help)
{
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

std::string g_strPath;
bool g_bFailureReported = false;

} // namespace

std::string FormatMetrics(const std::vector<CMonitoredObject*>& logs, std::time_t now)
{
    std::string out;
    auto labels = [](const CMonitoredObject& log) {
        return "{log=\"" + Label(log.GetDisplayName()) + "\",kind=\"" + Kind(log) + "\"}";
    };
    for (const CMetric& metric : g_perLog) {
        Header(out, metric.m_pszName, metric.m_pszType, metric.m_pszHelp);
        for (const CMonitoredObject* pLog : logs)
            out += metric.m_pszName + labels(*pLog) + " " +
                   std::to_string(metric.m_pfnValue(*pLog)) + "\n";
    }
    Header(out, "quorvil_log_scan_seconds", "gauge", "Duration of the log's last scan.");
    for (const CMonitoredObject* pLog : logs)
        out += "quorvil_log_scan_seconds" + labels(*pLog) + " " +
               Seconds(pLog->m_counters.m_nLastScanMicroseconds.load()) + "\n";
    // The totals over all logs, for dashboards that do not sum.
    const char* const totals[][2] = {
        {"quorvil_entries_read_total", "Lines or records read, all logs."},
        {"quorvil_matches_total", "Watch group matches, all logs."},
        {"quorvil_tasks_run_total", "Tasks run, all logs."},
        {"quorvil_action_failures_total", "Task actions that failed, all logs."},
    };
    for (std::size_t i = 0; i < std::size(totals); ++i) {
        std::uint64_t sum = 0;
        for (const CMonitoredObject* pLog : logs)
            sum += g_perLog[i + 1].m_pfnValue(*pLog);
        Header(out, totals[i][0], "counter", totals[i][1]);
        out += std::string(totals[i][0]) + " " + std::to_string(sum) + "\n";
    }
    // The e-mail, web hook and syslog deliveries finish after their task, on
    // the delivery thread: counted for the program, not per log.
    const CDeliveryCounters deliveries = GetDeliveryCounters();
    Header(out, "quorvil_deliveries_total", "counter",
           "E-mail, web hook and syslog deliveries by outcome.");
    const std::pair<const char*, std::uint64_t> outcomes[] = {{"delivered", deliveries.nDelivered},
                                                              {"retried", deliveries.nRetried},
                                                              {"failed", deliveries.nFailed},
                                                              {"dropped", deliveries.nDropped}};
    for (const auto& [pszOutcome, nCount] : outcomes)
        out += std::string("quorvil_deliveries_total{outcome=\"") + pszOutcome + "\"} " +
               std::to_string(nCount) + "\n";
    Header(out, "quorvil_logs", "gauge", "Logs in the workspace.");
    out += "quorvil_logs " + std::to_string(logs.size()) + "\n";
    Header(out, "quorvil_last_pass_timestamp_seconds", "gauge",
           "When the last scan pass ended, in seconds since 1970.");
    out += "quorvil_last_pass_timestamp_seconds " + std::to_string(now) + "\n";
    return out;
}

void InstallMetricsFile(const std::string& path)
{
    g_strPath = path;
    g_bFailureReported = false;
    if (path.empty()) {
        SetScanPassHook(nullptr);
        return;
    }
    SetScanPassHook([](const std::vector<CMonitoredObject*>& logs) {
        if (AtomicWriteFile(g_strPath, FormatMetrics(logs, std::time(nullptr)), 0644)) {
            g_bFailureReported = false;
            return;
        }
        if (!g_bFailureReported)
            WriteSystemLogF("Cannot write the metrics file %s", g_strPath.c_str());
        g_bFailureReported = true;
    });
}
