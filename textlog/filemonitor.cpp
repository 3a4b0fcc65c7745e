#include "textlog/filemonitor.h"

#include <limits>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/brancmn.h"
#include "core/itemid.h"
#include "core/monmanager.h"
#include "match/keysetfinder.h"
#include "match/regexset.h"
#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"
#include "platform/base/strformat.h"
#include "platform/base/win32error.h"
#include "platform/clipboard/clipboard.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasks/trigger.h"
#include "textlog/filename.h"
#include "textlog/newlines.h"

IMPLEMENT_SERIAL(CFileMonitor, CMonitoredObject, VERSIONABLE_SCHEMA | 1)

namespace {

// A file opened read-only for one operation, closed on every way out.
class CReadOnlyFile {
public:
    // path as the user gave it (UNC paths are mapped); on failure the last
    // error is set.
    explicit CReadOnlyFile(const std::string& path)
    {
        std::optional<std::string> local = MapNetworkPath(path);
        if (!local)
            return;
        m_fd = ::open(local->c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            SetLastErrorFromErrno();
    }
    ~CReadOnlyFile() { Close(); }
    CReadOnlyFile(const CReadOnlyFile&) = delete;
    CReadOnlyFile& operator=(const CReadOnlyFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int GetFd() const { return m_fd; }
    // The end of the file as a position (cut to 32 bits, like every position).
    DWORD GetEnd() const { return static_cast<DWORD>(::lseek(m_fd, 0, SEEK_END)); }
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

void WriteAudit(const std::string& strAuditPath, const std::string& text)
{
    LogToFile(strAuditPath.c_str(), text.c_str(), 1);
}

} // namespace

CFileMonitor::CFileMonitor() : m_timeLastCheck(CTime::GetCurrentTime())
{
    m_bEnabled = TRUE;
    m_dwID = ITEM_KIND_TEXT_LOG | NewItemID();
}

CFileMonitor::CFileMonitor(const CFileMonitor& other)
    : CMonitoredObject(other), m_strShortDescription(other.m_strShortDescription),
      m_strDirectory(other.m_strDirectory), m_strFileName(other.m_strFileName),
      m_dwLastSize(other.m_dwLastSize), m_dwPosition(other.m_dwPosition),
      m_bFormattedName(other.m_bFormattedName), m_strTemplate(other.m_strTemplate),
      m_timeLastCheck(other.m_timeLastCheck), m_bFinishingYesterday(other.m_bFinishingYesterday)
{
    m_dwID = ITEM_KIND_TEXT_LOG | NewItemID();
}

CFileMonitor& CFileMonitor::operator=(const CFileMonitor& other)
{
    if (this == &other)
        return *this;
    CMonitoredObject::operator=(other);
    m_strShortDescription = other.m_strShortDescription;
    m_strDirectory = other.m_strDirectory;
    m_strFileName = other.m_strFileName;
    m_dwLastSize = other.m_dwLastSize;
    m_dwPosition = other.m_dwPosition;
    m_bFormattedName = other.m_bFormattedName;
    m_strTemplate = other.m_strTemplate;
    m_timeLastCheck = other.m_timeLastCheck;
    m_bFinishingYesterday = other.m_bFinishingYesterday;
    return *this;
}

void CFileMonitor::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CMonitoredObject));
    CMonitoredObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar << DWORD{1} << m_strDirectory << m_dwPosition << m_dwLastSize << m_strShortDescription
           << m_bFormattedName << m_strTemplate << m_strFileName;
    } else {
        DWORD dwVersion = 0;
        ar >> dwVersion >> m_strDirectory >> m_dwPosition >> m_dwLastSize >>
            m_strShortDescription >> m_bFormattedName >> m_strTemplate >> m_strFileName;
    }
}

int CFileMonitor::GetImageIndex() const
{
    if (!m_bEnabled)
        return 4;
    return m_nState == MON_STATE_NONE || m_nState == MON_STATE_ERROR ? 5 : 0;
}

UINT CFileMonitor::GetWatchGroupClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::WATCHTEXT);
}

UINT CFileMonitor::GetClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::MONTEXTLOG);
}

std::string CFileMonitor::GetFilePath() const
{
    if (!m_bFormattedName)
        return m_strDirectory + m_strFileName;
    return m_strDirectory + ExpandFileTemplate(m_strTemplate, CTime::GetCurrentTime());
}

bool CFileMonitor::GetWakeupSource(CWakeupSource& source)
{
    std::optional<std::string> local = MapNetworkPath(GetFilePath());
    if (!local)
        return false;
    const auto AddFolderOf = [&](const std::string& path) {
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos)
            return false;
        source.folders.emplace_back(slash == 0 ? std::string("/") : path.substr(0, slash),
                                    m_bFormattedName ? std::string() : path.substr(slash + 1));
        return true;
    };
    if (!AddFolderOf(*local))
        return false;
    struct stat st {};
    if (::lstat(local->c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* pTarget = ::realpath(local->c_str(), nullptr)) {
            AddFolderOf(pTarget);
            std::free(pTarget);
        }
    }
    return true;
}

BOOL CFileMonitor::CheckFileSize(DWORD& dwSize, std::string& strPath)
{
    dwSize = 0;
    const CTime now = CTime::GetCurrentTime();
    std::string strName;
    if (!m_bFormattedName) {
        strName = m_strFileName;
    } else if (now.GetDay() == m_timeLastCheck.GetDay()) {
        strName = ExpandFileTemplate(m_strTemplate, now);
        if (m_bFinishingYesterday) {
            WriteSystemLog(
                (m_strShortDescription + " First scan of today's log" + strName).c_str());
            m_bFinishingYesterday = FALSE;
        }
    } else {
        // The day changed: the previous day's file first, so that its last
        // lines are not lost.
        strName = ExpandFileTemplate(m_strTemplate, m_timeLastCheck);
        WriteSystemLog(
            (m_strShortDescription + " Finishing off yesterday's log first" + strName).c_str());
        m_bFinishingYesterday = TRUE;
    }
    m_timeLastCheck = now;
    strPath = m_strDirectory + strName;
    std::optional<std::string> local = MapNetworkPath(strPath);
    struct stat st {};
    if (!local)
        return FALSE;
    if (::stat(local->c_str(), &st) != 0) {
        SetLastErrorFromErrno();
        return FALSE;
    }
    if (S_ISDIR(st.st_mode)) {
        // A folder has a size but no lines.
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    dwSize = static_cast<DWORD>(st.st_size);
    return TRUE;
}

void CFileMonitor::Scan()
{
    // Lines repeated within this scan are written once, with their count.
    CSystemLogRepeatScope repeats;
    CLogonScope logon(*this);
    if (!logon)
        return;
    DWORD dwSize = 0;
    std::string strPath;
    if (!CheckFileSize(dwSize, strPath)) {
        SetState(MON_STATE_ERROR);
        WriteSystemLog(("Unable to open stats: " + strPath).c_str());
        return;
    }
    SetState(dwSize > m_dwLastSize   ? MON_STATE_GREW
             : dwSize < m_dwLastSize ? MON_STATE_SHRANK
                                     : MON_STATE_UNCHANGED);
    m_dwLastSize = dwSize;
    if (GetState() == MON_STATE_UNCHANGED) {
        return;
    }

    CReadOnlyFile file(strPath);
    if (!file.IsOpen()) {
        SetState(MON_STATE_ERROR);
        WriteSystemLog(("Unable to open log: " + strPath).c_str());
        return;
    }
    // A smaller file was cut or replaced: read it again from its start.
    const DWORD dwStart = GetState() == MON_STATE_GREW ? m_dwPosition : 0;
    if (m_bJumpPending) {
        m_dwPosition = file.GetEnd();
        file.Close();
        m_bJumpPending = FALSE;
        return;
    }

    // Without audit only the lines holding some key's text are kept; with
    // it every line is, since each one gets its audit line.
    const bool bAudit = g_bExtendedAudit != 0;
    CKeySetFinder finder;
    CRegexKeySet regexKeys;
    bool bRegexInRead = false;
    BuildKeySets(finder, regexKeys, bRegexInRead);
    // Positions are 32-bit: never read past the last one.
    const QWORD nMax = std::numeric_limits<DWORD>::max() - QWORD{dwStart};
    CNewLines lines;
    if (!lines.Read(file.GetFd(), dwStart, nMax, bAudit ? nullptr : &finder,
                    bRegexInRead ? &regexKeys : nullptr)) {
        return; // stopped: the position stays, so a later scan reads these bytes again
    }
    m_dwPosition = static_cast<DWORD>(dwStart + lines.GetBytesRead());
    file.Close();
    if (const int nError = lines.GetReadError()) {
        // The lines before the error are tested; the size is taken back to
        // the position, so the next scan reads on from there.
        const DWORD dwError = Win32ErrorFromErrno(nError);
        SetState(MON_STATE_ERROR);
        WriteSystemLogF("Error reading log: %s at byte %u: %u - %s", strPath.c_str(), m_dwPosition,
                        static_cast<unsigned>(dwError), GetSystemErrorText(dwError).c_str());
        m_dwLastSize = m_dwPosition;
    }

    std::string strAuditPath;
    if (bAudit) {
        strAuditPath = AppSettings::GetAuditText();
        WriteAudit(strAuditPath, FormatString("%-30s Reading bytes %u to %u (%u lines)",
                                              m_strShortDescription.c_str(), dwStart, m_dwPosition,
                                              static_cast<unsigned>(lines.GetCount())));
    }
    logon.Revert(); // the tasks run under the program's own account
    m_counters.m_nEntriesRead += lines.GetLinesRead();
    TestLines(lines, bAudit, strAuditPath, regexKeys.IsEmpty() ? nullptr : &regexKeys);
}

void CFileMonitor::BuildKeySets(CKeySetFinder& finder, CRegexKeySet& regexKeys, bool& bRegexInRead)
{
    {
        CSingleLock lock(g_csMonitor);
        for (const CKeysAndActions* pGroup : m_arrWatchGroups) {
            for (const CSearchKey* pKey : pGroup->m_arrKeys) {
                if (const auto* pText = dynamic_cast<const CSearchKeyText*>(pKey)) {
                    finder.AddTextKey(*pText);
                } else if (const auto* pRegex = dynamic_cast<const CSearchKeyRegex*>(pKey)) {
                    if (pRegex->IsBroken() && pRegex->TakeBrokenReport())
                        WriteSystemLogF("%s: the regular expression '%s' of watch group '%s' is "
                                        "broken and never matches: %s",
                                        m_strShortDescription.c_str(), pRegex->GetPattern().c_str(),
                                        pGroup->m_strDescription.c_str(),
                                        pRegex->GetError().c_str());
                    regexKeys.AddKey(*pRegex);
                }
            }
        }
    }
    // Text keys alone: the finder's window filter beats a database.
    if (regexKeys.IsEmpty() && finder.HasWindowFilter())
        return;
    // One database for the log searches the blocks for both kinds of keys
    // (only the lines it finds are tested).
    regexKeys.AddLiterals(finder);
    regexKeys.Build();
    if (regexKeys.HasBlockSearch()) {
        bRegexInRead = true;
        return;
    }
    if (regexKeys.IsEmpty())
        return;
    // A line that holds none of the patterns' required literals cannot
    // match; without such literals every line is tested with the set.
    std::vector<std::string> literals;
    if (!regexKeys.GetRequiredLiterals(literals)) {
        bRegexInRead = true;
        return;
    }
    for (const std::string& literal : literals)
        finder.AddPattern(literal, false);
}

void CFileMonitor::TestLines(const CNewLines& lines, bool bAudit, const std::string& strAuditPath,
                             const CRegexKeySet* pRegexKeys)
{
    CPreparedLine prepared;
    prepared.AttachRegexSet(pRegexKeys);
    CNewLines::CCursor cursor(lines);
    std::string_view line;
    bool bGapBefore = false;
    std::string strAudit;
    while (cursor.Next(line, bGapBefore)) {
        if (bGapBefore)
            ResetAllHits();
        prepared.Prepare(line);
        if (bAudit)
            strAudit = FormatString("%-30s '%s'", m_strShortDescription.c_str(),
                                    std::string(line).c_str());
        bool bTriggered = false;
        int pos = 0;
        while (CKeysAndActions* pGroup = GetNextWatchGroup(pos)) {
            pGroup->ResetHits();
            if (IsStopRequested())
                return;
            TriggerText(*pGroup, prepared);
            if (pGroup->IsTriggered()) {
                ApplyLaunchRule(*pGroup, &m_counters);
                bTriggered = true;
            }
        }
        if (bAudit) {
            strAudit += bTriggered ? FormatString(" TASK SEQ - %d",
                                                  static_cast<int>(g_nTaskSequence.load()))
                                   : std::string(" NO TRIGGERS");
            WriteAudit(strAuditPath, strAudit);
        }
    }
    if (lines.IsGapAtEnd())
        ResetAllHits();
}

void CFileMonitor::ResetAllHits()
{
    int pos = 0;
    while (CKeysAndActions* pGroup = GetNextWatchGroup(pos))
        pGroup->ResetHits();
}

void CFileMonitor::TriggerText(CKeysAndActions& group, const CPreparedLine& line)
{
    if (MatchTextKeys(group, line))
        SetTextVariables(group, line.GetLine(), GetDisplayName(), GetFilePath());
}

void CFileMonitor::JumpToEnd()
{
    const bool bAudit = g_bExtendedAudit != 0;
    bool bDone = false;
    if (const CLogonScope logon(*this); logon) {
        CReadOnlyFile file(GetFilePath());
        if (file.IsOpen()) {
            m_dwPosition = m_dwLastSize = file.GetEnd();
            m_bJumpPending = FALSE;
            file.Close();
            bDone = true;
            if (bAudit)
                WriteAudit(AppSettings::GetAuditText(),
                           FormatString("%-30s Preset to byte %u", m_strShortDescription.c_str(),
                                        m_dwPosition));
        }
    }
    if (!bDone) {
        m_bJumpPending = TRUE;
        if (bAudit)
            WriteAudit(AppSettings::GetAuditText(),
                       FormatString("%-30s Unavailable - new lines may be missed!",
                                    m_strShortDescription.c_str()));
    }
}

BOOL CFileMonitor::ClearLog()
{
    const CLogonScope logon(*this);
    if (!logon)
        return FALSE;
    std::optional<std::string> local = MapNetworkPath(GetFilePath());
    BOOL bDeleted = FALSE;
    if (local) {
        bDeleted = ::unlink(local->c_str()) == 0;
        if (!bDeleted)
            SetLastErrorFromErrno();
    }
    if (bDeleted) {
        m_dwLastSize = 0;
        m_dwPosition = 0;
        SetState(MON_STATE_NONE);
    }
    return bDeleted;
}

BOOL CFileMonitor::MarkLog(const std::string& text)
{
    const CLogonScope logon(*this);
    return logon ? LogToFile(GetFilePath().c_str(), text.c_str(), 0) : FALSE;
}

void RegisterTextLogClasses()
{
    RegisterCoreClasses();
    CRuntimeClass::Register(RUNTIME_CLASS(CFileMonitor));
}
