#include "tasklib/actions.h"

#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "tasklib/process.h"
#include "tasklib/recordversion.h"
#include "tasklib/tasklog.h"
#include "tasklib/taskui.h"

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

} // namespace

DWORD SerializeRecordVersion(CArchive& ar, DWORD dwVersion, const char* pszClass)
{
    if (ar.IsStoring()) {
        ar << dwVersion;
        return dwVersion;
    }
    DWORD dwStored = 0;
    ar >> dwStored;
    if (dwStored == 0 || dwStored > dwVersion)
        ar.Fail(CArchiveException::badSchema,
                std::string(pszClass) + " record of version " + std::to_string(dwStored) +
                    ", this program reads up to " + std::to_string(dwVersion));
    return dwStored;
}

// CBaseAction

IMPLEMENT_SERIAL(CBaseAction, CObject, VERSIONABLE_SCHEMA | 1)

std::unique_ptr<CBaseAction> CBaseAction::Clone() const
{
    return std::unique_ptr<CBaseAction>(new CBaseAction(*this));
}

std::string CBaseAction::GetDescription() const
{
    return "No action";
}

bool CBaseAction::Run(const CTaskVariables&, const std::string&) const
{
    return true;
}

void CBaseAction::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    SerializeRecordVersion(ar, 1, "CBaseAction");
}

DWORD CBaseAction::SerializeHeader(CArchive& ar, DWORD dwVersion, const char* pszClass)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CBaseAction));
    CBaseAction::Serialize(ar);
    return SerializeRecordVersion(ar, dwVersion, pszClass);
}

// CDisplayMessage

IMPLEMENT_SERIAL(CDisplayMessage, CBaseAction, VERSIONABLE_SCHEMA | 1)

std::unique_ptr<CBaseAction> CDisplayMessage::Clone() const
{
    return std::make_unique<CDisplayMessage>(*this);
}

std::string CDisplayMessage::GetDescription() const
{
    return "Display message " + Quoted(m_strMessage);
}

bool CDisplayMessage::Run(const CTaskVariables& variables, const std::string& strTask) const
{
    GetTaskUi().ShowTaskMessage(strTask, variables.Substitute(m_strMessage));
    return true;
}

void CDisplayMessage::Serialize(CArchive& ar)
{
    SerializeHeader(ar, 1, "CDisplayMessage");
    if (ar.IsStoring())
        ar << m_strMessage;
    else
        ar >> m_strMessage;
}

// CRunProgram

IMPLEMENT_SERIAL(CRunProgram, CBaseAction, VERSIONABLE_SCHEMA | 1)

std::unique_ptr<CBaseAction> CRunProgram::Clone() const
{
    return std::make_unique<CRunProgram>(*this);
}

std::string CRunProgram::GetDescription() const
{
    return "Run program " + Quoted(m_strCommand);
}

bool CRunProgram::Run(const CTaskVariables& variables, const std::string& strTask) const
{
    std::optional<std::vector<std::string>> words = SplitCommandLine(m_strCommand);
    if (!words || words->empty()) {
        TaskLog("Run program in task " + Quoted(strTask) + ": " +
                (words ? "the command line is empty" : "unterminated quote in the command line ") +
                (words ? "" : Quoted(m_strCommand)));
        return false;
    }

    CProcessRequest request;
    for (std::size_t i = 0; i < words->size(); ++i) {
        const std::string& word = (*words)[i];
        request.arrArgs.push_back(i == 0 ? variables.SubstituteConstants(word)
                                         : variables.Substitute(word));
    }
    request.arrEnvironment = variables.GetEnvironment();
    request.strDirectory = variables.SubstituteConstants(m_strDirectory);
    request.bWait = m_bWait != FALSE;
    request.dwTimeoutSeconds = m_dwTimeout;

    const std::string label =
        "Run program " + Quoted(request.arrArgs[0]) + " in task " + Quoted(strTask);
    CProcessResult result = RunProcess(request, label);
    if (!result.bStarted) {
        TaskLog(label + " could not start" +
                (request.strDirectory.empty() ? "" : " in folder " + Quoted(request.strDirectory)) +
                ": " + GetSystemErrorText(Win32ErrorFromErrno(result.nErrno)));
        return false;
    }
    if (!request.bWait)
        return true;
    TaskLog(label + " " + DescribeEnd(result, m_dwTimeout));
    return result.bExited && result.nExitCode == 0;
}

void CRunProgram::Serialize(CArchive& ar)
{
    SerializeHeader(ar, 1, "CRunProgram");
    if (ar.IsStoring()) {
        ar << m_strCommand << m_strDirectory << m_bWait << m_dwTimeout;
    } else {
        ar >> m_strCommand >> m_strDirectory >> m_bWait >> m_dwTimeout;
        m_bWait = m_bWait ? TRUE : FALSE;
    }
}

// CWriteToFile

IMPLEMENT_SERIAL(CWriteToFile, CBaseAction, VERSIONABLE_SCHEMA | 1)

std::unique_ptr<CBaseAction> CWriteToFile::Clone() const
{
    return std::make_unique<CWriteToFile>(*this);
}

std::string CWriteToFile::GetDescription() const
{
    return "Write to file " + Quoted(m_strPath);
}

bool CWriteToFile::Run(const CTaskVariables& variables, const std::string& strTask) const
{
    const std::string path = variables.SubstituteConstants(m_strPath);
    std::string line = variables.Substitute(m_strText);
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    line += '\n';
    if (path.empty()) {
        TaskLog("Write to file in task " + Quoted(strTask) + ": no file name");
        return false;
    }
    if (!EnsureDirectory(DirectoryOf(path)) || !AppendToFile(path, line)) {
        TaskLog("Write to file " + Quoted(path) + " in task " + Quoted(strTask) +
                " failed: " + GetSystemErrorText(GetLastError()));
        return false;
    }
    return true;
}

void CWriteToFile::Serialize(CArchive& ar)
{
    SerializeHeader(ar, 1, "CWriteToFile");
    if (ar.IsStoring())
        ar << m_strPath << m_strText;
    else
        ar >> m_strPath >> m_strText;
}
