#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/msgmodule/modulecache.h"
#include "platform/msgmodule/msgmodule.h"
#include "platform/msgmodule/peimage.h"
#include "platform/network/network.h"
#include "testing.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD MSG_SERVICE_STARTED = 0x40020064;
constexpr DWORD MSG_LAYOUT = 0x40020065;
constexpr DWORD MSG_DISK_FULL = 0xC002006A;
constexpr DWORD FORMAT_WITH_INSERTS = 0x2900;
constexpr DWORD FORMAT_RAW = 0x0B00;

#define REQUIRE_DLLS()                                                                             \
    if (!MSGMODULE_HAVE_MINGW)                                                                     \
    GTEST_SKIP() << "MinGW binutils missing"

// A file of the running test's own folder.
std::string WriteTestFile(const std::string& name, const std::string& bytes)
{
    EXPECT_TRUE(EnsureDirectory(TestDir()));
    std::string path = TestDir() + "/" + name;
    EXPECT_TRUE(AtomicWriteFile(path, bytes));
    return path;
}

std::string ReadAll(const std::string& path)
{
    return ReadFileBytes(path).value_or(std::string());
}

// Formats and returns the text, or "error N".
std::string Format(DWORD flags, const void* source, DWORD id, DWORD language,
                   const std::vector<const char*>& args = {})
{
    std::string text;
    if (FormatMessageString(flags, source, id, language, text, args) == 0)
        return "error " + std::to_string(GetLastError());
    return text;
}

std::string FormatString(const char* tmpl, DWORD flags, const std::vector<const char*>& args)
{
    return Format(FORMAT_MESSAGE_FROM_STRING | flags, tmpl, 0, 0, args);
}

std::string Mc(const std::string& body)
{
    return "LanguageNames=(German=0x407:MSG00407 Neutral=0x000:MSG00000)\n" + body;
}

} // namespace

TEST(MessageModule, CompiledDllsFormatWithInserts)
{
    REQUIRE_DLLS();
    for (const char* path : {MSGMODULE_DLL64, MSGMODULE_DLL32}) {
        SCOPED_TRACE(path);
        HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << GetLastError();
        char* buffer = nullptr;
        const char* args[] = {"Spooler", "SYSTEM"};
        DWORD length =
            FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_WITH_INSERTS, module,
                           MSG_SERVICE_STARTED, 0x400, reinterpret_cast<char*>(&buffer), 0, args);
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(std::string(buffer), "The service Spooler was started by SYSTEM.\r\n");
        EXPECT_EQ(length, std::strlen(buffer));
        EXPECT_EQ(LocalFree(buffer), nullptr);

        EXPECT_EQ(Format(FORMAT_WITH_INSERTS, module, MSG_DISK_FULL, 0x400, {"C:", "disk0"}),
                  "Disk C:      | is full (dis).\r\n%done\r\n");
        EXPECT_EQ(Format(FORMAT_WITH_INSERTS, module, MSG_LAYOUT, 0x400),
                  "  Indented line\r\n\r\n.dot at line start\r\n; not a comment\r\n.\r\nTab\there");
        EXPECT_EQ(Format(0x900, module, 1, 0x400), "Disk\r\n");
        EXPECT_TRUE(FreeLibrary(module));
    }
}

TEST(MessageModule, LoadingAndLanguageChoice)
{
    REQUIRE_DLLS();
    fs::create_directories(TestDir() + "/sub.dll");
    // UNC paths name folders of computers in the network.
    SetNetworkRoot(TestDir());
    fs::create_directories(TestDir() + "/WORKGROUP/SRV/C$/Msg");
    WriteTestFile("WORKGROUP/SRV/C$/Msg/app.mc", "MessageId=5\nLanguage=English\nfive\n.\n");
    std::string germanOnly = WriteTestFile("g.mc", Mc("MessageId=1\nLanguage=German\nEins\n.\n"));
    std::string withNeutral = WriteTestFile("n.mc", Mc("MessageId=1\nLanguage=German\nEins\n.\n"
                                                       "Language=Neutral\nOne\n.\n"));
    struct {
        std::string path;
        DWORD loadError; // 0: loads
        DWORD id;
        DWORD language;
        std::string formatted;
    } cases[] = {
        {TestDir() + "/missing.dll", ERROR_FILE_NOT_FOUND, 0, 0, ""},
        {WriteTestFile("text.dll", "hello world\n"), ERROR_BAD_EXE_FORMAT, 0, 0, ""},
        {WriteTestFile("mz.dll", "MZ"), ERROR_BAD_EXE_FORMAT, 0, 0, ""},
        {TestDir() + "/sub.dll", ERROR_ACCESS_DENIED, 0, 0, ""},
        {WriteTestFile("broken.mc", "MessageId=1\nLanguage=English\nno end\n"), ERROR_INVALID_DATA,
         0, 0, ""},
        {WriteTestFile("source.txt", "; by content\nMessageId=7\nLanguage=English\nseven\n.\n"), 0,
         7, 0x409, "seven\r\n"}, // English unless the file names languages
        {MSGMODULE_NOTABLE_DLL, 0, 1, 0x400, "error 1813"},
        {MSGMODULE_DLL64, 0, 0x12345, 0x400, "error 317"},
        {"\\\\srv\\c$\\MSG\\app.mc", 0, 5, 0x400, "five\r\n"},
        {"\\\\NOSUCH\\C$\\app.mc", ERROR_BAD_NETPATH, 0, 0, ""},
        {"\\\\SRV\\C$\\Msg\\none.mc", ERROR_FILE_NOT_FOUND, 0, 0, ""},
        {MSGMODULE_DLL64, 0, 1, 0x400, "Disk\r\n"},
        // UTF-16 entries come out as UTF-8; 8-bit entries exactly as the
        // compiler stored them (its code page 1252).
        {MSGMODULE_DLL64, 0, 1, 0x407, "Datentr\xC3\xA4ger\r\n"},
        {MSGMODULE_DLL32, 0, 1, 0x407, "Datentr\xE4ger\r\n"},
        {germanOnly, 0, 1, 0x400, "Eins\r\n"}, // the first language present
        {withNeutral, 0, 1, 0x400, "One\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " language " + std::to_string(c.language));
        SetLastError(0);
        HMODULE module = LoadLibraryExA(c.path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (c.loadError != 0) {
            EXPECT_EQ(module, nullptr);
            EXPECT_EQ(GetLastError(), c.loadError);
            continue;
        }
        ASSERT_NE(module, nullptr) << GetLastError();
        EXPECT_EQ(Format(FORMAT_WITH_INSERTS, module, c.id, c.language), c.formatted);
        EXPECT_TRUE(FreeLibrary(module));
        // A released handle is refused, never followed.
        EXPECT_EQ(Format(FORMAT_WITH_INSERTS, module, c.id, c.language), "error 6");
        EXPECT_FALSE(FreeLibrary(module));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    SetNetworkRoot("");
}

TEST(McSource, StatementsAndDamage)
{
    const std::string names =
        "SeverityNames=(\r\n; own names\r\n Fatal=0x3:SEV_FATAL\r\n Note=1\r\n)\r\n";
    struct {
        std::string source;
        DWORD error;
        const char* messages; // the English table: "ID=text|" each
    } cases[] = {
        // Severity and facility carry over; codes count per facility.
        {"MessageId=1\nSeverity=Warning\nFacility=Application\nLanguage=English\na\n.\n"
         "MessageId=\nLanguage=English\nb\n.\nMessageId=+3\nFacility=System\nLanguage=English\nc\n."
         "\nMessageId=+3\nFacility=Application\nLanguage=English\nd\n.\n",
         0, "80ff0003=c\r\n|8fff0001=a\r\n|8fff0002=b\r\n|8fff0005=d\r\n|"},
        {names + "messageid = 0x7\r\nSEVERITY = fatal\r\nlanguage = english\r\n "
                 "line\r\n\r\n.x\r\n.\r\n",
         0, "c0000007= line\r\n\r\n.x\r\n|"},
        {"MessageId=1 Severity=Informational SymbolicName=X\nLanguage=English\n%0\n.\n", 0,
         "40000001=%0\r\n|"},
        {"MessageId=1\nSeverity=Severe\nLanguage=English\nx\n.\n", ERROR_INVALID_DATA, ""},
        {"MessageId=1\nLanguage=French\nx\n.\n", ERROR_INVALID_DATA, ""},
        {"MessageId=1\nLanguage=English\nx\n.\nMessageId=1\nLanguage=English\ny\n.\n",
         ERROR_INVALID_DATA, ""},
        {"Foo=1\n", ERROR_INVALID_DATA, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        CMessageModule module;
        ASSERT_EQ(ParseMessageSource(c.source, module), c.error);
        if (c.error != 0)
            continue;
        ASSERT_EQ(module.m_arrTables.size(), 1u);
        std::ostringstream got;
        for (std::size_t i = 0; i < module.m_arrTables[0].Count(); ++i)
            got << std::hex << module.m_arrTables[0].IdAt(i) << "="
                << module.m_arrTables[0].TextAt(i) << "|";
        EXPECT_EQ(got.str(), c.messages);
    }

    // A UTF-16 source with its byte-order mark.
    CMessageModule module;
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("MessageId=2\nLanguage=English\n\xC3\xBC\n.\n")) {
        if (static_cast<BYTE>(c) == 0xC3)
            continue;
        utf16 += static_cast<BYTE>(c) == 0xBC ? '\xFC' : c;
        utf16 += '\0';
    }
    ASSERT_EQ(ParseMessageSource(utf16, module), 0u);
    EXPECT_EQ(module.m_arrTables[0].TextAt(0), "\xC3\xBC\r\n");
}

TEST(FormatMessage, InsertRules)
{
    const DWORD ignore = FORMAT_MESSAGE_IGNORE_INSERTS;
    const std::vector<const char*> ab = {"a", "b"};
    std::vector<const char*> twelve;
    for (const char* s : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "twelve"})
        twelve.push_back(s);
    struct {
        const char* tmpl;
        DWORD flags;
        std::vector<const char*> args;
        std::string expected;
    } cases[] = {
        {"%1 and %2, %1 again", 0, ab, "a and b, a again"},
        {"%12|%123", 0, twelve, "twelve|twelve3"},
        {"[%1!s!][%1!S!][%1!hs!][%1!ls!]", 0, ab, "[a][a][a][a]"},
        {"[%1!-4s!][%1!4s!][%1!04s!][%1!.1s!]", 0, {"xyz"}, "[xyz ][ xyz][0xyz][x]"},
        {"%1", 0, {nullptr}, "(null)"},
        // Integer and character conversions read the insert's text.
        {"[%1!d!][%2!5u!][%3!04X!][%4!lu!][%5!c!]",
         0,
         {"-42", "7", "0x1f", "4294967295", "65"},
         "[-42][    7][001F][4294967295][A]"},
        {"[%1!d!][%2!x!][%1!c!]", 0, {"disk", "12 MB"}, "[disk][12 MB][d]"},
        {"%1!I64d! of %2!hu!", 0, {"9000000000", "3"}, "9000000000 of 3"},
        {"%1!*s!", 0, ab, "error 87"},
        {"%1!!", 0, ab, "error 87"},
        {"%3", 0, ab, "error 87"},
        {"%1!200000s!", 0, ab, "error 234"},
        {"end%", 0, {}, "error 87"},
        {"a%0b", 0, {}, "a"},
        {"a%nb%rc%td", 0, {}, "a\r\nb\rc\td"},
        {"100%% %%1 %.%!% x%q", 0, {}, "100% %1 .! xq"},
        {"a\nb\r\nc\rd\r\r\ne", 0, {}, "a\r\nb\r\nc\r\nd\r\n\r\ne"},
        {"%1 %% %12!s! %. %n%t%0tail", ignore, {}, "%1 %% %12!s! %. \r\n\t"},
        {"%0", 0, {}, "error 235"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tmpl);
        EXPECT_EQ(FormatString(c.tmpl, c.flags, c.args), c.expected);
    }
}

// A copy cut short, and the table damage that would read past it or loop.
TEST(PeImage, DamagedImagesFailCleanly)
{
    REQUIRE_DLLS();
    const std::string good = ReadAll(MSGMODULE_DLL64);
    std::vector<CPeResource> tables;
    ASSERT_EQ(FindPeResources(good, RT_MESSAGETABLE, tables), 0u);
    const auto table = static_cast<std::size_t>(tables.at(0).data.data() - good.data());
    std::size_t entry = table;
    for (std::size_t i = 0; i < 4; ++i) // the first block's offset, little-endian
        entry += std::size_t{static_cast<BYTE>(good[table + 12 + i])} << (8 * i);
    auto put = [](std::size_t at, DWORD value, int size) {
        return [=](std::string& b) {
            for (int i = 0; i < size; ++i)
                b[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
        };
    };
    auto cut = [](std::size_t size) { return [=](std::string& b) { b.resize(size); }; };
    struct {
        const char* what;
        std::function<void(std::string&)> damage;
    } cases[] = {
        {"truncated DOS header", cut(40)},
        {"truncated message table", cut(table + 20)},
        {"block count beyond the table", put(table, 0x10000000, 4)},
        {"entry length zero", put(entry, 0, 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.damage(bytes);
        CMessageModule module;
        EXPECT_EQ(ParseMessageModule(bytes, false, module), ERROR_BAD_EXE_FORMAT);
    }
}

TEST(ModuleCache, ParsesAFileAgainOnlyWhenItChanged)
{
    CMessageModuleCache cache(2);
    std::string path = WriteTestFile("a.mc", "MessageId=1\nLanguage=English\nold\n.\n");
    DWORD error = 0;
    auto first = cache.Load(path, error);
    ASSERT_TRUE(first);
    EXPECT_EQ(cache.Load(path, error), first);

    WriteTestFile("a.mc", "MessageId=1\nLanguage=English\nnewer\n.\n");
    auto second = cache.Load(path, error);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    std::string_view text;
    EXPECT_EQ(second->FindMessage(1, 0x400, text), 0u);
    EXPECT_EQ(text, "newer\r\n");
    EXPECT_EQ(first->FindMessage(1, 0x400, text), 0u); // held modules stay valid
    EXPECT_EQ(text, "old\r\n");

    std::string bad = WriteTestFile("bad.mc", "MessageId=1\n");
    EXPECT_EQ(cache.Load(bad, error), nullptr);
    EXPECT_EQ(error, ERROR_INVALID_DATA);
    EXPECT_EQ(cache.Load(bad, error), nullptr);
    EXPECT_EQ(error, ERROR_INVALID_DATA);
    EXPECT_EQ(cache.Load(TestDir() + "/none.mc", error), nullptr);
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    cache.Load(WriteTestFile("c.mc", "MessageId=1\nLanguage=English\nc\n.\n"), error);
    EXPECT_EQ(cache.Size(), 2u);
}

TEST(ModuleCache, ThreadsShareModulesAndHandles)
{
    std::string path = WriteTestFile("t.mc", "MessageId=9\nLanguage=English\n%1 on %2\n.\n");
    std::atomic<int> failures{0};
    auto work = [&](int n) {
        for (int i = 0; i < 300; ++i) {
            if (n == 0 && i % 50 == 0)
                GetMessageModuleCache().Clear();
            HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
            std::string name = std::to_string(n);
            if (Format(FORMAT_WITH_INSERTS, module, 9, 0x400, {name.c_str(), "x"}) !=
                    name + " on x\r\n" ||
                !FreeLibrary(module))
                ++failures;
        }
    };
    std::vector<std::thread> threads;
    for (int n = 0; n < 4; ++n)
        threads.emplace_back(work, n);
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}
