// Feeds arbitrary bytes to the event record conversion, as one raw record
// (CEventStruct::SetFromRecord) and as a whole ReadEventLogA block
// (ConvertEventRecords). Nothing may be read outside the bytes; what converts
// must hold no more text in its names, or in its strings, than the record
// had, and must store and load back to the same stored fields.
//
// The system log lines of damaged blocks go to a temporary folder, with the
// system log switched off there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "eventrecords/eventloghandle.h"
#include "eventrecords/recordclasses.h"
#include "settings/appsettings.h"

namespace {

bool Init()
{
    char pattern[] = "/tmp/quorvil-fuzz-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (!dir)
        std::abort();
    const std::string root = dir;
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    ::setenv("QUORVIL_NETWORK", (root + "/network").c_str(), 1);
    AppSettings::SetErrorLogEnabled(0);
    RegisterEventRecordClasses();
    return true;
}

void CheckConverted(const CEventStruct& event, std::size_t nLength)
{
    // The insertion strings may start anywhere in the record, even over the
    // names, so the names and the strings are each bounded by the record.
    const std::size_t nNames = event.m_strSource.size() + event.m_strComputer.size();
    std::size_t nStrings = 0;
    for (const std::string& s : event.m_arrStrings)
        nStrings += s.size();
    if (event.m_nFieldMask != EVF_ALL || nNames > nLength || nStrings > nLength ||
        event.m_strUser.empty())
        __builtin_trap();
    const std::string stored = StoreObjectToBytes(&event);
    auto back = LoadObjectFromBytes(stored, RUNTIME_CLASS(CEventStruct));
    if (StoreObjectToBytes(back.get()) != stored)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = Init();
    (void)ready;

    CEventStruct event;
    if (event.SetFromRecord(reinterpret_cast<const EVENTLOGRECORD*>(data), size))
        CheckConverted(event, size);

    CEventList list;
    CAccountNameCache accounts;
    DWORD nLast = 0;
    ConvertEventRecords(data, static_cast<DWORD>(size), list, "FUZZ\\Log", &accounts, &nLast);
    if (list.GetCount() > size / EVT_RECORD_FIXED_SIZE)
        __builtin_trap();
    std::size_t pos = 0;
    while (const CEventStruct* converted = list.GetNext(pos))
        CheckConverted(*converted, size);
    return 0;
}
