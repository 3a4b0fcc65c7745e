#include "tools/qvws/testevents.h"

#include <vector>

#include <sys/stat.h>

#include "eventlog/render/eventrender.h"
#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxfile.h"
#include "journal/journalfields.h"
#include "journal/journalhandle.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/evtfile.h"

namespace {

bool EndsWith(const std::string& text, std::string_view suffix)
{
    return text.size() >= suffix.size() &&
           std::string_view(text).substr(text.size() - suffix.size()) == suffix;
}

CEventRenderer MakeRenderer(const CMonitoredObject* pLog)
{
    if (const auto* pEventLog = dynamic_cast<const CEventMonitor*>(pLog))
        return {pEventLog->GetServer(), pEventLog->GetLogName(), pEventLog->GetDisplayName()};
    return {"", "Application", "Application"};
}

TestEventFile ReadEvt(const std::string& bytes, CEventRenderer& renderer,
                      const std::function<void(const CTestEvent&)>& visit, std::string& strError)
{
    DWORD error = 0;
    const auto pSnapshot =
        CEvtSnapshot::Build(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), error);
    if (!pSnapshot) {
        strError = "the event log file is damaged";
        return TestEventFile::Failed;
    }
    CAccountNameCache accounts;
    CTestEvent entry;
    std::string scratch;
    std::vector<BYTE> ansi;
    for (DWORD i = 0; i < pSnapshot->GetIndexedCount(); ++i) {
        DWORD length = 0;
        const BYTE* pRecord = pSnapshot->GetRecord(pSnapshot->GetOldest() + i, length, scratch);
        if (!pRecord)
            continue;
        // The disk keeps UTF-16 strings; events are read in the 8-bit form
        // that the event log service hands out.
        ansi.resize(ConvertEvtRecordToAnsi(pRecord, length, nullptr, 0));
        ConvertEvtRecordToAnsi(pRecord, length, ansi.data(), static_cast<DWORD>(ansi.size()));
        if (!entry.event.SetFromRecord(reinterpret_cast<const EVENTLOGRECORD*>(ansi.data()),
                                       ansi.size(), &accounts))
            continue;
        renderer.RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, entry.event,
                             entry.strDescription, entry.strCategory);
        entry.nNumber = entry.event.m_nRecordNumber;
        visit(entry);
    }
    return TestEventFile::Read;
}

TestEventFile ReadEvtx(const std::string& path, CEventRenderer& renderer,
                       const std::function<void(const CTestEvent&)>& visit, std::string& strError)
{
    CEvtxFile file;
    if (!file.Open(path, strError))
        return TestEventFile::Failed;
    CEvtxRecord record;
    CTestEvent entry;
    for (int i = 0; i < file.GetRecordCount(); ++i) {
        if (!file.ReadRecord(i, record))
            continue;
        const std::string strXml = file.GetXml();
        EvtxRecordToEvent(record, strXml, entry.event);
        // A classic source's message where it has a message file here,
        // else the event data, as the scan describes the record.
        std::string strEventFile, strCategoryFile, strParameterFile;
        entry.strCategory.clear();
        if (renderer.GetMessageFiles(entry.event, strEventFile, strCategoryFile,
                                     strParameterFile) &&
            !strEventFile.empty())
            renderer.RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, entry.event,
                                 entry.strDescription, entry.strCategory);
        else
            entry.strDescription = EvtxDataLines(strXml);
        entry.nNumber = record.nIdentifier;
        visit(entry);
    }
    return TestEventFile::Read;
}

TestEventFile ReadJournal(const std::string& path,
                          const std::function<void(const CTestEvent&)>& visit,
                          std::string& strError)
{
    CJournalHandle journal;
    if (!journal.Open(path, {}, strError))
        return TestEventFile::Failed;
    CJournalEntryFields fields;
    CJournalUserNames users;
    CTestEvent entry;
    journal.SeekHead();
    while (journal.Next() > 0) {
        journal.ReadFields(fields);
        JournalEntryToEvent(fields, users, entry.event);
        entry.strDescription = fields.message;
        entry.strCategory =
            fields.facility.empty() ? std::string() : JournalFacilityName(entry.event.m_nCategory);
        entry.nNumber = JournalCursorSeqnum(journal.GetCursor());
        visit(entry);
    }
    return TestEventFile::Read;
}

} // namespace

TestEventFile ReadTestEvents(const std::string& path, const CMonitoredObject* pLog,
                             const std::function<void(const CTestEvent&)>& visit,
                             std::string& strError)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ReadJournal(path, visit, strError);
    if (EndsWith(path, ".journal"))
        return ReadJournal(path, visit, strError);
    CEventRenderer renderer = MakeRenderer(pLog);
    if (EndsWith(path, ".evtx"))
        return ReadEvtx(path, renderer, visit, strError);
    const std::optional<std::string> bytes = ReadFileBytes(path);
    // A classic log starts with its header: length 0x30 and "LfLe".
    if (!bytes || bytes->size() < 8 || bytes->compare(4, 4, "LfLe") != 0)
        return TestEventFile::NotEvents;
    return ReadEvt(*bytes, renderer, visit, strError);
}
