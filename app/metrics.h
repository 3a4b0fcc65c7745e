#pragma once
// The metrics file (--metrics-file, or Settings/MetricsFile): after each
// scan pass that scanned a log, and after a single scan (--once), the state
// and counts of every log in the Prometheus text format, written to a
// temporary file and renamed over the old one (node exporter's textfile
// collector, or any scraper that reads files).
//
// Threads: installed on the main thread before scanning starts; written on
// the scan thread (or the main thread with --once) under g_csMonitor.
#include <ctime>
#include <string>
#include <vector>

class CMonitoredObject;

// The text of the metrics file for these logs, the last pass ending at now.
std::string FormatMetrics(const std::vector<CMonitoredObject*>& logs, std::time_t now);

// Writes the metrics to path after each pass from now on; an empty path
// writes none. A failed write goes to the system log once.
void InstallMetricsFile(const std::string& path);
