// The alert actions against real servers on loopback: an SMTP server
// (python3-aiosmtpd) with and without STARTTLS and authentication, an HTTP
// server from Python's standard library, and syslog listeners that parse
// RFC 5424. Each server writes what it received into a folder.
#include <gmock/gmock.h>

#include "alertserver.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "settings/appsettings.h"
#include "tasklib/alertactions.h"
#include "tasklib/delivery.h"
#include "tasklib/task.h"
#include "tasklib/taskui.h"
#include "tasklib/textcodec.h"
#include "testing.h"
#include "testsupport.h"

using testing::AllOf;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;

namespace {

// A log line that tries everything: quotes, line breaks, a command
// substitution, header and JSON syntax, non-ASCII, and 100 KB.
std::string MaliciousLine()
{
    std::string line = "it's \"quoted\"\r\nSubject: injected\r\n\r\n.\r\n$(rm -rf /) `id` "
                       "\\\"}]{ <b>&amp; \xC3\xA9t\xC3\xA9 ";
    while (line.size() < 100 * 1024)
        line += "0123456789abcdef";
    return line;
}

CTaskVariables Variables(const std::string& text)
{
    CTaskVariables v;
    v.Set(VAR_EVENT_TEXT, text);
    v.Set(VAR_EVENT_SHORTNAME, "app log");
    v.Set(VAR_EVENT_LONGNAME, "/var/log/app.log");
    v.Set(VAR_EVENT_TYPE, "<empty>");
    v.Set(VAR_TASK_SEQ, "7");
    v.Set("%MAILTO%", "oncall@example.org");
    return v;
}

class AlertsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDeliveryPolicy policy;
        policy.nFirstRetryMs = 1;
        policy.nMaxRetryMs = 4;
        policy.nRetryWindowMs = 400;
        SetDeliveryPolicy(policy);
        SetClock(&m_clock);
    }
    void TearDown() override
    {
        EXPECT_TRUE(WaitForDeliveries(60'000));
        SetClock(nullptr);
    }
    CManualClock m_clock{1'796'531'642}; // 2026-12-06 04:34:02 UTC
    CLogCapture m_log;
};

std::string After(const std::string& text, const std::string& marker)
{
    const auto at = text.find(marker);
    return at == std::string::npos ? std::string() : text.substr(at + marker.size());
}

std::string Between(const std::string& text, const std::string& from, const std::string& to)
{
    std::string rest = After(text, from);
    return rest.substr(0, rest.find(to));
}

// A port of loopback that nothing listens on any more.
int RefusedPort()
{
    CAlertServer gone("http");
    return gone.Port();
}

std::string MakeCertificate()
{
    std::string dir = TestRoot() + "/tls";
    EnsureDirectory(dir);
    const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost "
                            "-addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout " +
                            dir + "/key.pem -out " + dir + "/cert.pem 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return dir;
}

TEST_F(AlertsTest, MailArrivesByteForByteWithAndWithoutStartTlsAndLogin)
{
    const std::string tls = MakeCertificate();
    const std::string secretFile = TestRoot() + "/smtp.secret";
    ASSERT_TRUE(AtomicWriteFile(secretFile, "s3cret\n", 0644));
    const CSecret fromFile(CSecret::File, secretFile);
    std::string error;
    EXPECT_FALSE(fromFile.Resolve(error)) << "a secret others can read is refused";
    EXPECT_THAT(error, HasSubstr("readable by others"));
    ::chmod(secretFile.c_str(), 0600);
    EXPECT_FALSE(CSecret(CSecret::Environment, "QUORVIL_UNSET_SECRET").Resolve(error));

    const std::vector<std::string> tlsAndLogin = {
        "--tls", tls + "/cert.pem", tls + "/key.pem", "--auth", "qv", "s3cret"};
    const std::vector<std::string> login = {"--auth", "qv", "pw"};
    struct Case {
        const char* name;
        std::vector<std::string> serverArgs;
        CSendMail::StartTls startTls;
        std::string user;
        CSecret password;
        const char* tlsSeen;
    } cases[] = {
        {"plain", {}, CSendMail::TlsNever, "", {}, "no"},
        {"starttls and login", tlsAndLogin, CSendMail::TlsRequired, "qv", fromFile, "yes"},
        {"login without tls", login, CSendMail::TlsOptional, "qv", {CSecret::Inline, "pw"}, "no"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAlertServer server("smtp", c.serverArgs);
        CSendMail mail;
        mail.m_strServer = "smtp://127.0.0.1:" + std::to_string(server.Port());
        mail.m_nStartTls = c.startTls;
        mail.m_strUser = c.user;
        mail.m_password = c.password;
        mail.m_strCaFile = tls + "/cert.pem";
        mail.m_strFrom = "Quorvil <quorvil@example.org>";
        mail.m_arrTo = {"%MAILTO%", "Second <second@example.org>"};
        mail.m_strSubject = "Caf\xC3\xA9 alarm on %EVENT_SHORTNAME%: %EVENT_TEXT%";
        mail.m_strBody = "Line: %EVENT_TEXT%\nSeq %TASK_SEQ%";
        const std::string line = "disk \"full\"\r\nBcc: victim@example.org";
        ASSERT_TRUE(mail.Run(Variables(line), "Disk"));

        const std::vector<std::string> got = server.Messages(1);
        ASSERT_EQ(got.size(), 1u);
        const std::string& m = got[0];
        EXPECT_THAT(m, HasSubstr("MAIL FROM:quorvil@example.org\nRCPT TO:oncall@example.org,"
                                 "second@example.org\nTLS:" +
                                 std::string(c.tlsSeen) + "\nAUTH:" + c.user + "\n\n"));
        const std::string id = Between(m, "Message-ID: <", ">");
        EXPECT_THAT(id, HasSubstr("@example.org"));
        const std::string expected =
            "Date: Sun, 06 Dec 2026 04:34:02 +0000\r\n"
            "From: Quorvil <quorvil@example.org>\r\n"
            "To: oncall@example.org,\r\n Second <second@example.org>\r\n"
            "Subject: =?UTF-8?B?Q2Fmw6kgYWxhcm0gb24gYXBwIGxvZzogZGlzayAiZnVsbCIgIEJjYzogdmlj?=\r\n"
            " =?UTF-8?B?dGltQGV4YW1wbGUub3Jn?=\r\n"
            "Message-ID: <" +
            id +
            ">\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=UTF-8\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n"
            "\r\n"
            "Line: disk \"full\"\r\n"
            "Bcc: victim@example.org\r\n"
            "Seq 7\r\n"
            "\n--DECODED--\n"
            "Caf\xC3\xA9 alarm on app log: disk \"full\"  Bcc: victim@example.org\n"
            "Line: disk \"full\"\n"
            "Bcc: victim@example.org\n"
            "Seq 7\n";
        EXPECT_EQ(After(m, "AUTH:" + c.user + "\n\n"), expected);
    }

    // A malicious line as subject and body: one Subject header, the body
    // intact after decoding (line breaks as the receiver's).
    CAlertServer server("smtp");
    CSendMail evil;
    evil.m_strServer = "smtp://127.0.0.1:" + std::to_string(server.Port());
    evil.m_nStartTls = CSendMail::TlsNever;
    evil.m_strFrom = "quorvil@example.org";
    evil.m_arrTo = {"a@example.org"};
    evil.m_strSubject = evil.m_strBody = "%EVENT_TEXT%";
    const std::string line = MaliciousLine();
    ASSERT_TRUE(evil.Run(Variables(line), "Disk"));
    const std::vector<std::string> got = server.Messages(1);
    ASSERT_EQ(got.size(), 1u);
    const std::string headers = Between(got[0], "AUTH:\n\n", "\r\n\r\n");
    EXPECT_THAT(headers, Not(HasSubstr("\nSubject: injected")));
    EXPECT_THAT(headers, Not(HasSubstr("\nBcc")));
    std::string body = line;
    for (auto at = body.find("\r\n"); at != std::string::npos; at = body.find("\r\n", at))
        body.erase(at, 1);
    EXPECT_EQ(After(After(got[0], "\n--DECODED--\n"), "\n"), body + "\n");

    // A refused recipient is the server's 550, reported without retries.
    evil.m_arrTo = {"nobody@example.org"};
    ASSERT_TRUE(evil.Run(Variables("x"), "Disk"));
    ASSERT_TRUE(WaitForDeliveries(30'000));
    EXPECT_TRUE(m_log.WaitFor("failed after 1 attempt: RCPT failed: 550"));
}

TEST_F(AlertsTest, WebHooksDeliverEachFormatAndRetryFailuresBeforeReporting)
{
    CAlertServer server("http");
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
    const std::string line = MaliciousLine();
    const std::string token = TestRoot() + "/token";
    ::setenv("QUORVIL_TEST_TOKEN", "t0ken", 1);

    struct Case {
        const char* format;
        const char* method;
        std::string body;
        std::vector<std::string> headers;
        std::string parsed; // what the receiver's JSON parser reads, if JSON
    } cases[] = {
        {"json", "POST", "", {"Authorization: Bearer %PASSWORD%"}, line},
        {"slack", "PUT", "%EVENT_TEXT%", {}, ""},
        {"teams", "POST", "", {}, "app log: " + line},
        {"custom",
         "POST",
         "{\"line\": \"%EVENT_TEXT%\", \"seq\": %TASK_SEQ%}",
         {"Content-Type: application/x-custom"},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        CWebHook hook;
        hook.m_strUrl = base + "/ok";
        hook.m_strFormat = c.format;
        hook.m_strMethod = c.method;
        hook.m_strBody = c.body;
        hook.m_arrHeaders = c.headers;
        hook.m_password = CSecret(CSecret::Environment, "QUORVIL_TEST_TOKEN");
        ASSERT_TRUE(hook.Run(Variables(line), "Disk"));
        ASSERT_TRUE(WaitForDeliveries(30'000));
    }
    std::vector<std::string> got = server.Messages(4);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].rfind("POST /ok\n", 0), 0u);
    EXPECT_THAT(got[0], HasSubstr("Authorization: Bearer t0ken\n"));
    EXPECT_EQ(After(got[0], "\n--PARSED--\n"), line);
    EXPECT_EQ(got[1].rfind("PUT /ok\n", 0), 0u);
    std::string slack = line;
    for (auto [from, to] : {std::pair{"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}})
        for (auto at = slack.find(from, 0); at != std::string::npos; at = slack.find(from, at + 1))
            slack.replace(at, 1, to);
    EXPECT_EQ(After(got[1], "\n--PARSED--\n"), slack);
    EXPECT_EQ(After(got[2], "\n--PARSED--\n"), "app log: " + line);
    EXPECT_THAT(got[3], HasSubstr("Content-Type: application/x-custom\n"));
    EXPECT_THAT(got[3], HasSubstr("{\"line\": \"" + line + "\", \"seq\": 7}"));

    // A 500, a time-out and a refused connection: tried again, then reported
    // with the reason. A 404 is not tried again.
    const int refused = RefusedPort();
    struct Failure {
        std::string url;
        DWORD timeout;
        const char* reason;
        bool bRetried;
    } failures[] = {
        {base + "/fail", 10, "HTTP status 500: busy, try later", true},
        {base + "/slow", 1, "imed out", true},
        {"http://127.0.0.1:" + std::to_string(refused) + "/ok", 10, "onnect", true},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.url);
        CWebHook hook;
        hook.m_strUrl = f.url;
        hook.m_dwTimeout = f.timeout;
        const CDeliveryCounters before = GetDeliveryCounters();
        ASSERT_TRUE(hook.Run(Variables("x"), "Disk"));
        ASSERT_TRUE(WaitForDeliveries(60'000));
        const CDeliveryCounters after = GetDeliveryCounters();
        EXPECT_EQ(after.nFailed, before.nFailed + 1);
        EXPECT_GT(after.nRetried, before.nRetried);
        EXPECT_THAT(m_log.Get(), Contains(AllOf(HasSubstr(f.url), HasSubstr(f.reason),
                                                HasSubstr("failed after"))));
    }
    // The failures reached the audit file too.
    EXPECT_THAT(ReadFileBytes(AppSettings::GetAuditText()).value_or(""),
                HasSubstr("HTTP status 500"));
}

TEST_F(AlertsTest, SyslogMessagesParseAsRfc5424OverUdpAndTcp)
{
    const std::string line = MaliciousLine();
    for (const char* protocol : {"udp", "tcp"}) {
        SCOPED_TRACE(protocol);
        CAlertServer server(std::string("syslog-") + protocol);
        CSyslogForward action;
        action.m_strHost = "127.0.0.1";
        action.m_dwPort = static_cast<DWORD>(server.Port());
        action.m_strProtocol = protocol;
        action.m_dwFacility = static_cast<DWORD>(SyslogFacilityFromName("local3"));
        CTaskVariables v = Variables(line);
        v.Set(VAR_EVENT_TYPE, "Error");
        ASSERT_TRUE(action.Run(v, "Disk \"]x"));
        const std::vector<std::string> got = server.Messages(1);
        ASSERT_EQ(got.size(), 1u);
        const std::string& m = got[0];
        EXPECT_EQ(m.rfind("PRI=155\nTIMESTAMP=2026-12-06T04:34:02Z\n", 0), 0u) << m.substr(0, 200);
        EXPECT_THAT(m, HasSubstr("\nAPP=quorvil\n"));
        EXPECT_THAT(
            m, HasSubstr("\nMSGID=match\nSD=[quorvil@32473 task=\"Disk \\\"\\]x\" "
                         "log=\"/var/log/app.log\" name=\"app log\" seq=\"7\" type=\"Error\"]\n"));
        const std::string msg = After(m, "\nMSG=");
        EXPECT_EQ(msg, line.substr(0, msg.size()));
        EXPECT_LE(m.size(), 2048u + 80u) << "the message length is bounded";
    }
}

TEST_F(AlertsTest, ExitDropsWhatCannotBeSentWithinItsLimit)
{
    CAlertServer server("http");
    CWebHook hook;
    hook.m_strUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/slow";
    hook.m_dwTimeout = 60;
    const CDeliveryCounters before = GetDeliveryCounters();
    ASSERT_TRUE(hook.Run(Variables("a"), "Disk"));
    ASSERT_TRUE(hook.Run(Variables("b"), "Disk"));
    server.Messages(1);
    StopDeliveries(10);
    EXPECT_EQ(GetDeliveryCounters().nDropped, before.nDropped + 1);
    EXPECT_TRUE(m_log.WaitFor("dropped: the program is ending"));
}

// Test Task Actions sends each network action once, without retries, and
// then shows one message with what each server answered.
TEST_F(AlertsTest, TestRunShowsWhatEachServerAnswered)
{
    CRecordingUi messages;
    CAlertServer server("http");
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
    const int refused = RefusedPort();
    CTask task;
    task.SetDescription("Disk");
    for (const std::string& url :
         {base + "/ok", base + "/fail", "http://127.0.0.1:" + std::to_string(refused) + "/ok"}) {
        CWebHook hook;
        hook.m_strUrl = url;
        task.AddAction(hook);
    }
    const CDeliveryCounters before = GetDeliveryCounters();
    const std::string text = task.RunAsTest(60'000);
    EXPECT_EQ(GetDeliveryCounters().nRetried, before.nRetried);
    EXPECT_EQ(messages.m_arrMessages, (decltype(messages.m_arrMessages){{"Disk", text}}));
    const std::string hook = "Web hook POST \"";
    EXPECT_THAT(text, HasSubstr(hook + base + "/ok\" in task \"Disk\": delivered\n"));
    EXPECT_THAT(text, HasSubstr(hook + base + "/fail\" in task \"Disk\": failed: HTTP status 500"));
    EXPECT_THAT(text, HasSubstr(std::to_string(refused) + "/ok\" in task \"Disk\": failed: "));
    EXPECT_EQ(CTask().RunAsTest(), "") << "nothing to deliver, nothing shown";
}

} // namespace
