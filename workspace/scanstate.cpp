#include "workspace/scanstate.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/monmanager.h"
#include "eventlog/scan/eventmonitor.h"
#include "platform/base/fileio.h"
#include "platform/network/network.h"

namespace {

constexpr const char* SCAN_STATE_HEADER = "quorvil scan state 1\n";

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

template <typename T> std::optional<T> Number(const std::string& text)
{
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool Plain(const std::string& name)
{
    return name.find_first_of("\t\n") == std::string::npos;
}

} // namespace

std::string ScanStatePath(const std::string& workspacePath)
{
    return workspacePath + ".state";
}

bool SaveScanState(const std::string& workspacePath, const CMonManager& manager)
{
    std::string text = SCAN_STATE_HEADER;
    bool any = false;
    int pos = 0;
    while (CMonitoredObject* pLog = manager.GetNextLog(pos)) {
        auto* pEvent = dynamic_cast<CEventMonitor*>(pLog);
        if (!pEvent || !Plain(pEvent->m_strServer) || !Plain(pEvent->m_strLogName))
            continue;
        any = true;
        text += "EVT\t" + pEvent->m_strServer + "\t" + pEvent->m_strLogName + "\t" +
                std::to_string(pEvent->m_nLastRecord) + "\t" +
                std::to_string(pEvent->GetSeenOldest()) + "\t" +
                std::to_string(pEvent->GetSeenIdentity()) + "\n";
    }
    if (!any)
        return true;
    std::optional<std::string> local = MapNetworkPath(ScanStatePath(workspacePath));
    return local && AtomicWriteFile(*local, text);
}

void LoadScanState(const std::string& workspacePath, CMonManager& manager)
{
    std::optional<std::string> local = MapNetworkPath(ScanStatePath(workspacePath));
    std::optional<std::string> text = local ? ReadFileBytes(*local) : std::nullopt;
    if (!text || !text->starts_with(SCAN_STATE_HEADER))
        return;
    std::size_t start = std::string(SCAN_STATE_HEADER).size();
    while (start < text->size()) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos)
            break; // a line cut short
        std::vector<std::string> fields = SplitTabs(text->substr(start, end - start));
        start = end + 1;
        if (fields.size() != 6 || fields[0] != "EVT")
            continue;
        auto last = Number<DWORD>(fields[3]);
        auto oldest = Number<DWORD>(fields[4]);
        auto identity = Number<std::uint64_t>(fields[5]);
        if (!last || !oldest || !identity)
            continue;
        int pos = 0;
        while (CMonitoredObject* pLog = manager.GetNextLog(pos)) {
            auto* pEvent = dynamic_cast<CEventMonitor*>(pLog);
            if (pEvent && pEvent->m_strServer == fields[1] && pEvent->m_strLogName == fields[2] &&
                pEvent->m_nLastRecord == *last)
                pEvent->SetSeen(*oldest, *identity);
        }
    }
}
