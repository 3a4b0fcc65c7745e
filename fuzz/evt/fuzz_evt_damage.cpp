// Damage never hides intact records: builds a log of records from the
// input, damages it as the input says (bytes overwritten, inserted or
// removed) and reads it forwards. Every record whose bytes the damage did
// not touch must still be read, whole, with its number, and numbers must
// only go up.
//
// Input: record count, damage kind, position (4 bytes), length, then the
// string length of each record and the bytes the damage writes. Damage that
// forges a record signature ("LfLe") is a made-up record rather than damage
// and is not held to the promise; neither is damage to the file header.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "platform/base/win32error.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"

namespace {

struct CRange {
    std::size_t m_begin;
    std::size_t m_end;
};

bool Overlaps(const CRange& a, const CRange& b)
{
    return a.m_begin < b.m_end && b.m_begin < a.m_end;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    static int fd = ::memfd_create("fuzz_evt_damage", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);

    const DWORD count = 1 + data[0] % 24;
    const int kind = data[1] % 3; // overwrite, insert, remove
    const DWORD where = GetLe32(data + 2);
    const std::size_t length = 1 + data[6] % 96;
    std::size_t at = 7;
    std::vector<std::string> records;
    std::vector<CRange> ranges;
    std::size_t offset = ELF_LOGFILE_HEADER_SIZE;
    for (DWORD i = 0; i < count; ++i) {
        CEvtEvent event;
        event.m_dwRecordNumber = 100 + i;
        event.m_strSourceName = "S";
        event.m_strComputerName = "C";
        std::size_t units = at < size ? data[at++] % 64 : 0;
        event.m_strings.push_back(std::string(units, static_cast<char>('a' + i % 26)));
        event.m_data.assign(4, '\0');
        PutLe32(reinterpret_cast<BYTE*>(event.m_data.data()), i);
        records.push_back(EncodeEvtRecord(event));
        ranges.push_back({offset, offset + records.back().size()});
        offset += records.back().size();
    }
    const std::size_t eofAt = offset;
    std::string file = ComposeEvtFile(records, 100 + count, 0, 0);
    const std::string fill(reinterpret_cast<const char*>(data + std::min(at, size)),
                           size - std::min(at, size));
    auto bytesOf = [&](std::size_t n) {
        std::string out(n, '\0');
        for (std::size_t i = 0; i < n && !fill.empty(); ++i)
            out[i] = fill[i % fill.size()];
        return out;
    };
    // Damage stays within the records and the end-of-file record, plus a
    // little room after them.
    const std::size_t pos = ELF_LOGFILE_HEADER_SIZE +
                            where % (eofAt + ELF_EOF_RECORD_SIZE + 64 - ELF_LOGFILE_HEADER_SIZE);
    CRange touched{pos, pos + length};
    std::size_t written = length;
    if (kind == 0) {
        std::string bytes = bytesOf(length);
        file.replace(pos, std::min(length, file.size() - pos), bytes);
    } else if (kind == 1) {
        file.insert(pos, bytesOf(length));
        touched = {pos, pos + 1}; // only a record the bytes land inside
        if (std::any_of(ranges.begin(), ranges.end(),
                        [&](const CRange& r) { return r.m_begin == pos; }))
            touched = {pos, pos};
    } else {
        file.erase(pos, length);
        written = 0;
    }
    // A forged signature near the damage: a made-up record, not damage.
    const std::size_t from = pos >= 8 ? pos - 8 : 0;
    const std::size_t to = std::min(file.size(), pos + written + 8);
    if (file.substr(from, to - from).find("LfLe") != std::string::npos)
        return 0;

    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, file.data(), file.size(), 0) != static_cast<ssize_t>(file.size()))
        return 0;
    HANDLE log = OpenBackupEventLogA(nullptr, path.c_str());
    if (!log)
        __builtin_trap();
    std::vector<std::string> read;
    std::vector<BYTE> buffer(100000);
    DWORD got = 0;
    DWORD needed = 0;
    while (ReadEventLogA(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.data(),
                         static_cast<DWORD>(buffer.size()), &got, &needed)) {
        for (DWORD i = 0; i < got;) {
            DWORD n = GetLe32(buffer.data() + i);
            read.emplace_back(reinterpret_cast<const char*>(buffer.data() + i), n);
            i += n;
        }
    }
    CloseEventLog(log);

    DWORD last = 0;
    for (const std::string& r : read) {
        DWORD number = GetLe32(reinterpret_cast<const BYTE*>(r.data()) + 8);
        if (number <= last && last != 0)
            __builtin_trap();
        last = number;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (Overlaps(ranges[i], touched) && touched.m_begin != touched.m_end)
            continue;
        // The untouched record, as the read hands it out.
        std::vector<BYTE> ansi(100000);
        DWORD n = ConvertEvtRecordToAnsi(reinterpret_cast<const BYTE*>(records[i].data()),
                                         static_cast<DWORD>(records[i].size()), ansi.data(),
                                         static_cast<DWORD>(ansi.size()));
        std::string expected(reinterpret_cast<const char*>(ansi.data()), n);
        if (std::find(read.begin(), read.end(), expected) == read.end())
            __builtin_trap();
    }
    return 0;
}
