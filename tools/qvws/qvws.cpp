#include "tools/qvws/qvws.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

#include "archive/archive.h"
#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "tasks/keytester.h"
#include "textlog/filemonitor.h"
#include "tools/qvws/testevents.h"
#include "tools/qvws/wsjson.h"
#include "workspace/storedvalues.h"
#include "workspace/workspacefile.h"

namespace {

const char* const g_usage =
    "Usage: qvws COMMAND\n"
    "\n"
    "Commands:\n"
    "  dump FILE         write the workspace FILE as JSON to standard output\n"
    "  load JSON FILE    write the workspace described by JSON (- for standard input) to FILE\n"
    "  check FILE        tell whether FILE is a sound workspace, or where it is damaged\n"
    "  test FILE LINES [--log N | --group NAME] [--json]\n"
    "                    which keys of the workspace FILE match each line of the file\n"
    "                    LINES, or each record when LINES is an event log file (.evt,\n"
    "                    .evtx, .journal or a folder of journal files), with captures,\n"
    "                    rules and the tasks that would run (runs nothing); --log N\n"
    "                    tests the Nth log only (from 1), --group NAME the groups so\n"
    "                    described\n"
    "\n"
    "Exit status: 0 done, 1 the file could not be written or check found values that\n"
    "quorvil never writes, 2 bad input (nothing changed).\n";

// A bad-input answer: one line, exit status 2.
struct CBadInput {
    std::string m_strText;
};

std::string LastErrorText()
{
    const DWORD code = GetLastError();
    const std::string text = GetSystemErrorText(code);
    return (text.empty() ? "error" : text) + " (" + std::to_string(code) + ")";
}

// Why path could not be read or written: a folder is named as such, not
// as the system's "Access is denied."
std::string FileProblem(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(path, ec) ? "it is a folder, not a file" : LastErrorText();
}

// The one workspace record of a file; anything else is damage (quorvil
// reads it the same way).
std::unique_ptr<CMonManager> ReadWorkspace(const std::string& path)
{
    CFile file;
    CFileException error(CFileException::none, 0, path);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec) || !file.Open(path, CFile::modeRead, &error))
        throw CBadInput{"cannot read " + path + ": " + FileProblem(path)};
    try {
        CArchive ar(&file, CArchive::load);
        return ReadManager(ar);
    } catch (const CException& e) {
        throw CBadInput{e.what()};
    }
}

// The whole JSON text, from a file or from standard input ("-"); at most
// one byte beyond the reader's limit, which the reader then refuses.
std::string ReadJsonText(const std::string& source, std::istream& in)
{
    const std::size_t nLimit = CJsonLimits{}.m_nMaxBytes + 1;
    if (source != "-") {
        std::optional<std::string> text = ReadFileBytes(source);
        if (!text)
            throw CBadInput{"cannot read " + source + ": " + FileProblem(source)};
        return std::move(*text);
    }
    std::string text;
    char block[65536];
    while (text.size() < nLimit && in.read(block, sizeof block).gcount() > 0)
        text.append(block, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        throw CBadInput{"cannot read standard input"};
    return text;
}

std::string Counted(std::size_t n, const char* singular, const char* plural)
{
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

int Dump(const std::string& path, std::ostream& out)
{
    std::unique_ptr<CMonManager> pManager = ReadWorkspace(path);
    try {
        out << WorkspaceToJson(*pManager);
    } catch (const CJsonError& e) {
        throw CBadInput{path + ": " + e.what()};
    }
    return 0;
}

int Load(const std::string& source, const std::string& path, std::istream& in, std::ostream& err)
{
    const std::string text = ReadJsonText(source, in);
    std::unique_ptr<CMonManager> pManager;
    try {
        pManager = WorkspaceFromJson(text);
    } catch (const CJsonError& e) {
        const std::string name = source == "-" ? "standard input" : source;
        throw CBadInput{name + (e.m_pos.m_nLine > 0 ? ":" : ": ") + e.what()};
    }
    if (!AtomicWriteFile(path, StoreObjectToBytes(pManager.get()))) {
        err << "qvws: cannot write " << path << ": " << FileProblem(path) << "\n";
        return 1;
    }
    return 0;
}

int Check(const std::string& path, std::ostream& out)
{
    std::unique_ptr<CMonManager> pManager = ReadWorkspace(path);
    std::size_t nGroups = 0;
    std::size_t nKeys = 0;
    int pos = 0;
    while (const CMonitoredObject* pLog = pManager->GetNextLog(pos)) {
        int group = 0;
        while (const CKeysAndActions* pGroup = pLog->GetNextWatchGroup(group)) {
            ++nGroups;
            nKeys += static_cast<std::size_t>(pGroup->GetKeyCount());
        }
    }
    const std::vector<CStoredValueProblem> problems = FindStoredValueProblems(*pManager);
    for (const CStoredValueProblem& problem : problems)
        out << DescribeStoredValueProblem(problem) << "\n";
    out << (problems.empty() ? "OK: " : "SUSPECT: ")
        << Counted(static_cast<std::size_t>(pManager->GetLogCount()), "log", "logs") << ", "
        << Counted(nGroups, "watch group", "watch groups") << ", " << Counted(nKeys, "key", "keys");
    if (problems.empty()) {
        out << "\n";
        return 0;
    }
    out << ", " << Counted(problems.size(), "value", "values") << " that quorvil never writes; "
        << StoredValueAdvice(path) << "\n";
    return 1;
}

struct CTestOptions {
    std::string strWorkspace;
    std::string strLines;
    int nLog = 0; // 0: every log
    std::string strGroup;
    bool bJson = false;
};

CTestOptions ParseTestOptions(const std::vector<std::string>& args)
{
    CTestOptions options;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            options.bJson = true;
        } else if ((arg == "--log" || arg == "--group") && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (arg == "--group") {
                options.strGroup = value;
                continue;
            }
            char* pEnd = nullptr;
            const long n = std::strtol(value.c_str(), &pEnd, 10);
            if (value.empty() || *pEnd || n < 1 || n > 1'000'000)
                throw CBadInput{"--log takes the number of a log, from 1"};
            options.nLog = static_cast<int>(n);
        } else if (arg.starts_with("--")) {
            throw CBadInput{"test does not know " + arg + " (see qvws --help)"};
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2)
        throw CBadInput{"test needs FILE LINES (see qvws --help)"};
    if (options.nLog && !options.strGroup.empty())
        throw CBadInput{"give --log or --group, not both"};
    options.strWorkspace = files[0];
    options.strLines = files[1];
    return options;
}

std::string Join(const std::vector<int>& keys)
{
    std::string text;
    for (int k : keys)
        text += (text.empty() ? "" : ", ") + std::to_string(k + 1);
    return text;
}

int Test(const std::vector<std::string>& args, std::ostream& out)
{
    const CTestOptions options = ParseTestOptions(args);
    std::unique_ptr<CMonManager> pManager = ReadWorkspace(options.strWorkspace);
    if (options.nLog > pManager->GetLogCount())
        throw CBadInput{"the workspace has " +
                        Counted(static_cast<std::size_t>(pManager->GetLogCount()), "log", "logs")};
    struct CLogTester {
        std::string strLog;
        std::unique_ptr<CKeyTester> pTester;
    };
    std::vector<CLogTester> testers;
    // The computer of the first event log tested renders classic events.
    const CMonitoredObject* pEventLog = nullptr;
    int pos = 0;
    while (const CMonitoredObject* pLog = pManager->GetNextLog(pos)) {
        if (options.nLog && pos != options.nLog)
            continue;
        auto pTester = std::make_unique<CKeyTester>(*pLog, options.strGroup);
        if (!pTester->GetGroupCount())
            continue;
        testers.push_back({pLog->GetDisplayName(), std::move(pTester)});
        if (!pEventLog && pLog->IsEventLog())
            pEventLog = pLog;
    }
    if (testers.empty())
        throw CBadInput{options.strGroup.empty() ? "no watch group to test"
                                                 : "no watch group \"" + options.strGroup + "\""};
    CJsonValue jsonLines = CJsonValue::MakeArray();
    std::size_t nLine = 0;
    std::size_t nMatched = 0;
    // One line of a text file, or one event; test gives each tester's
    // results for it.
    const auto offer = [&](std::optional<std::uint64_t> record, std::string_view line,
                           const auto& test) {
        ++nLine;
        CJsonValue jsonGroups = CJsonValue::MakeArray();
        std::ostringstream report;
        for (CLogTester& tester : testers) {
            for (const CKeyTestGroupResult& r : test(*tester.pTester)) {
                report << "  " << tester.strLog << " / " << r.strGroup << ": key"
                       << (r.keys.size() == 1 ? " " : "s ") << Join(r.keys) << "\n";
                CJsonValue group = CJsonValue::MakeObject();
                group.Add("log", CJsonValue::MakeString(tester.strLog));
                group.Add("group", CJsonValue::MakeString(r.strGroup));
                CJsonValue& keys = group.Add("keys", CJsonValue::MakeArray());
                for (int k : r.keys)
                    keys.Push(CJsonValue::MakeNumber(k + 1));
                CJsonValue& captures = group.Add("captures", CJsonValue::MakeObject());
                for (const auto& [name, value] : r.captures) {
                    report << "    " << name << " = " << value << "\n";
                    captures.Add(name, CJsonValue::MakeString(value));
                }
                if (!r.strRule.empty())
                    report << "    " << r.strRule << "\n";
                group.Add("rule", CJsonValue::MakeString(r.strRule));
                report << "    task \"" << r.strTask << "\" "
                       << (r.bTaskRuns ? "would run" : "would not run") << "\n";
                group.Add("task", CJsonValue::MakeString(r.strTask));
                group.Add("taskRuns", CJsonValue::MakeBool(r.bTaskRuns));
                CJsonValue& actions = group.Add("actions", CJsonValue::MakeArray());
                for (const std::string& action : r.actions) {
                    report << "      " << action << "\n";
                    actions.Push(CJsonValue::MakeString(action));
                }
                jsonGroups.Push(std::move(group));
            }
        }
        if (jsonGroups.m_items.empty())
            return;
        ++nMatched;
        if (options.bJson) {
            CJsonValue entry = CJsonValue::MakeObject();
            entry.Add("line", CJsonValue::MakeNumber(static_cast<std::int64_t>(nLine)));
            if (record)
                entry.Add("record", CJsonValue::MakeNumber(static_cast<std::int64_t>(*record)));
            entry.Add("text", CJsonValue::MakeString(line));
            entry.Add("groups", std::move(jsonGroups));
            jsonLines.Push(std::move(entry));
        } else {
            out << (record ? "record " : "line ") << (record ? *record : nLine) << ": " << line
                << "\n"
                << report.str();
        }
    };

    // An event log file offers its events, with every field; any other file
    // its lines.
    std::string strError;
    const TestEventFile kind = ReadTestEvents(
        options.strLines, pEventLog,
        [&](const CTestEvent& e) {
            const std::string strFirstLine =
                e.strDescription.substr(0, e.strDescription.find('\n'));
            const std::string text =
                e.event.m_strSource + " " + std::to_string(e.event.m_nEventID & 0xFFFF) + " " +
                CEventStruct::GetEventTypeName(e.event.m_nEventType) + ": " + strFirstLine;
            offer(e.nNumber, text, [&](CKeyTester& tester) {
                return tester.TestEvent(e.event, e.strDescription, e.strCategory);
            });
        },
        strError);
    if (kind == TestEventFile::Failed)
        throw CBadInput{"cannot read " + options.strLines + ": " + strError};
    if (kind == TestEventFile::NotEvents) {
        const std::optional<std::string> text = ReadFileBytes(options.strLines);
        if (!text)
            throw CBadInput{"cannot read " + options.strLines + ": " + LastErrorText()};
        for (std::size_t start = 0; start < text->size();) {
            std::size_t end = text->find('\n', start);
            if (end == std::string::npos)
                end = text->size();
            std::string_view line(text->data() + start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            offer(std::nullopt, line, [&](CKeyTester& tester) { return tester.TestLine(line); });
        }
    }
    const char* const unit = kind == TestEventFile::Read ? "record" : "line";
    const char* const units = kind == TestEventFile::Read ? "records" : "lines";

    CJsonValue jsonKeys = CJsonValue::MakeArray();
    std::ostringstream totals;
    std::ostringstream never;
    for (const CLogTester& tester : testers) {
        for (const CKeyTestTotal& total : tester.pTester->GetTotals()) {
            const std::string name = tester.strLog + " / " + total.strGroup + " key " +
                                     std::to_string(total.nKey + 1) + " " + total.strKey;
            (total.nMatched ? totals : never) << "  " << name << ": " << total.nMatched << "\n";
            CJsonValue key = CJsonValue::MakeObject();
            key.Add("log", CJsonValue::MakeString(tester.strLog));
            key.Add("group", CJsonValue::MakeString(total.strGroup));
            key.Add("key", CJsonValue::MakeNumber(total.nKey + 1));
            key.Add("description", CJsonValue::MakeString(total.strKey));
            key.Add("matched", CJsonValue::MakeNumber(static_cast<std::int64_t>(total.nMatched)));
            jsonKeys.Push(std::move(key));
        }
    }
    if (options.bJson) {
        CJsonValue json = CJsonValue::MakeObject();
        json.Add("lines", std::move(jsonLines));
        CJsonValue& jsonTotals = json.Add("totals", CJsonValue::MakeObject());
        jsonTotals.Add(units, CJsonValue::MakeNumber(static_cast<std::int64_t>(nLine)));
        jsonTotals.Add("matched", CJsonValue::MakeNumber(static_cast<std::int64_t>(nMatched)));
        jsonTotals.Add("keys", std::move(jsonKeys));
        out << WriteJson(json);
        return 0;
    }
    out << "Totals: " << Counted(nLine, unit, units) << " read, " << nMatched << " matched\n"
        << totals.str();
    if (!never.str().empty())
        out << "Never matched:\n" << never.str();
    return 0;
}

} // namespace

int RunQvWs(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err)
{
    static const bool registered = (RegisterTextLogClasses(), RegisterEventScanClasses(),
                                    RegisterJournalClasses(), RegisterEvtxClasses(), true);
    (void)registered;
    try {
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            out << g_usage;
            return 0;
        }
        if (args.empty())
            throw CBadInput{"no command given (see qvws --help)"};
        const std::string& command = args[0];
        if (command == "test")
            return Test(args, out);
        const std::size_t nWanted = command == "load" ? 3 : 2;
        if (command != "dump" && command != "load" && command != "check")
            throw CBadInput{"unknown command \"" + command + "\" (see qvws --help)"};
        if (args.size() != nWanted)
            throw CBadInput{command + " needs " + (nWanted == 3 ? "JSON FILE" : "FILE") +
                            " (see qvws --help)"};
        if (command == "dump")
            return Dump(args[1], out);
        if (command == "load")
            return Load(args[1], args[2], in, err);
        return Check(args[1], out);
    } catch (const CBadInput& e) {
        err << "qvws: " << e.m_strText << "\n";
        return 2;
    }
}
