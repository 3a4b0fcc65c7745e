#include "tasklib/task.h"

#include <map>
#include <mutex>

#include "tasklib/alertactions.h"
#include "tasklib/delivery.h"
#include "tasklib/recordversion.h"
#include "tasklib/taskui.h"

IMPLEMENT_SERIAL(CTask, CObject, VERSIONABLE_SCHEMA | 1)

void RegisterBranSchedClasses()
{
    for (const CRuntimeClass* pClass :
         {RUNTIME_CLASS(CTask), RUNTIME_CLASS(CBaseAction), RUNTIME_CLASS(CDisplayMessage),
          RUNTIME_CLASS(CRunProgram), RUNTIME_CLASS(CWriteToFile), RUNTIME_CLASS(CSendMail),
          RUNTIME_CLASS(CWebHook), RUNTIME_CLASS(CSyslogForward),
          RUNTIME_CLASS(CDesktopNotification)})
        CRuntimeClass::Register(pClass);
}

CTask::CTask() : m_strDescription("Task") {}

CTask::CTask(const CTask& other) : CObject()
{
    *this = other;
}

CTask& CTask::operator=(const CTask& other)
{
    if (this == &other)
        return *this;
    std::scoped_lock lock(m_cs, other.m_cs);
    m_strDescription = other.m_strDescription;
    m_arrActions.clear();
    for (const auto& action : other.m_arrActions)
        m_arrActions.push_back(action->Clone());
    m_variables = other.m_variables;
    m_timeLastRun = other.m_timeLastRun;
    return *this;
}

CTask::~CTask() = default;

void CTask::Serialize(CArchive& ar)
{
    CSingleLock lock(m_cs);
    if (ar.IsStoring()) {
        SerializeRecordVersion(ar, 1, "CTask");
        ar << m_strDescription << static_cast<DWORD>(m_arrActions.size());
        for (const auto& action : m_arrActions)
            ar.WriteObject(action.get());
        const std::map<std::string, std::string> constants = m_variables.GetConstants();
        ar << static_cast<DWORD>(constants.size());
        for (const auto& [name, value] : constants)
            ar << name << value;
        return;
    }

    ar.GetObjectSchema();
    SerializeRecordVersion(ar, 1, "CTask");
    DWORD dwCount = 0;
    ar >> m_strDescription >> dwCount;
    // Every object record takes at least its 2-byte tag.
    ar.CheckCount(dwCount, 2);
    m_arrActions.clear();
    for (DWORD i = 0; i < dwCount; ++i) {
        std::unique_ptr<CBaseAction> action = ar.ReadObjectAs<CBaseAction>();
        if (!action || action->GetRuntimeClass() == RUNTIME_CLASS(CBaseAction))
            ar.Fail(CArchiveException::badClass,
                    "task action " + std::to_string(i) + " is not an action of a known kind");
        m_arrActions.push_back(std::move(action));
    }
    ar >> dwCount;
    // A name and a value take at least a length byte each.
    ar.CheckCount(dwCount, 2);
    m_variables.Clear();
    for (DWORD i = 0; i < dwCount; ++i) {
        std::string name, value;
        ar >> name >> value;
        m_variables.Set(name, value);
    }
}

std::unique_ptr<CTask> CTask::ReadFromArchive(CArchive& ar)
{
    return ar.ReadObjectAs<CTask>();
}

void CTask::SetDescription(const char* description)
{
    CSingleLock lock(m_cs);
    m_strDescription = description ? description : "";
}

std::string CTask::GetDescription() const
{
    CSingleLock lock(m_cs);
    return m_strDescription;
}

void CTask::SetTranslationString(const char* name, const char* value)
{
    if (!name)
        return;
    CSingleLock lock(m_cs);
    m_variables.Set(name, value ? value : "");
}

void CTask::RemoveTranslationString(const char* name)
{
    if (!name)
        return;
    CSingleLock lock(m_cs);
    m_variables.Remove(name);
}

void CTask::ReplaceTranslationStrings(std::string_view prefix, bool (*pTest)(std::string_view name),
                                      std::span<const CTaskVariables::NameValue> values)
{
    CSingleLock lock(m_cs);
    m_variables.Replace(prefix, pTest, values);
}

CTaskVariables CTask::GetVariables() const
{
    CSingleLock lock(m_cs);
    return m_variables;
}

BOOL CTask::Run(int* pFailedActions)
{
    return Run(std::map<std::string, std::string>(), pFailedActions);
}

BOOL CTask::Run(const std::map<std::string, std::string>& extra, int* pFailedActions)
{
    std::vector<std::unique_ptr<CBaseAction>> arrActions;
    CTaskVariables variables;
    std::string strDescription;
    {
        CSingleLock lock(m_cs);
        m_timeLastRun = COleDateTime::GetCurrentTime();
        // Without actions there is nothing to substitute into.
        if (m_arrActions.empty()) {
            if (pFailedActions)
                *pFailedActions = 0;
            return TRUE;
        }
        for (const auto& action : m_arrActions)
            arrActions.push_back(action->Clone());
        variables = m_variables;
        for (const auto& [name, value] : extra)
            variables.Set(name, value);
        strDescription = m_strDescription;
    }
    int nFailed = 0;
    for (const auto& action : arrActions) {
        if (!action->Run(variables, strDescription))
            ++nFailed;
    }
    if (pFailedActions)
        *pFailedActions = nFailed;
    return nFailed == 0;
}

std::string CTask::RunAsTest(std::uint32_t nWaitMs)
{
    CDeliveryTest test;
    const BOOL bOk = Run();
    const std::vector<std::string> lines = test.Wait(nWaitMs);
    if (lines.empty() && bOk)
        return {};
    std::string text = "Test Task Actions:";
    for (const std::string& line : lines)
        text += "\n" + line;
    if (!bOk)
        text += "\nAn action failed before sending anything; the system log says why.";
    GetTaskUi().ShowTaskMessage(GetDescription(), text);
    return text;
}

COleDateTime CTask::GetLastRunTime() const
{
    CSingleLock lock(m_cs);
    return m_timeLastRun;
}

int CTask::Properties()
{
    return GetTaskUi().EditTask(*this);
}

void CTask::AddAction(const CBaseAction& action)
{
    auto copy = action.Clone();
    CSingleLock lock(m_cs);
    m_arrActions.push_back(std::move(copy));
}

int CTask::GetActionCount() const
{
    CSingleLock lock(m_cs);
    return static_cast<int>(m_arrActions.size());
}

CBaseAction* CTask::GetAction(int index)
{
    CSingleLock lock(m_cs);
    return index >= 0 && index < static_cast<int>(m_arrActions.size())
               ? m_arrActions[static_cast<std::size_t>(index)].get()
               : nullptr;
}

const CBaseAction* CTask::GetAction(int index) const
{
    return const_cast<CTask*>(this)->GetAction(index);
}

void CTask::RemoveAction(int index)
{
    CSingleLock lock(m_cs);
    if (index >= 0 && index < static_cast<int>(m_arrActions.size()))
        m_arrActions.erase(m_arrActions.begin() + index);
}

void CTask::RemoveAllActions()
{
    CSingleLock lock(m_cs);
    m_arrActions.clear();
}
