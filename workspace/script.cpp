#include "workspace/script.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

#include "eventlog/scan/eventmonitor.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "settings/systemlog.h"
#include "workspace/quorvildoc.h"

namespace {

constexpr std::string_view KEY_RENAMESERVER = "RENAMESERVER";
constexpr std::string_view KEY_COPYSERVER = "COPYSERVER";
constexpr std::string_view KEY_DELETESERVER = "DELETESERVER";
constexpr std::string_view KEY_SETTASKCONSTANT = "SETTASKCONSTANT";

std::string Trim(std::string_view text)
{
    auto space = [](char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsWithKeyword(std::string_view line, std::string_view keyword)
{
    return line.size() >= keyword.size() && EqualNoCase(line.substr(0, keyword.size()), keyword);
}

// The two arguments of RENAMESERVER and COPYSERVER: the first comma of the
// line separates them and must stand more than two characters after the
// keyword.
bool SplitPair(const std::string& line, std::size_t nKeyword, std::string& first,
               std::string& second)
{
    std::size_t comma = line.find(',');
    if (comma == std::string::npos || comma <= nKeyword + 2)
        return false;
    first = Trim(std::string_view(line).substr(nKeyword, comma - nKeyword));
    second = Trim(std::string_view(line).substr(comma + 1));
    return !first.empty() && !second.empty();
}

// The four arguments of SETTASKCONSTANT: exactly three commas in the line.
bool SplitFour(const std::string& line, std::size_t nKeyword, std::vector<std::string>& args)
{
    if (std::count(line.begin(), line.end(), ',') != 3)
        return false;
    std::string_view rest = std::string_view(line).substr(nKeyword);
    args.clear();
    for (;;) {
        std::size_t comma = rest.find(',');
        args.push_back(Trim(rest.substr(0, comma)));
        if (args.back().empty())
            return false;
        if (comma == std::string_view::npos)
            return true;
        rest.remove_prefix(comma + 1);
    }
}

// Runs the lines of one script against the manager.
class CScriptRunner {
public:
    explicit CScriptRunner(CMonManager& manager) : m_manager(manager) {}

    // FALSE for a line that is not a command or whose arguments are bad.
    bool ExecuteLine(const std::string& raw)
    {
        std::string line = Trim(raw);
        WriteSystemLog(("Script: " + line).c_str());
        if (line.empty() || line.front() == ';')
            return true;
        std::string first;
        std::string second;
        if (StartsWithKeyword(line, KEY_RENAMESERVER)) {
            if (!SplitPair(line, KEY_RENAMESERVER.size(), first, second))
                return false;
            RenameServer(first, second);
        } else if (StartsWithKeyword(line, KEY_COPYSERVER)) {
            if (!SplitPair(line, KEY_COPYSERVER.size(), first, second))
                return false;
            CopyServer(first, second);
        } else if (StartsWithKeyword(line, KEY_DELETESERVER)) {
            first = Trim(std::string_view(line).substr(KEY_DELETESERVER.size()));
            if (first.empty())
                return false;
            DeleteServer(first);
        } else if (StartsWithKeyword(line, KEY_SETTASKCONSTANT)) {
            std::vector<std::string> args;
            if (!SplitFour(line, KEY_SETTASKCONSTANT.size(), args))
                return false;
            SetTaskConstant(args[0], args[1], args[2], args[3]);
        } else {
            return false;
        }
        return true;
    }

private:
    // Keeps the scan thread from starting scans while a command changes
    // logs; a log that a scan holds is changed when that scan ends.
    class CHoldScans {
    public:
        explicit CHoldScans(CMonManager& manager) : m_pause(&manager)
        {
            // A scan that passed its pause check before the pause began has
            // marked its log by the time the list lock is free.
            CSingleLock barrier(g_csMonitor);
        }

    private:
        CScanPause m_pause;
    };

    std::vector<DWORD> EventLogsOf(const std::string& strServer) const
    {
        std::vector<DWORD> ids;
        int pos = 0;
        while (CMonitoredObject* pLog = m_manager.GetNextLog(pos)) {
            const auto* pEvent = dynamic_cast<const CEventMonitor*>(pLog);
            if (pEvent && EqualNoCase(pEvent->m_strServer, strServer))
                ids.push_back(pEvent->GetID());
        }
        return ids;
    }

    CEventMonitor* FindEventLog(DWORD dwID) const
    {
        return dynamic_cast<CEventMonitor*>(m_manager.FindLog(dwID));
    }

    void RenameServer(const std::string& strOld, const std::string& strNew)
    {
        CHoldScans hold(m_manager);
        for (DWORD dwID : EventLogsOf(strOld)) {
            CEventMonitor* pLog = FindEventLog(dwID);
            if (!pLog)
                continue;
            m_manager.RunWhenNotScanning(pLog, ToLParam(ViewHint::LogRenamed), [pLog, strNew] {
                std::string strOldName = pLog->GetDisplayName();
                pLog->m_strServer = strNew;
                WriteSystemLogF("Script: Renaming %s to %s", strOldName.c_str(),
                                pLog->GetDisplayName().c_str());
            });
        }
    }

    void CopyServer(const std::string& strOld, const std::string& strNew)
    {
        CHoldScans hold(m_manager);
        for (DWORD dwID : EventLogsOf(strOld)) {
            CEventMonitor* pLog = FindEventLog(dwID);
            if (!pLog)
                continue;
            CMonManager& manager = m_manager;
            manager.RunWhenNotScanning(pLog, -1, [&manager, pLog, strNew] {
                auto* pCopy = new CEventMonitor(*pLog);
                pCopy->m_strServer = strNew;
                WriteSystemLogF("Script: Duplicating %s as %s", pLog->GetDisplayName().c_str(),
                                pCopy->GetDisplayName().c_str());
                manager.AddLog(pCopy);
            });
        }
    }

    void DeleteServer(const std::string& strServer)
    {
        for (DWORD dwID : EventLogsOf(strServer)) {
            if (CEventMonitor* pLog = FindEventLog(dwID)) {
                WriteSystemLogF("Script: Deleting %s", pLog->GetDisplayName().c_str());
                m_manager.DeleteLog(dwID);
            }
        }
    }

    void SetTaskConstant(const std::string& strLog, const std::string& strGroup,
                         const std::string& strVariable, const std::string& strValue)
    {
        int pos = 0;
        while (CMonitoredObject* pLog = m_manager.GetNextLog(pos)) {
            if (!EqualNoCase(pLog->GetDisplayName(), strLog))
                continue;
            int groupPos = 0;
            while (CKeysAndActions* pGroup = pLog->GetNextWatchGroup(groupPos)) {
                if (!EqualNoCase(pGroup->m_strDescription, strGroup))
                    continue;
                m_manager.RunWhenNotScanning(pLog, -1, [=] {
                    pGroup->SetVariable(strVariable.c_str(), strValue);
                    WriteSystemLogF("Script: %s,%s: '%s' = '%s'", strLog.c_str(), strGroup.c_str(),
                                    strVariable.c_str(), strValue.c_str());
                });
            }
        }
    }

    CMonManager& m_manager;
};

} // namespace

BOOL RunScript(CMonManager& manager, const std::string& path, std::string* pError)
{
    std::optional<std::string> text = ReadFileBytes(path);
    if (!text) {
        const DWORD dwError = GetLastError();
        WriteSystemLogF("Error opening script file: %s", path.c_str());
        if (pError)
            *pError = "cannot read the script " + path + ": " + GetSystemErrorText(dwError);
        return FALSE;
    }
    CScriptRunner runner(manager);
    std::string_view rest = *text;
    int nLine = 0;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string line(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ++nLine;
        if (!runner.ExecuteLine(line)) {
            WriteSystemLogF("Script error at line %d : '%s'", nLine, line.c_str());
            if (pError)
                *pError = "the script " + path + " has an error at line " + std::to_string(nLine) +
                          ": '" + line + "'" +
                          (nLine > 1 ? " (the lines before it were applied)" : "");
            break;
        }
    }
    return TRUE;
}
