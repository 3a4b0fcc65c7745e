#include "tools/qvws/qvws.h"

#include <memory>
#include <optional>

#include "archive/archive.h"
#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "textlog/filemonitor.h"
#include "tools/qvws/wsjson.h"

namespace {

const char* const g_usage =
    "Usage: qvws COMMAND\n"
    "\n"
    "Commands:\n"
    "  dump FILE         write the workspace FILE as JSON to standard output\n"
    "  load JSON FILE    write the workspace described by JSON (- for standard input) to FILE\n"
    "  check FILE        tell whether FILE is a sound workspace, or where it is damaged\n"
    "\n"
    "Exit status: 0 done, 1 the file could not be written, 2 bad input (nothing changed).\n";

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

// The one workspace record of a file; anything else is damage.
std::unique_ptr<CMonManager> ReadWorkspace(const std::string& path)
{
    CFile file;
    CFileException error(CFileException::none, 0, path);
    if (!file.Open(path, CFile::modeRead, &error))
        throw CBadInput{"cannot read " + path + ": " + LastErrorText()};
    try {
        CArchive ar(&file, CArchive::load);
        std::unique_ptr<CMonManager> pManager = ar.ReadObjectAs<CMonManager>();
        if (!pManager)
            ar.Fail(CArchiveException::badClass, "the file holds no workspace");
        if (const QWORD nLeft = ar.GetRemaining(); nLeft > 0)
            ar.Fail(CArchiveException::generic,
                    std::to_string(nLeft) + " bytes after the workspace");
        return pManager;
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
            throw CBadInput{"cannot read " + source + ": " + LastErrorText()};
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
        err << "qvws: cannot write " << path << ": " << LastErrorText() << "\n";
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
    out << "OK: " << Counted(static_cast<std::size_t>(pManager->GetLogCount()), "log", "logs")
        << ", " << Counted(nGroups, "watch group", "watch groups") << ", "
        << Counted(nKeys, "key", "keys") << "\n";
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
