#pragma once
// The events of an event log file for `qvws test`: a classic .evt file, an
// .evtx file, a journal file (.journal) or a folder of journal files, each
// event mapped as the scan of that kind of log maps it, with its
// description and category text.
#include <cstdint>
#include <functional>
#include <string>

#include "eventrecords/eventstruct.h"

class CMonitoredObject;

struct CTestEvent {
    CEventStruct event;
    std::string strDescription;
    std::string strCategory;
    std::uint64_t nNumber = 0; // record number, EventRecordID or journal seqnum
};

enum class TestEventFile { NotEvents, Read, Failed };

// Offers each event of the file at path to visit, oldest first. NotEvents
// when the file is none of the kinds above (a text file of lines, then);
// Failed with the reason when it is one but cannot be read. Classic
// descriptions are rendered from the message files that the sources
// registered on the computer of pLog (an event log of the workspace), or on
// the local computer.
TestEventFile ReadTestEvents(const std::string& path, const CMonitoredObject* pLog,
                             const std::function<void(const CTestEvent&)>& visit,
                             std::string& strError);
