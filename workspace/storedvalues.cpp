#include "workspace/storedvalues.h"

#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "settings/appsettings.h"
#include "textlog/filemonitor.h"
#include "workspace/workspacefile.h"

namespace {

class CFinder {
public:
    std::vector<CStoredValueProblem> m_problems;

    void Flag(const std::string& where, const char* field, long long value)
    {
        if (value != 0 && value != 1)
            Add(where, field, std::to_string(value) + ", where 0 or 1 is written");
    }

    void Add(const std::string& where, const char* field, const std::string& text)
    {
        m_problems.push_back({where, field, text});
    }

    void Key(const std::string& where, const CSearchKey& key)
    {
        if (const auto* pText = dynamic_cast<const CSearchKeyText*>(&key)) {
            const LONG nMode = static_cast<LONG>(pText->m_nMode);
            if (nMode < 0 || nMode > 3)
                Add(where, "mode", std::to_string(nMode) + ", where 0 to 3 is written");
            Flag(where, "case sensitive", pText->m_bCaseSensitive);
        } else if (const auto* pEvent = dynamic_cast<const CSearchKeyEvent*>(&key)) {
            const DWORD dwOperators = pEvent->m_dwOperators;
            static constexpr struct {
                KeyOperatorShift nShift;
                const char* field;
            } fields[] = {{KEY_SHIFT_SOURCE, "source operator"},
                          {KEY_SHIFT_USER, "user operator"},
                          {KEY_SHIFT_COMPUTER, "computer operator"},
                          {KEY_SHIFT_CATEGORY, "category operator"},
                          {KEY_SHIFT_EVENTID, "event ID operator"},
                          {KEY_SHIFT_TYPE, "type operator"},
                          {KEY_SHIFT_TEXT, "text operator"}};
            for (const auto& f : fields) {
                const DWORD op = (dwOperators >> f.nShift) & 0xF;
                const bool bText = f.nShift == KEY_SHIFT_TEXT;
                if (bText ? op != OP_NONE && op != OP_CONTAINS && op != OP_REGEX
                          : op > OP_NOT_ONE_OF)
                    Add(where, f.field,
                        std::to_string(op) +
                            (bText ? ", where 0, 1 or 9 is written" : ", where 0 to 8 is written"));
            }
            if (dwOperators >> 28)
                Add(where, "operators", "has bits 28 to 31 set, which are written as 0");
        }
    }

    void Group(const std::string& where, const CKeysAndActions& group)
    {
        Flag(where, "minimum launch interval on", group.m_bMinInterval);
        if (group.m_nMinIntervalMinutes < 0)
            Add(where, "minimum launch interval",
                std::to_string(group.m_nMinIntervalMinutes) + ", where 0 or more is written");
        int pos = 0;
        while (const CSearchKey* pKey = group.GetNextKey(pos))
            Key(where + ", key " + std::to_string(pos), *pKey);
    }

    void Log(const CMonitoredObject& log)
    {
        const std::string where = "log \"" + log.GetDisplayName() + "\"";
        Flag(where, "enabled", log.m_bEnabled);
        if (log.m_nInterval < 1)
            Add(where, "interval",
                std::to_string(log.m_nInterval) + ", where 1 second or more is written");
        Flag(where, "impersonate", log.m_bImpersonate);
        if (const auto* pText = dynamic_cast<const CFileMonitor*>(&log)) {
            if (pText->m_dwPosition > pText->m_dwLastSize)
                Add(where, "position",
                    std::to_string(pText->m_dwPosition) + ", beyond the last size seen, " +
                        std::to_string(pText->m_dwLastSize));
            Flag(where, "formatted name", pText->m_bFormattedName);
        }
        int pos = 0;
        while (const CKeysAndActions* pGroup = log.GetNextWatchGroup(pos))
            Group(where + ", watch group \"" + pGroup->m_strDescription + "\"", *pGroup);
    }
};

} // namespace

std::vector<CStoredValueProblem> FindStoredValueProblems(const CMonManager& manager)
{
    CFinder finder;
    int pos = 0;
    while (const CMonitoredObject* pLog = manager.GetNextLog(pos))
        finder.Log(*pLog);
    return std::move(finder.m_problems);
}

std::string DescribeStoredValueProblem(const CStoredValueProblem& problem)
{
    return problem.strWhere + ": " + problem.strField + " is " + problem.strText;
}

std::string StoredValueAdvice(const std::string& path)
{
    const std::string backup = WorkspaceBackupPath(path);
    return "the values load as stored; if " + path +
           " was damaged, stop quorvil and copy its backup " + backup + " over it" +
           (AppSettings::GetAutoBackup() ? ""
                                         : " (no backup is made while Settings/AutoBackup is 0)");
}
