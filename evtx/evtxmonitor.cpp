#include "evtx/evtxmonitor.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>

#include <dirent.h>
#include <sys/stat.h>

#include "common/brancmn.h"
#include "core/itemid.h"
#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "eventlog/render/eventrender.h"
#include "evtx/evtxfile.h"
#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"
#include "platform/base/strformat.h"
#include "platform/clipboard/clipboard.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasks/trigger.h"

IMPLEMENT_SERIAL(CEvtxMonitor, CMonitoredObject, VERSIONABLE_SCHEMA | 1)

CEvtxMonitor::CEvtxMonitor()
{
    m_dwID = ITEM_KIND_EVENT_LOG | NewItemID();
    m_bEnabled = TRUE;
}

CEvtxMonitor::CEvtxMonitor(const CEvtxMonitor& other)
    : CMonitoredObject(other), m_strPath(other.m_strPath), m_nLastRecord(other.m_nLastRecord)
{
    m_dwID = ITEM_KIND_EVENT_LOG | NewItemID();
}

CEvtxMonitor& CEvtxMonitor::operator=(const CEvtxMonitor& other)
{
    if (this != &other) {
        CMonitoredObject::operator=(other);
        m_strPath = other.m_strPath;
        m_nLastRecord = other.m_nLastRecord;
    }
    return *this;
}

void CEvtxMonitor::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CMonitoredObject));
    CMonitoredObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar << DWORD{1} << m_strPath << static_cast<DWORD>(m_nLastRecord)
           << static_cast<DWORD>(m_nLastRecord >> 32) << DWORD{0};
        return;
    }
    DWORD dwVersion = 0;
    DWORD dwLow = 0;
    DWORD dwHigh = 0;
    DWORD dwReserved = 0;
    ar >> dwVersion >> m_strPath >> dwLow >> dwHigh >> dwReserved;
    m_nLastRecord = std::uint64_t{dwHigh} << 32 | dwLow;
}

int CEvtxMonitor::GetImageIndex() const
{
    if (!m_bEnabled)
        return 7;
    return (m_nState == MON_STATE_NONE || m_nState == MON_STATE_ERROR) ? 6 : 14;
}

UINT CEvtxMonitor::GetWatchGroupClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::WATCHEVENT);
}

UINT CEvtxMonitor::GetClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::MONEVENTLOG);
}

std::vector<std::string> CEvtxMonitor::GetFiles() const
{
    struct stat st {};
    if (::stat(m_strPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {m_strPath};
    std::vector<std::tuple<std::int64_t, std::string>> found;
    if (DIR* pDir = ::opendir(m_strPath.c_str())) {
        while (const dirent* pEntry = ::readdir(pDir)) {
            const std::size_t n = std::strlen(pEntry->d_name);
            if (n <= 5 || ::strcasecmp(pEntry->d_name + n - 5, ".evtx") != 0)
                continue;
            const std::string path =
                m_strPath + (m_strPath.back() == '/' ? "" : "/") + pEntry->d_name;
            if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                found.emplace_back(static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                                       st.st_mtim.tv_nsec,
                                   path);
        }
        ::closedir(pDir);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> files;
    files.reserve(found.size());
    for (auto& [time, path] : found)
        files.push_back(std::move(path));
    return files;
}

bool CEvtxMonitor::GetWakeupSource(CWakeupSource& source)
{
    struct stat st {};
    if (::stat(m_strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        source.folders.emplace_back(m_strPath, std::string());
        return true;
    }
    const std::size_t slash = m_strPath.rfind('/');
    if (slash == std::string::npos)
        return false;
    source.folders.emplace_back(slash == 0 ? std::string("/") : m_strPath.substr(0, slash),
                                m_strPath.substr(slash + 1));
    return true;
}

// What one scan shares among its records.
struct CEvtxMonitor::CScanState {
    CScanState(CEventRenderer& r, std::string name, bool audit)
        : renderer(r), strName(std::move(name)), bAudit(audit)
    {
    }
    CEventRenderer& renderer;
    std::string strName;
    bool bAudit = false;
    bool bTypeKeys = false; // some event key tests the type
    CEventStruct event;
    std::string strXml;
    bool bXml = false;
    bool bTexts = false;
    std::string strDescription;
    std::string strCategory;
    CPreparedLine description;
    std::map<std::string, bool> classic;

    // The record's XML, made once.
    const std::string& Xml(CEvtxFile& file)
    {
        if (!bXml) {
            strXml = file.GetXml();
            bXml = true;
        }
        return strXml;
    }
    // The description: a classic source's message, else the event data.
    void EnsureTexts(CEvtxFile& file)
    {
        if (bTexts)
            return;
        bTexts = true;
        strDescription.clear();
        strCategory.clear();
        // Whether the provider is a classic source with a message file here,
        // asked once per provider and scan.
        auto it = classic.find(event.m_strSource);
        if (it == classic.end()) {
            std::string strEventFile, strCategoryFile, strParameterFile;
            const bool bClassic =
                renderer.GetMessageFiles(event, strEventFile, strCategoryFile, strParameterFile) &&
                !strEventFile.empty();
            it = classic.emplace(event.m_strSource, bClassic).first;
        }
        if (it->second)
            renderer.RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, event, strDescription,
                                 strCategory);
        else
            strDescription = EvtxDataLines(Xml(file));
        description.Prepare(strDescription);
    }
};

namespace {

// The highest EventRecordID of the files' newest readable records; false
// when no file could be opened (each failure written to the system log when
// bReport). The last file stays open in *pLast when given, for the scan
// that follows.
bool NewestRecord(const std::vector<std::string>& files, bool bReport, std::uint64_t& nNewest,
                  std::unique_ptr<CEvtxFile>* pLast = nullptr)
{
    bool bOpened = false;
    std::string strError;
    for (std::size_t n = 0; n < files.size(); ++n) {
        const std::string& path = files[n];
        auto pFile = std::make_unique<CEvtxFile>();
        CEvtxFile& file = *pFile;
        if (!file.Open(path, strError)) {
            if (bReport)
                WriteSystemLogF("Error opening: %s failed: %s", path.c_str(), strError.c_str());
            continue;
        }
        bOpened = true;
        for (int i = file.GetRecordCount() - 1; i >= 0; --i) {
            std::uint64_t nID = 0;
            if (file.ReadIdentifier(i, nID)) {
                nNewest = std::max(nNewest, nID);
                break;
            }
        }
        if (pLast && n + 1 == files.size())
            *pLast = std::move(pFile);
    }
    return bOpened;
}

} // namespace

void CEvtxMonitor::Scan()
{
    CSystemLogRepeatScope repeats;
    CLogonScope logon(*this);
    if (!logon)
        return;
    const std::string strName = GetDisplayName();
    const std::vector<std::string> files = GetFiles();
    // The newest record there is, to tell a log replaced by a new one (its
    // records numbered from 1 again) from one that grew.
    std::uint64_t nNewest = 0;
    std::unique_ptr<CEvtxFile> pLastFile;
    if (!NewestRecord(files, true, nNewest, &pLastFile)) {
        SetState(MON_STATE_ERROR);
        if (files.empty())
            WriteSystemLogF("Error opening: %s failed: no .evtx files", strName.c_str());
        return;
    }
    std::string strError;
    if (nNewest < m_nLastRecord) {
        SetState(MON_STATE_SHRANK);
        m_nLastRecord = 0;
    } else if (nNewest > m_nLastRecord) {
        SetState(MON_STATE_GREW);
    } else {
        SetState(MON_STATE_UNCHANGED);
        return;
    }
    CEventRenderer renderer("", "Application", strName, this);
    CScanState state(renderer, strName, g_bExtendedAudit != 0);
    int nGroup = 0;
    while (const CKeysAndActions* pGroup = GetNextWatchGroup(nGroup)) {
        int pos = 0;
        while (const CSearchKey* pKey = pGroup->GetNextKey(pos))
            if (const auto* pEventKey = dynamic_cast<const CSearchKeyEvent*>(pKey))
                state.bTypeKeys = state.bTypeKeys || pEventKey->GetTypeOperator() != 0;
    }
    std::size_t nSkipped = 0;
    bool bStopped = false;
    for (std::size_t n = 0; n < files.size(); ++n) {
        // The last file is still open from NewestRecord.
        std::unique_ptr<CEvtxFile> pFile = n + 1 == files.size() && pLastFile
                                               ? std::move(pLastFile)
                                               : std::make_unique<CEvtxFile>();
        CEvtxFile& file = *pFile;
        if (bStopped || (!file.IsOpen() && !file.Open(files[n], strError)))
            continue;
        // The first record after the position: the first of the file when
        // the whole file is new, else found walking back from the newest.
        const int nCount = file.GetRecordCount();
        int nFirstReadable = 0;
        std::uint64_t nFirstID = 0;
        while (nFirstReadable < nCount && !file.ReadIdentifier(nFirstReadable, nFirstID))
            ++nFirstReadable;
        int nStart = nCount;
        if (nFirstReadable < nCount && nFirstID > m_nLastRecord)
            nStart = 0;
        for (std::uint64_t nID = 0; nStart > 0; --nStart)
            if (file.ReadIdentifier(nStart - 1, nID) && nID <= m_nLastRecord)
                break;
        CEvtxRecord record;
        for (int i = nStart; i < file.GetRecordCount(); ++i) {
            if (!file.ReadRecord(i, record)) {
                ++nSkipped;
                continue;
            }
            if (record.nIdentifier <= m_nLastRecord)
                continue;
            if (!TestRecord(file, record, state)) {
                bStopped = true;
                break;
            }
            m_nLastRecord = record.nIdentifier;
        }
    }
    logon.Revert();
    if (nSkipped > 0)
        WriteSystemLogF("%s: %zu records could not be read and were skipped", strName.c_str(),
                        nSkipped);
    if (bStopped)
        WriteSystemLogF("%s Terminated scan on record %llu", strName.c_str(),
                        static_cast<unsigned long long>(m_nLastRecord));
    m_bJumpPending = FALSE;
}

bool CEvtxMonitor::TestRecord(CEvtxFile& file, const CEvtxRecord& record, CScanState& state)
{
    ++m_counters.m_nEntriesRead;
    state.bXml = false;
    state.bTexts = false;
    // Level 0 is an audit's or "log always": the keywords of the XML tell
    // which. The XML is made for that only when a key tests the type or a
    // group triggers.
    bool bTypeReady = record.nLevel != 0 || state.bTypeKeys;
    EvtxRecordToEvent(record, record.nLevel == 0 && bTypeReady ? state.Xml(file) : std::string(),
                      state.event);
    bool bTriggered = false;
    int nGroup = 0;
    while (CKeysAndActions* pGroup = GetNextWatchGroup(nGroup)) {
        pGroup->ResetHits();
        if (IsStopRequested())
            return false;
        int pos = 0;
        bool bEventHit = false;
        while (CSearchKey* pKey = pGroup->GetNextKey(pos)) {
            if (auto* pEventKey = dynamic_cast<CSearchKeyEvent*>(pKey)) {
                if (bEventHit)
                    continue;
                if (pEventKey->GetTextOperator() != 0)
                    state.EnsureTexts(file);
                if (pEventKey->Match(state.event, state.description)) {
                    ++pEventKey->m_nHits;
                    bEventHit = true;
                }
            } else if (auto* pTextKey = dynamic_cast<CSearchKeyText*>(pKey)) {
                state.EnsureTexts(file);
                if (pTextKey->Match(state.description))
                    ++pTextKey->m_nHits;
            } else if (auto* pRegexKey = dynamic_cast<CSearchKeyRegex*>(pKey)) {
                state.EnsureTexts(file);
                if (pRegexKey->Match(state.description))
                    ++pRegexKey->m_nHits;
            }
        }
        if (!pGroup->IsTriggered())
            continue;
        bTriggered = true;
        if (!bTypeReady) {
            state.event.m_nEventType = EvtxEventType(record.nLevel, state.Xml(file));
            bTypeReady = true;
        }
        state.EnsureTexts(file);
        SetEventVariables(*pGroup, state.event, state.event.m_timeGenerated, state.strDescription,
                          state.strCategory, state.strName, record.nIdentifier);
        ApplyLaunchRule(*pGroup, &m_counters);
    }
    if (state.bAudit)
        LogToFile(AppSettings::GetAuditNT().c_str(),
                  FormatString("%-30s -> %llu ,%s, %s, %u : %s", state.strName.c_str(),
                               static_cast<unsigned long long>(record.nIdentifier),
                               state.event.m_timeGenerated.Format("%m/%d/%y  %H:%M:%S").c_str(),
                               state.event.m_strSource.c_str(), state.event.m_nEventID & 0xFFFF,
                               bTriggered
                                   ? FormatString("TASK SEQ - %u",
                                                  static_cast<unsigned>(g_nTaskSequence.load()))
                                         .c_str()
                                   : "NO TRIGGERS")
                      .c_str(),
                  1);
    return true;
}

void CEvtxMonitor::JumpToEnd()
{
    std::uint64_t nNewest = 0;
    if (CLogonScope logon(*this); logon)
        NewestRecord(GetFiles(), false, nNewest);
    m_nLastRecord = std::max(m_nLastRecord, nNewest);
    m_bJumpPending = FALSE;
}

void RegisterEvtxClasses()
{
    RegisterCoreClasses();
    CRuntimeClass::Register(RUNTIME_CLASS(CEvtxMonitor));
}
