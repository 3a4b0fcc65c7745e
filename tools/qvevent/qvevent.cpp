#include "tools/qvevent/qvevent.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include <strings.h>
#include <sys/stat.h>

#include "eventlog/render/eventrender.h"
#include "eventrecords/eventstruct.h"
#include "platform/base/modeltime.h"
#include "platform/base/win32error.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"
#include "platform/registry/environment.h"
#include "platform/security/sid.h"

namespace {

const char* const g_usage =
    "Usage: qvevent [--network DIR] COMMAND [OPTIONS]\n"
    "\n"
    "Commands (-c COMPUTER defaults to the local computer):\n"
    "  report -c C -l LOG -s SOURCE [-t error|warning|information|success|failure|NUMBER]\n"
    "         [-i ID] [-g CATEGORY] [-u SID] [STRING...]\n"
    "  read -c C -l LOG [--from N] [--to N] [--backwards] [--json]\n"
    "  info -c C -l LOG [--json]\n"
    "  check -c C -l LOG          exit status 1 when the log is damaged\n"
    "  repair -c C -l LOG [--backup FILE]\n"
    "         rewrites a damaged log from its intact records (numbers kept);\n"
    "         the damaged file is kept as FILE (default: beside the log)\n"
    "  clear -c C -l LOG [--backup FILE]\n"
    "  backup -c C -l LOG FILE\n"
    "  logs [-c C]\n"
    "  computers\n"
    "  add-log -c C -l LOG [--max-size BYTES] [--retention SECONDS]\n"
    "  add-source -c C -l LOG -s SOURCE [--message-file F] [--category-file F]\n"
    "             [--parameter-file F] [--category-count N] [--types N]\n"
    "         the files are named as that computer sees them (C:\\..., or\n"
    "         \\\\C\\SHARE\\... except the category file; %SystemRoot% and the like;\n"
    "         several message files separated by \";\") and must load (.mc or PE)\n"
    "\n"
    "Exit status: 0 done, 1 the operation failed, 2 bad input (nothing changed).\n";

// A bad-input answer: one line, exit status 2.
struct CUsageError {
    std::string m_strText;
};

// The options of one command: which take a value, which are flags, how many
// positional arguments it takes.
struct CCommandSyntax {
    std::set<std::string> m_valued;
    std::set<std::string> m_flags;
    std::size_t m_nMinArgs = 0;
    std::size_t m_nMaxArgs = 0;
};

struct CParsed {
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_flags;
    std::vector<std::string> m_args;

    std::optional<std::string> Get(const std::string& name) const
    {
        auto it = m_values.find(name);
        return it == m_values.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    std::string Require(const std::string& name) const
    {
        if (auto value = Get(name))
            return *value;
        throw CUsageError{"missing option " + name};
    }
};

CParsed Parse(const std::string& command, const CCommandSyntax& syntax,
              const std::vector<std::string>& args, std::size_t first)
{
    CParsed parsed;
    bool optionsEnded = false;
    for (std::size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (syntax.m_flags.count(arg)) {
                parsed.m_flags.insert(arg);
            } else if (syntax.m_valued.count(arg)) {
                if (i + 1 >= args.size())
                    throw CUsageError{"option " + arg + " needs a value"};
                parsed.m_values[arg] = args[++i];
            } else {
                throw CUsageError{"unknown option " + arg + " for " + command};
            }
        } else {
            parsed.m_args.push_back(arg);
        }
    }
    if (parsed.m_args.size() < syntax.m_nMinArgs)
        throw CUsageError{command + " needs " + std::to_string(syntax.m_nMinArgs) + " argument(s)"};
    if (parsed.m_args.size() > syntax.m_nMaxArgs)
        throw CUsageError{"unexpected argument \"" + parsed.m_args[syntax.m_nMaxArgs] + "\""};
    return parsed;
}

DWORD ParseNumber(const std::string& text, const std::string& what, QWORD max = 0xFFFFFFFF)
{
    std::string_view digits = text;
    int base = 10;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        digits.remove_prefix(2);
        base = 16;
    }
    QWORD value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value > max)
        throw CUsageError{"bad " + what + " \"" + text + "\""};
    return static_cast<DWORD>(value);
}

WORD ParseType(const std::string& text)
{
    static const std::map<std::string, WORD> names = {{"error", EVENTLOG_ERROR_TYPE},
                                                      {"warning", EVENTLOG_WARNING_TYPE},
                                                      {"information", EVENTLOG_INFORMATION_TYPE},
                                                      {"success", EVENTLOG_AUDIT_SUCCESS},
                                                      {"failure", EVENTLOG_AUDIT_FAILURE}};
    for (const auto& [name, type] : names) {
        if (::strcasecmp(name.c_str(), text.c_str()) == 0)
            return type;
    }
    return static_cast<WORD>(ParseNumber(text, "event type", 0xFFFF));
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string ErrorLine(DWORD code)
{
    std::string text = GetSystemErrorText(code);
    return (text.empty() ? "error" : text) + " (" + std::to_string(code) + ")";
}

// The computer and log an operation names, checked before anything changes.
struct CTarget {
    std::string m_strComputer; // as given, "" for the local computer
    std::string m_strShown;    // the computer's own name
    std::string m_strLog;      // the log's registered spelling
};

CTarget ResolveComputer(const CParsed& parsed)
{
    CTarget target;
    target.m_strComputer = parsed.Get("-c").value_or("");
    auto folder = GetComputerFolder(target.m_strComputer.c_str(), ERROR_BAD_NETPATH);
    if (!folder)
        throw CUsageError{"no computer \"" + BareComputerName(target.m_strComputer.c_str()) +
                          "\" in the network " + GetNetworkRoot()};
    target.m_strShown = ComputerFolderName(*folder);
    return target;
}

CTarget ResolveLog(const CParsed& parsed)
{
    CTarget target = ResolveComputer(parsed);
    std::string log = parsed.Require("-l");
    std::vector<CEventLogConfig> logs;
    if (!EnumEventLogs(target.m_strComputer.c_str(), logs))
        throw CUsageError{"cannot read the logs of " + target.m_strShown + ": " +
                          ErrorLine(GetLastError())};
    for (const CEventLogConfig& config : logs) {
        if (::strcasecmp(config.m_strName.c_str(), log.c_str()) == 0)
            target.m_strLog = config.m_strName;
    }
    if (target.m_strLog.empty())
        throw CUsageError{"no log \"" + log + "\" on " + target.m_strShown};
    return target;
}

// A failed operation: one line, exit status 1.
int Failed(std::ostream& err, const std::string& what)
{
    err << "qvevent: " << what << ": " << ErrorLine(GetLastError()) << "\n";
    return 1;
}

int Report(const CParsed& p, std::ostream& err)
{
    WORD type = p.Get("-t") ? ParseType(*p.Get("-t")) : EVENTLOG_INFORMATION_TYPE;
    DWORD id = p.Get("-i") ? ParseNumber(*p.Get("-i"), "event ID") : 0;
    auto category =
        static_cast<WORD>(p.Get("-g") ? ParseNumber(*p.Get("-g"), "category", 0xFFFF) : 0);
    std::vector<BYTE> sid;
    if (auto text = p.Get("-u"); text && !StringToSid(*text, sid))
        throw CUsageError{"bad SID \"" + *text + "\""};
    std::string source = p.Require("-s");
    if (source.empty())
        throw CUsageError{"empty source name"};
    if (p.m_args.size() > 0xFFFF)
        throw CUsageError{"too many strings"};
    CTarget target = ResolveLog(p);
    std::vector<CEventLogConfig> logs;
    EnumEventLogs(target.m_strComputer.c_str(), logs);
    for (const CEventLogConfig& config : logs) {
        for (const std::string& name : config.m_sources) {
            if (::strcasecmp(name.c_str(), source.c_str()) == 0 &&
                config.m_strName != target.m_strLog)
                throw CUsageError{"source \"" + source + "\" belongs to log \"" + config.m_strName +
                                  "\""};
        }
    }
    std::vector<const char*> strings;
    for (const std::string& text : p.m_args)
        strings.push_back(text.c_str());
    HANDLE handle = RegisterEventSourceInLogA(target.m_strComputer.c_str(), target.m_strLog.c_str(),
                                              source.c_str());
    if (!handle)
        return Failed(err, "cannot open log " + target.m_strLog + " on " + target.m_strShown);
    BOOL ok = ReportEventA(handle, type, category, id, sid.empty() ? nullptr : sid.data(),
                           static_cast<WORD>(strings.size()), 0, strings.data(), nullptr);
    DWORD error = GetLastError();
    DeregisterEventSource(handle);
    SetLastError(error);
    if (!ok && error == ERROR_EVENTLOG_FILE_CORRUPT) {
        err << "qvevent: cannot report the event: " << GetEventLogDamageText() << "\n";
        return 1;
    }
    if (!ok && (error == ERROR_INVALID_PARAMETER || error == ERROR_LOG_FILE_FULL)) {
        // Say which value is too large, its limit and the log.
        CEventLogFileInfo info;
        if (HANDLE log = OpenEventLogA(target.m_strComputer.c_str(), target.m_strLog.c_str())) {
            GetEventLogFileInfo(log, info);
            CloseEventLog(log);
        }
        for (std::size_t i = 0; i < p.m_args.size(); ++i) {
            std::size_t units = Utf8ToUtf16(p.m_args[i]).size();
            if (units > EVT_MAX_STRING_UNITS) {
                err << "qvevent: cannot report the event to log " << target.m_strLog << " ("
                    << info.m_strPath << "): string " << i + 1 << " has " << units
                    << " UTF-16 characters, more than the limit of " << EVT_MAX_STRING_UNITS
                    << "\n";
                return 1;
            }
        }
        CEvtEvent event;
        event.m_strSourceName = source;
        event.m_strComputerName = target.m_strShown;
        event.m_sid.assign(sid.begin(), sid.end());
        event.m_strings = p.m_args;
        const std::size_t bytes = EncodeEvtRecord(event).size();
        const DWORD limit = RoundEvtMaxSize(info.m_header.m_dwMaxSize);
        if (error == ERROR_LOG_FILE_FULL &&
            bytes + ELF_EOF_RECORD_SIZE + ELF_LOGFILE_HEADER_SIZE > limit) {
            err << "qvevent: cannot report the event: it takes " << bytes << " bytes, more than "
                << "log " << target.m_strLog << " (" << info.m_strPath << ") can hold with its "
                << "maximum size of " << limit << " bytes\n";
            return 1;
        }
        if (error == ERROR_LOG_FILE_FULL) {
            err << "qvevent: cannot report the event: log " << target.m_strLog << " ("
                << info.m_strPath << ") is full (" << limit << " bytes) and its retention of "
                << info.m_header.m_dwRetention << " seconds keeps its oldest records\n";
            return 1;
        }
    }
    return ok ? 0 : Failed(err, "cannot report the event");
}

// Opens the target's log for reading; null after writing the failure.
HANDLE OpenLog(const CTarget& target, std::ostream& err)
{
    HANDLE log = OpenEventLogA(target.m_strComputer.c_str(), target.m_strLog.c_str());
    if (!log)
        Failed(err, "cannot open log " + target.m_strLog + " on " + target.m_strShown);
    return log;
}

// The record's description and category text as the event viewer renders
// them from the computer's message files.
void RenderRecord(CEventRenderer& renderer, const CEvtEvent& e, std::string& description,
                  std::string& category)
{
    CEventStruct event;
    event.m_strSource = e.m_strSourceName;
    event.m_strComputer = e.m_strComputerName;
    event.m_nEventID = e.m_dwEventID;
    event.m_nCategory = e.m_wEventCategory;
    event.m_arrStrings = e.m_strings;
    renderer.RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, event, description, category);
}

// The lines of a text (CR LF, CR or LF line ends), each after the indent
// unless it is empty, without the line ends at the end.
std::string IndentLines(const std::string& text, const char* indent)
{
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += '\n';
            lineStart = true;
            continue;
        }
        if (lineStart)
            out += indent;
        lineStart = false;
        out += text[i];
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

void PrintRecord(const CEvtEvent& e, CEventRenderer& renderer, bool json, bool first,
                 std::ostream& out)
{
    std::string user = "N/A";
    std::string name;
    std::string domain;
    SID_NAME_USE use;
    if (!e.m_sid.empty() && LookupSidAccount(e.m_sid.data(), e.m_sid.size(), name, domain, use))
        user = name;
    std::string strings;
    for (const std::string& text : e.m_strings) {
        strings += strings.empty() ? "" : ", ";
        strings += text;
    }
    std::string description, category;
    RenderRecord(renderer, e, description, category);
    if (json) {
        out << (first ? "[\n" : ",\n") << "{\"record\":" << e.m_dwRecordNumber
            << ",\"timeGenerated\":" << e.m_dwTimeGenerated
            << ",\"timeWritten\":" << e.m_dwTimeWritten << ",\"type\":" << e.m_wEventType
            << ",\"typeName\":" << JsonString(CEventStruct::GetEventTypeName(e.m_wEventType))
            << ",\"category\":" << e.m_wEventCategory << ",\"eventId\":" << e.m_dwEventID
            << ",\"source\":" << JsonString(e.m_strSourceName)
            << ",\"computer\":" << JsonString(e.m_strComputerName)
            << ",\"user\":" << JsonString(user)
            << ",\"sid\":" << JsonString(SidToString(e.m_sid.data(), e.m_sid.size()))
            << ",\"strings\":[";
        for (std::size_t i = 0; i < e.m_strings.size(); ++i)
            out << (i ? "," : "") << JsonString(e.m_strings[i]);
        out << "],\"data\":" << JsonString(Hex(e.m_data))
            << ",\"description\":" << JsonString(description)
            << ",\"categoryText\":" << JsonString(category) << "}";
        return;
    }
    out << "#" << e.m_dwRecordNumber << "  "
        << CTime(e.m_dwTimeGenerated).Format("%Y-%m-%d %H:%M:%S") << "  "
        << (*CEventStruct::GetEventTypeName(e.m_wEventType)
                ? CEventStruct::GetEventTypeName(e.m_wEventType)
                : std::to_string(e.m_wEventType).c_str())
        << "  " << e.m_strSourceName << "  Category " << e.m_wEventCategory << "  ID "
        << (e.m_dwEventID & 0xFFFF) << "  User " << user << "  Computer " << e.m_strComputerName
        << "\n"
        << "    " << strings << "\n";
    if (!category.empty())
        out << "    Category: " << IndentLines(category, "") << "\n";
    out << "    Description:\n" << IndentLines(description, "        ") << "\n";
}

int Read(const CParsed& p, std::ostream& out, std::ostream& err)
{
    DWORD from = p.Get("--from") ? ParseNumber(*p.Get("--from"), "record number") : 0;
    DWORD to = p.Get("--to") ? ParseNumber(*p.Get("--to"), "record number") : 0xFFFFFFFF;
    bool backwards = p.m_flags.count("--backwards");
    bool json = p.m_flags.count("--json");
    CTarget target = ResolveLog(p);
    HANDLE log = OpenLog(target, err);
    if (!log)
        return 1;
    DWORD oldest = 0;
    DWORD count = 0;
    if (!GetOldestEventLogRecord(log, &oldest) || !GetNumberOfEventLogRecords(log, &count)) {
        CloseEventLog(log);
        return Failed(err, "cannot read log " + target.m_strLog);
    }
    DWORD newest = oldest + count - 1;
    from = std::max(from, oldest);
    to = std::min(to, newest);
    CEventRenderer renderer(target.m_strShown, target.m_strLog,
                            target.m_strShown + "\\" + target.m_strLog);
    bool first = true;
    int status = 0;
    CEventLogFileInfo info;
    if (count && from <= to && !GetEventLogFileInfo(log, info))
        status = Failed(err, "cannot read log " + target.m_strLog);
    if (status == 0 && count && from <= to) {
        DWORD direction = backwards ? EVENTLOG_BACKWARDS_READ : EVENTLOG_FORWARDS_READ;
        // The next record number wanted; past from..to when done.
        long long next = backwards ? to : from;
        std::vector<BYTE> buffer(100000);
        while (next >= from && next <= to) {
            DWORD read = 0;
            DWORD needed = 0;
            if (!ReadEventLogA(log, EVENTLOG_SEEK_READ | direction, static_cast<DWORD>(next),
                               buffer.data(), static_cast<DWORD>(buffer.size()), &read, &needed)) {
                if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed <= EVT_MAX_READ_BUFFER) {
                    buffer.resize(needed);
                    continue;
                }
                if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
                    // No read hands out a record this large: list it and go on.
                    DWORD number = FirstIntactRecord(info, static_cast<DWORD>(next), !backwards);
                    if (number < from || number > to)
                        break;
                    if (json)
                        out << (first ? "[\n" : ",\n") << "{\"record\":" << number
                            << ",\"tooLarge\":" << needed << "}";
                    else
                        out << "#" << number << "  too large to read: " << needed
                            << " bytes, the read limit is " << EVT_MAX_READ_BUFFER << "\n";
                    first = false;
                    next = backwards ? static_cast<long long>(number) - 1 : number + 1LL;
                    continue;
                }
                if (GetLastError() != ERROR_HANDLE_EOF)
                    status = Failed(err, "cannot read log " + target.m_strLog);
                break;
            }
            bool done = false;
            for (DWORD at = 0; at < read && !done;) {
                CEvtEvent e;
                if (!DecodeAnsiRecord(buffer.data() + at, read - at, e)) {
                    done = true;
                    break;
                }
                at += GetLe32(buffer.data() + at);
                if (e.m_dwRecordNumber < from || e.m_dwRecordNumber > to) {
                    done = true;
                    break;
                }
                PrintRecord(e, renderer, json, first, out);
                first = false;
                next = backwards ? static_cast<long long>(e.m_dwRecordNumber) - 1
                                 : e.m_dwRecordNumber + 1LL;
            }
            if (done)
                break;
        }
    }
    if (json)
        out << (first ? "[]\n" : "\n]\n");
    CloseEventLog(log);
    return status;
}

int Info(const CParsed& p, std::ostream& out, std::ostream& err)
{
    CTarget target = ResolveLog(p);
    HANDLE log = OpenLog(target, err);
    if (!log)
        return 1;
    CEventLogFileInfo info;
    BOOL ok = GetEventLogFileInfo(log, info);
    CloseEventLog(log);
    if (!ok)
        return Failed(err, "cannot read log " + target.m_strLog);
    const CEvtHeader& h = info.m_header;
    DWORD newest = info.m_dwCount ? info.m_dwOldest + info.m_dwCount - 1 : 0;
    std::string flags;
    const std::pair<DWORD, const char*> names[] = {{ELF_LOGFILE_HEADER_DIRTY, "dirty"},
                                                   {ELF_LOGFILE_HEADER_WRAP, "wrap"},
                                                   {ELF_LOGFILE_LOGFULL_WRITTEN, "logfull"},
                                                   {ELF_LOGFILE_ARCHIVE_SET, "archive"}};
    for (const auto& [bit, name] : names) {
        if (h.m_dwFlags & bit) {
            flags += flags.empty() ? "" : " ";
            flags += name;
        }
    }
    if (p.m_flags.count("--json")) {
        out << "{\"computer\":" << JsonString(target.m_strShown)
            << ",\"log\":" << JsonString(target.m_strLog)
            << ",\"file\":" << JsonString(info.m_strPath) << ",\"oldest\":" << info.m_dwOldest
            << ",\"count\":" << info.m_dwCount << ",\"newest\":" << newest
            << ",\"size\":" << info.m_dwFileSize << ",\"maxSize\":" << h.m_dwMaxSize
            << ",\"retention\":" << h.m_dwRetention << ",\"flags\":" << h.m_dwFlags << "}\n";
        return 0;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", h.m_dwFlags);
    out << "Log:       " << target.m_strLog << " on " << target.m_strShown << "\n"
        << "File:      " << info.m_strPath << "\n"
        << "Oldest:    " << info.m_dwOldest << "\n"
        << "Count:     " << info.m_dwCount << "\n"
        << "Newest:    " << newest << "\n"
        << "Size:      " << info.m_dwFileSize << "\n"
        << "MaxSize:   " << h.m_dwMaxSize << "\n"
        << "Retention: " << h.m_dwRetention << "\n"
        << "Flags:     " << hex;
    if (!flags.empty())
        out << " (" << flags << ")";
    out << "\n";
    return 0;
}

// Where a gap lies: " between record A and record B" and the like.
std::string GapPlace(const CEvtGap& gap)
{
    if (gap.m_dwBefore && gap.m_dwAfter)
        return " between record " + std::to_string(gap.m_dwBefore) + " and record " +
               std::to_string(gap.m_dwAfter);
    if (gap.m_dwAfter)
        return " before record " + std::to_string(gap.m_dwAfter);
    if (gap.m_dwBefore)
        return " after record " + std::to_string(gap.m_dwBefore);
    return "";
}

int Check(const CParsed& p, std::ostream& out, std::ostream& err)
{
    CTarget target = ResolveLog(p);
    HANDLE log = OpenLog(target, err);
    if (!log)
        return 1;
    CEventLogFileInfo info;
    BOOL ok = GetEventLogFileInfo(log, info);
    DWORD error = GetLastError();
    CloseEventLog(log);
    if (!ok && error == ERROR_EVENTLOG_FILE_CORRUPT) {
        out << target.m_strLog << ": the header of " << info.m_strPath
            << " is damaged; no record can be found\n";
        return 1;
    }
    SetLastError(error);
    if (!ok)
        return Failed(err, "cannot read log " + target.m_strLog);
    if (info.m_dwDamageOffset == 0) {
        out << target.m_strLog << ": not damaged, " << info.m_dwIntact << " records\n";
        return 0;
    }
    out << target.m_strLog << ": damaged at offset " << info.m_dwDamageOffset << ", "
        << info.m_dwIntact << " intact records\n";
    bool listed = false;
    for (const CEvtGap& gap : info.m_gaps) {
        if (gap.m_dwBytes == 0)
            continue;
        out << "  offset " << gap.m_dwOffset << ": " << gap.m_dwBytes << " bytes skipped"
            << GapPlace(gap) << "\n";
        listed = true;
    }
    if (!listed)
        out << "  the end-of-file record is missing or not where it says it is\n";
    out << "run: qvevent repair -c " << target.m_strShown << " -l " << target.m_strLog << "\n";
    return 1;
}

int Repair(const CParsed& p, std::ostream& out, std::ostream& err)
{
    std::optional<std::string> file = p.Get("--backup");
    if (file && file->empty())
        throw CUsageError{"empty backup file name"};
    CTarget target = ResolveLog(p);
    HANDLE log = OpenLog(target, err);
    if (!log)
        return 1;
    std::string backup;
    if (file) {
        backup = *file;
    } else {
        // Beside the log: LOG.evt.damaged-YYYYMMDD-HHMMSS
        CEventLogFileInfo info;
        GetEventLogFileInfo(log, info);
        backup = info.m_strPath + ".damaged-" + CTime::GetCurrentTime().Format("%Y%m%d-%H%M%S");
    }
    BOOL repaired = FALSE;
    BOOL ok = RepairEventLogA(log, backup.c_str(), &repaired);
    DWORD error = GetLastError();
    CEventLogFileInfo after;
    if (ok)
        GetEventLogFileInfo(log, after);
    CloseEventLog(log);
    SetLastError(error);
    if (!ok)
        return Failed(err, "cannot repair log " + target.m_strLog +
                               (error == ERROR_ALREADY_EXISTS ? " (backup " + backup + ")" : ""));
    if (!repaired)
        out << target.m_strLog << ": not damaged, nothing changed\n";
    else
        out << target.m_strLog << ": repaired, " << after.m_dwIntact
            << " intact records kept with their numbers; the damaged file is " << backup << "\n";
    return 0;
}

int ClearOrBackup(const CParsed& p, bool clear, std::ostream& err)
{
    std::optional<std::string> file =
        clear ? p.Get("--backup") : std::optional<std::string>(p.m_args.at(0));
    if (file && file->empty())
        throw CUsageError{"empty backup file name"};
    CTarget target = ResolveLog(p);
    if (file) {
        auto mapped = MapNetworkPath(*file);
        if (!mapped)
            throw CUsageError{"no such place for the backup \"" + *file + "\""};
        if (FILE* exists = std::fopen(mapped->c_str(), "rb")) {
            std::fclose(exists);
            throw CUsageError{"backup file \"" + *file + "\" exists already"};
        }
    }
    HANDLE log = OpenLog(target, err);
    if (!log)
        return 1;
    BOOL ok = clear ? ClearEventLogA(log, file ? file->c_str() : nullptr)
                    : BackupEventLogA(log, file->c_str());
    DWORD error = GetLastError();
    CloseEventLog(log);
    SetLastError(error);
    return ok ? 0
              : Failed(err, std::string(clear ? "cannot clear log " : "cannot back up log ") +
                                target.m_strLog);
}

int Logs(const CParsed& p, std::ostream& out, std::ostream& err)
{
    CTarget target = ResolveComputer(p);
    std::vector<CEventLogConfig> logs;
    if (!EnumEventLogs(target.m_strComputer.c_str(), logs))
        return Failed(err, "cannot read the logs of " + target.m_strShown);
    for (const CEventLogConfig& log : logs)
        out << log.m_strName << "\n";
    return 0;
}

int AddLog(const CParsed& p, std::ostream& err)
{
    std::optional<DWORD> maxSize;
    std::optional<DWORD> retention;
    if (auto text = p.Get("--max-size"))
        maxSize = ParseNumber(*text, "maximum size");
    if (auto text = p.Get("--retention"))
        retention = ParseNumber(*text, "retention");
    std::string log = p.Require("-l");
    if (log.empty() || log.find_first_of("\\/") != std::string::npos)
        throw CUsageError{"bad log name \"" + log + "\""};
    CTarget target = ResolveComputer(p);
    if (!AddEventLog(target.m_strComputer.c_str(), log.c_str(), maxSize, retention))
        return Failed(err, "cannot add log " + log);
    return 0;
}

// The files of a message file value must load from the computer the way the
// renderer loads them: a drive-letter path through the computer's
// administrative share or as given, a path starting with "\" as given (not
// for the category file, which the renderer loads only by drive letter).
// Only the event message value lists several files, separated by ";".
// %VARIABLES% expand as the renderer expands them; .mc sources and PE
// modules both load.
void CheckMessageFiles(const CTarget& target, const std::string& value, const char* what, bool list,
                       bool unc)
{
    const std::string expanded = ExpandEnvironmentString(value);
    CEventRenderer renderer(target.m_strShown, target.m_strLog, target.m_strShown);
    for (std::size_t start = 0; start < expanded.size();) {
        std::size_t end =
            list ? std::min(expanded.find(';', start), expanded.size()) : expanded.size();
        const std::string file = expanded.substr(start, end - start);
        start = end + 1;
        if (file.empty())
            continue;
        const bool drive = file.size() >= 2 && file[1] == ':';
        if (!drive && !(unc && file.starts_with("\\")))
            throw CUsageError{
                std::string(what) + " file \"" + file + "\" is no path on " + target.m_strShown +
                (unc ? " (give C:\\... or \\\\COMPUTER\\SHARE\\...)" : " (give C:\\...)")};
        HMODULE module = nullptr;
        if (drive)
            module = LoadLibraryExA(renderer.GetAdminSharePath(file).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
        if (!module)
            module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module)
            throw CUsageError{std::string(what) + " file \"" + file + "\" cannot be loaded on " +
                              target.m_strShown + ": " + ErrorLine(GetLastError())};
        FreeLibrary(module);
    }
}

int AddSource(const CParsed& p, std::ostream& err)
{
    CEventSourceConfig config;
    config.m_strMessageFile = p.Get("--message-file").value_or("");
    config.m_strCategoryFile = p.Get("--category-file").value_or("");
    config.m_strParameterFile = p.Get("--parameter-file").value_or("");
    if (auto text = p.Get("--category-count"))
        config.m_categoryCount = ParseNumber(*text, "category count");
    if (auto text = p.Get("--types"))
        config.m_typesSupported = ParseNumber(*text, "types");
    std::string source = p.Require("-s");
    if (source.empty() || source.find('\\') != std::string::npos)
        throw CUsageError{"bad source name \"" + source + "\""};
    CTarget target = ResolveLog(p);
    CheckMessageFiles(target, config.m_strMessageFile, "message", true, true);
    CheckMessageFiles(target, config.m_strCategoryFile, "category", false, false);
    CheckMessageFiles(target, config.m_strParameterFile, "parameter", false, true);
    std::vector<CEventLogConfig> logs;
    EnumEventLogs(target.m_strComputer.c_str(), logs);
    for (const CEventLogConfig& log : logs) {
        if (::strcasecmp(log.m_strName.c_str(), source.c_str()) == 0)
            throw CUsageError{"source \"" + source + "\" is the name of a log"};
        for (const std::string& name : log.m_sources) {
            if (::strcasecmp(name.c_str(), source.c_str()) == 0 && log.m_strName != target.m_strLog)
                throw CUsageError{"source \"" + source + "\" belongs to log \"" + log.m_strName +
                                  "\""};
        }
    }
    if (!AddEventSource(target.m_strComputer.c_str(), target.m_strLog.c_str(), source.c_str(),
                        config))
        return Failed(err, "cannot add source " + source);
    return 0;
}

} // namespace

int RunQvEvent(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    try {
        std::size_t i = 0;
        for (const std::string& arg : args) {
            if (arg == "--help" || arg == "-h") {
                out << g_usage;
                return 0;
            }
        }
        if (i < args.size() && args[i] == "--network") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw CUsageError{"--network needs a folder"};
            // A typo must not become a new, empty network.
            struct stat st {};
            if (::stat(args[i + 1].c_str(), &st) != 0)
                throw CUsageError{"network folder \"" + args[i + 1] + "\" does not exist"};
            if (!S_ISDIR(st.st_mode))
                throw CUsageError{"network \"" + args[i + 1] + "\" is not a folder"};
            SetNetworkRoot(args[i + 1]);
            i += 2;
        }
        if (i >= args.size())
            throw CUsageError{"no command given (see qvevent --help)"};
        const std::string& command = args[i];
        const std::set<std::string> noFlags;
        std::map<std::string, CCommandSyntax> syntaxes = {
            {"report", {{"-c", "-l", "-s", "-t", "-i", "-g", "-u"}, noFlags, 0, 0xFFFFFFFF}},
            {"read", {{"-c", "-l", "--from", "--to"}, {"--backwards", "--json"}, 0, 0}},
            {"info", {{"-c", "-l"}, {"--json"}, 0, 0}},
            {"check", {{"-c", "-l"}, noFlags, 0, 0}},
            {"repair", {{"-c", "-l", "--backup"}, noFlags, 0, 0}},
            {"clear", {{"-c", "-l", "--backup"}, noFlags, 0, 0}},
            {"backup", {{"-c", "-l"}, noFlags, 1, 1}},
            {"logs", {{"-c"}, noFlags, 0, 0}},
            {"computers", {{}, noFlags, 0, 0}},
            {"add-log", {{"-c", "-l", "--max-size", "--retention"}, noFlags, 0, 0}},
            {"add-source",
             {{"-c", "-l", "-s", "--message-file", "--category-file", "--parameter-file",
               "--category-count", "--types"},
              noFlags,
              0,
              0}},
        };
        auto syntax = syntaxes.find(command);
        if (syntax == syntaxes.end())
            throw CUsageError{"unknown command \"" + command + "\" (see qvevent --help)"};
        CParsed parsed = Parse(command, syntax->second, args, i + 1);
        if (command == "report")
            return Report(parsed, err);
        if (command == "read")
            return Read(parsed, out, err);
        if (command == "info")
            return Info(parsed, out, err);
        if (command == "check")
            return Check(parsed, out, err);
        if (command == "repair")
            return Repair(parsed, out, err);
        if (command == "clear" || command == "backup")
            return ClearOrBackup(parsed, command == "clear", err);
        if (command == "logs")
            return Logs(parsed, out, err);
        if (command == "add-log")
            return AddLog(parsed, err);
        if (command == "add-source")
            return AddSource(parsed, err);
        for (const auto& [domain, computer] : EnumComputers())
            out << domain << "\\" << computer << "\n";
        return 0;
    } catch (const CUsageError& e) {
        err << "qvevent: " << e.m_strText << "\n";
        return 2;
    }
}
