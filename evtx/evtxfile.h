#pragma once
// CEvtxFile: one Windows XML event log file (.evtx) read through libevtx.
// Records are read by index; a record the library cannot parse is reported
// as such and the others stay readable.
//
// One thread at a time.
#include <cstdint>
#include <string>
#include <vector>

#include "eventrecords/eventstruct.h"

typedef intptr_t libevtx_file_t;
typedef intptr_t libevtx_record_t;

// The fields of one record that the event mapping uses.
struct CEvtxRecord {
    std::uint64_t nIdentifier = 0; // EventRecordID
    std::uint64_t nWrittenFiletime = 0;
    std::string strProvider;
    std::string strComputer;
    std::string strUserSid;
    DWORD nEventID = 0;
    DWORD nQualifiers = 0;
    BYTE nLevel = 0;
    std::vector<std::string> arrStrings; // the event data values, in order
};

class CEvtxFile {
public:
    CEvtxFile() = default;
    ~CEvtxFile();
    CEvtxFile(const CEvtxFile&) = delete;
    CEvtxFile& operator=(const CEvtxFile&) = delete;

    // False with libevtx's reason when the file is not an event log file.
    bool Open(const std::string& strPath, std::string& strError);
    void Close();
    bool IsOpen() const { return m_pFile != nullptr; }
    int GetRecordCount() const { return m_nRecords; }

    // Reads the record at the index; false when the library cannot parse it.
    bool ReadRecord(int nIndex, CEvtxRecord& record);
    // Only the identifier of the record at the index.
    bool ReadIdentifier(int nIndex, std::uint64_t& nIdentifier);
    // The record last read as XML (for names of the event data and the
    // keywords); empty when it cannot be made.
    std::string GetXml();

private:
    libevtx_file_t* m_pFile = nullptr;
    libevtx_record_t* m_pRecord = nullptr;
    int m_nRecords = 0;
    std::string m_buffer; // as large as the largest text made so far
    void FreeRecord();
};

// The event type of an .evtx level (1 critical and 2 error: Error, 3
// Warning, others Information), or the audit types when the keywords of the
// XML say audit success (0x0020...) or failure (0x0010...).
WORD EvtxEventType(BYTE nLevel, const std::string& strXml);
// "Name: value" lines of the <Data> elements of the XML, in order; a
// value without a name is its own line.
std::string EvtxDataLines(const std::string& strXml);
// The record as an event: times, source, computer, user (the SID), event
// ID, type (from the level; strXml may be empty), insertion strings.
void EvtxRecordToEvent(const CEvtxRecord& record, const std::string& strXml, CEventStruct& event);
