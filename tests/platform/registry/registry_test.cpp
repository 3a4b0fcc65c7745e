#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/registry/environment.h"
#include "platform/registry/regfile.h"
#include "platform/registry/reghive.h"
#include "platform/registry/regkey.h"
#include "testing.h"

namespace {

constexpr const char* HKCU = "HKEY_CURRENT_USER";

// The bytes of a file exported from Windows: UTF-16LE with a byte-order mark.
std::string Utf16File(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

CRegKey Parse(const std::string& text, const char* root = HKCU)
{
    CRegKey tree;
    CRegFileError error;
    EXPECT_TRUE(ParseRegFile(text, root, tree, error)) << error.Describe() << "\n" << text;
    return tree;
}

// The key's values as (name, type, data), in order.
using Values = std::vector<std::tuple<std::string, DWORD, std::string>>;
Values ValuesOf(const CRegKey* key)
{
    Values values;
    for (const CRegValue& value : key ? key->GetValues() : std::vector<CRegValue>())
        values.emplace_back(value.m_strName, value.m_dwType, value.m_data);
    return values;
}

} // namespace

TEST(RegKey, NamesIgnoreLetterCaseAndKeepTheirSpelling)
{
    CRegKey root;
    ASSERT_NE(root.CreateKey("Software\\Brannick\\Quorvil"), nullptr);
    CRegKey* key = root.OpenKey("SOFTWARE\\brannick\\QUORVIL");
    ASSERT_NE(key, nullptr);
    key->SetDword("ErrorLogEnabled", 1);
    key->SetDword("ERRORLOGENABLED", 0);
    ASSERT_EQ(key->GetValues().size(), 1u);
    EXPECT_EQ(key->GetValues()[0].m_strName, "ErrorLogEnabled");
    EXPECT_EQ(key->FindValue("errorlogenabled")->GetDword(), 0u);
    EXPECT_EQ(root.OpenKey("software")->GetSubKey(0).GetName(), "Brannick");

    // Enumeration compares upper-cased names, as Windows does: '_' sorts after letters.
    CRegKey* parent = root.CreateKey("Order");
    for (const char* name : {"b", "_x", "C", "A", "a"})
        parent->CreateKey(name);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < parent->GetSubKeyCount(); ++i)
        names.push_back(parent->GetSubKey(i).GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "C", "_x"}));

    EXPECT_TRUE(root.DeleteKey("SOFTWARE\\Brannick"));
    EXPECT_EQ(root.OpenKey("Software\\Brannick\\Quorvil"), nullptr);
    EXPECT_NE(root.OpenKey("Software"), nullptr);
    EXPECT_FALSE(root.DeleteKey("Software\\Brannick"));
    EXPECT_FALSE(root.DeleteKey(""));

    std::string deep;
    for (int i = 0; i <= REG_MAX_KEY_DEPTH; ++i)
        deep += "k\\";
    EXPECT_EQ(root.CreateKey(deep), nullptr);
    EXPECT_EQ(root.CreateKey("bad\nname"), nullptr);
}

TEST(RegFile, WriteReadWriteGivesTheSameBytes)
{
    CRegKey root;
    root.CreateKey("Empty");
    CRegKey* key = root.CreateKey("Software\\Brannick\\Quorvil");
    key->SetString("", "default");
    key->SetString("Path \"q\"", "C:\\dir\\file.txt");
    key->SetString("Lines", "one\r\ntwo");
    key->SetValue("WithNul", REG_SZ, std::string("a\0b\0", 4));
    key->SetDword("Flag", 0x1a);
    key->SetValue("Big", REG_QWORD, RegQwordData(0x0123456789ABCDEFull));
    key->SetString("Expand", "%HOME%/caf\xC3\xA9/\xFF", REG_EXPAND_SZ); // é and a stray byte
    key->SetValue("Multi", REG_MULTI_SZ, RegMultiStringData({"a", "bc"}));
    std::string bin;
    for (int i = 0; i < 30; ++i)
        bin.push_back(static_cast<char>(i));
    key->SetValue("Bin", REG_BINARY, bin);
    key->SetValue("None", REG_NONE, "");

    std::string text = FormatRegFile(root, HKCU);
    EXPECT_EQ(
        text,
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Empty]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Brannick\\Quorvil]\r\n"
        "@=\"default\"\r\n"
        "\"Path \\\"q\\\"\"=\"C:\\\\dir\\\\file.txt\"\r\n"
        "\"Lines\"=\"one\\r\\ntwo\"\r\n"
        "\"WithNul\"=hex(1):61,00,00,00,62,00,00,00\r\n"
        "\"Flag\"=dword:0000001a\r\n"
        "\"Big\"=hex(b):ef,cd,ab,89,67,45,23,01\r\n"
        "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,00,63,00,61,00,66,00,e9,\\\r\n"
        "  00,2f,00,ff,dc,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n"
        "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
        "  17,18,19,1a,1b,1c,1d\r\n"
        "\"None\"=hex(0):\r\n\r\n");

    CRegKey back = Parse(text);
    EXPECT_EQ(FormatRegFile(back, HKCU), text);
    EXPECT_EQ(ValuesOf(back.OpenKey("Software\\Brannick\\Quorvil")), ValuesOf(key));
}

TEST(RegFile, ReadsAUtf16FileExportedFromWindows)
{
    std::string bytes = Utf16File(
        u"Windows Registry Editor Version 5.00\r\n"
        u"\r\n"
        u"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Qv "
        u"Test]\r\n"
        u"\"EventMessageFile\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,\\\r\n"
        u"  6f,00,74,00,25,00,5c,00,71,00,76,00,e9,00,2e,00,64,00,6c,00,6c,00,00,00\r\n"
        u"\"Sources\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n"
        u"\"TypesSupported\"=dword:00000007\r\n"
        u"\"Text\"=\"Caf\u00e9 \\\\ \\\"\U0001F600\\\"\"\r\n"
        u"@=\"default\"\r\n"
        u"\"Big\"=hex(b):ef,cd,ab,89,67,45,23,01\r\n"
        u"\r\n");
    CRegKey tree = Parse(bytes, "HKEY_LOCAL_MACHINE");
    const char* key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Qv Test";

    ASSERT_EQ(ValuesOf(tree.OpenKey(key)),
              (Values{{"EventMessageFile", REG_EXPAND_SZ,
                       std::string("%SystemRoot%\\qv\xC3\xA9.dll\0", 22)},
                      {"Sources", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)},
                      {"TypesSupported", REG_DWORD, RegDwordData(7)},
                      {"Text", REG_SZ, std::string("Caf\xC3\xA9 \\ \"\xF0\x9F\x98\x80\"\0", 15)},
                      {"", REG_SZ, std::string("default\0", 8)},
                      {"Big", REG_QWORD, RegQwordData(0x0123456789ABCDEFull)}}));
    EXPECT_NE(tree.OpenKey(key)->FindValue("eventmessagefile"), nullptr);
}

TEST(RegFile, AcceptsBothDialectsAndEveryLineForm)
{
    struct Case {
        const char* text;
        const char* name;
        DWORD type;
        std::string data;
    };
    const Case cases[] = {
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex(2):41,42,00\n", "x", REG_EXPAND_SZ,
         std::string("AB\0", 3)},
        {"REGEDIT4\r[HKEY_CURRENT_USER\\A]\r\"x\"=hex(7):41,00,42,00,00\r", "x", REG_MULTI_SZ,
         std::string("A\0B\0\0", 5)},
        {"\r\n \t\r\n  Windows Registry Editor Version 5.00  \r\n ; comment\r\n# comment\r\n"
         "  [hkey_current_user\\A] ; k\r\n  \"x\" = \"v;#\" ; comment\r\n",
         "x", REG_SZ, std::string("v;#\0", 4)},
        {"\xEF\xBB\xBFWindows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n@=\"d\"\n", "",
         REG_SZ, std::string("d\0", 2)},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a=b;c\\\"d\"=dword:1A\n", "a=b;c\"d", REG_DWORD,
         RegDwordData(26)},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:1,02,\\\n\t  ff , 0 ;c\n", "x", REG_BINARY,
         std::string("\x01\x02\xff\x00", 4)},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:\n", "x", REG_BINARY, ""},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex(abc):01\n", "x", 0xabc, "\x01"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"a\\\\b\\q\"\n", "x", REG_SZ,
         std::string("a\\b\\q\0", 6)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValuesOf(Parse(c.text).OpenKey("A")), (Values{{c.name, c.type, c.data}}))
            << c.text;
    }

    CRegKey tree = Parse("REGEDIT4\n"
                         "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=\"1\"\n"
                         "[HKEY_CURRENT_USER\\C]\n\"y\"=\"2\"\n\"z\"=\"3\"\n"
                         "[-HKEY_CURRENT_USER\\A]\n"
                         "[HKEY_CURRENT_USER\\C]\n\"y\"=-\n\"z\"=\"4\"\n");
    EXPECT_EQ(tree.OpenKey("A"), nullptr);
    EXPECT_EQ(ValuesOf(tree.OpenKey("C")), (Values{{"z", REG_SZ, std::string("4\0", 2)}}));
}

TEST(RegFile, ReportsDamageWithTheLineNumber)
{
    struct Case {
        std::string text;
        int line;
    };
    const std::string head = "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const Case cases[] = {
        {"", 1},
        {"REGEDIT4\r\n\"x\"=\"y\"\r\n", 2},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A\r\n", 2},
        {head + "\"x\"=\"y\r\n", 3},
        {head + "\"x\" \"y\"\r\n", 3},
        {head + "\"x\"=dword:123456789\r\n", 3},
        {head + "\"x\"=hex:1g\r\n", 3},
        {head + "\"x\"=hex:01,\\\r\n\"y\"=dword:1\r\n", 4}, // a stray ",\" swallows the next value
    };
    for (const Case& c : cases) {
        CRegKey tree;
        tree.CreateKey("Kept");
        CRegFileError error;
        SetLastError(0);
        EXPECT_FALSE(ParseRegFile(c.text, HKCU, tree, error)) << c.text;
        EXPECT_EQ(std::tuple(error.m_nLine, error.m_dwError, GetLastError()),
                  std::tuple(c.line, DWORD{ERROR_BADDB}, DWORD{ERROR_BADDB}))
            << c.text << " -> " << error.Describe();
        EXPECT_NE(tree.OpenKey("Kept"), nullptr) << "a failed parse leaves the tree alone";
    }
}

TEST(RegHive, DamagedFileFollowsThePolicy)
{
    std::string path = TestDir() + "/HKCU.reg";
    const std::string damaged = "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\ngarbage\r\n";
    ASSERT_TRUE(AtomicWriteFile(path, damaged));

    // A strict hive never writes over a damaged file (its reads are the
    // event log's tests).
    CRegHive strict(path, HKCU);
    EXPECT_FALSE(strict.Update([](CRegKey& root) { return root.CreateKey("B") != nullptr; }));
    EXPECT_EQ(ReadFileBytes(path), damaged);

    std::vector<std::string> reports;
    CRegHive lenient(path, HKCU, CRegHive::DamagePolicy::KEEP_AS_BAD,
                     [&](const CRegHive& hive, const CRegFileError& e) {
                         EXPECT_TRUE(hive.Read() != nullptr); // the handler may read the hive
                         reports.push_back(e.Describe());
                     });
    // The report, the defaults and the kept file are the settings' tests.
    EXPECT_TRUE(lenient.Read()->IsEmpty());
    EXPECT_TRUE(lenient.Read()->IsEmpty());
    EXPECT_EQ(reports.size(), 1u);
    // Another damaged version is reported again.
    ASSERT_TRUE(AtomicWriteFile(path, "nonsense"));
    EXPECT_TRUE(lenient.Read()->IsEmpty());
    EXPECT_EQ(reports.size(), 2u);
}

TEST(RegHive, ConcurrentWritersKeepEachOthersChanges)
{
    std::string path = TestDir() + "/HKLM.reg";
    constexpr int THREADS = 4, WRITES = 25;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            // Each writer has its own hive object, as another process would.
            CRegHive hive(path, "HKEY_LOCAL_MACHINE");
            for (int n = 0; n < WRITES; ++n) {
                std::string name = std::to_string(t) + "_" + std::to_string(n);
                if (!hive.Update([&](CRegKey& root) {
                        root.CreateKey("Counts")->SetDword(name, static_cast<DWORD>(n));
                        return true;
                    }))
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    CRegHive hive(path, "HKEY_LOCAL_MACHINE");
    const CRegKey* counts = hive.Read()->OpenKey("Counts");
    ASSERT_NE(counts, nullptr);
    EXPECT_EQ(counts->GetValues().size(), static_cast<std::size_t>(THREADS * WRITES));
}

TEST(Environment, ExpandsWindowsVariables)
{
    ::setenv("QV_TEST_DIR", "D:\\Apps", 1);
    ::setenv("ProgramFiles", "E:\\Programs", 1);
    struct {
        const char* m_pszIn;
        const char* m_pszOut;
    } const cases[] = {
        {"%SystemRoot%\\system32\\x.dll", "C:\\WINDOWS\\system32\\x.dll"},
        {"%SYSTEMROOT%;%windir%", "C:\\WINDOWS;C:\\WINDOWS"},
        {"%SystemDrive%\\x", "C:\\x"},
        {"%ProgramFiles%\\y", "E:\\Programs\\y"}, // the environment wins
        {"%qv_test_dir%\\z", "D:\\Apps\\z"},
        {"%CommonProgramFiles%", "C:\\Program Files\\Common Files"},
        {"%COMPUTERNAME%", "TESTHOST"},
        {"%NoSuchVariable%\\a", "%NoSuchVariable%\\a"},
        {"%NoSuch%SystemDrive%", "%NoSuchC:"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszIn);
        char buffer[500];
        EXPECT_EQ(ExpandEnvironmentStringsA(c.m_pszIn, buffer, sizeof buffer),
                  std::strlen(c.m_pszOut) + 1);
        EXPECT_STREQ(buffer, c.m_pszOut);
    }
    ::unsetenv("QV_TEST_DIR");
    ::unsetenv("ProgramFiles");
}
