#include "core/monmanager.h"
#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"
#include "platform/base/clock.h"
#include "testing.h"
#include "textlog/filemonitor.h"
#include "tools/qvws/wsjson.h"

namespace {

using namespace std::string_literals;

// Where `part` is not within `whole` (each member of an object, each item of
// an array as given), or "" when it is.
std::string NotWithin(const CJsonValue& part, const CJsonValue& whole, const std::string& at = "$")
{
    if (part.GetType() != whole.GetType() || part.m_bValue != whole.m_bValue ||
        part.m_strValue != whole.m_strValue || part.m_items.size() != whole.m_items.size())
        return at;
    for (std::size_t i = 0; i < part.m_items.size(); ++i) {
        std::string inner =
            NotWithin(part.m_items[i], whole.m_items[i], at + "[" + std::to_string(i) + "]");
        if (!inner.empty())
            return inner;
    }
    for (const CJsonMember& member : part.m_members) {
        const auto it =
            std::find_if(whole.m_members.begin(), whole.m_members.end(),
                         [&](const CJsonMember& m) { return m.m_strName == member.m_strName; });
        std::string inner = it == whole.m_members.end() ? at + "." + member.m_strName
                                                        : NotWithin(member.m_value, it->m_value,
                                                                    at + "." + member.m_strName);
        if (!inner.empty())
            return inner;
    }
    return "";
}

class WsJsonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTextLogClasses();
        RegisterEventScanClasses();
        RegisterJournalClasses();
        RegisterEvtxClasses();
        SetClock(&m_clock);
    }
    void TearDown() override { SetClock(nullptr); }

    static std::string Bytes(const CMonManager& manager) { return StoreObjectToBytes(&manager); }

    // A workspace of one event log with one group holding the key.
    static std::unique_ptr<CMonManager> WorkspaceWithKey(const CSearchKey& key)
    {
        auto pManager = std::make_unique<CMonManager>();
        auto* pLog = new CEventMonitor;
        auto* pGroup = new CKeysAndActions;
        pGroup->AddKey(key.Clone().release());
        pLog->AddWatchGroup(pGroup);
        pManager->AddLog(pLog);
        return pManager;
    }

    // The key's JSON, as the dump of a workspace holding it writes it.
    static std::string DumpedKey(const CSearchKey& key)
    {
        const CJsonValue dump = ParseJson(WorkspaceToJson(*WorkspaceWithKey(key)));
        return WriteJson(dump.m_members[0]
                             .m_value.m_items[0]
                             .m_members.back()
                             .m_value.m_items[0]
                             .m_members[3]
                             .m_value.m_items[0]);
    }

    // The stored bytes of the one key of a workspace read from JSON.
    static std::string LoadedKeyBytes(const std::string& keyJson)
    {
        std::unique_ptr<CMonManager> pManager = WorkspaceFromJson(
            R"({"logs": [{"kind": "event", "groups": [{"keys": [)" + keyJson + "]}]}]}");
        return StoreObjectToBytes((*pManager->m_pLogs)[0]->GetWatchGroup(0)->GetKey(0));
    }

    // What reading the JSON text fails with.
    static std::string LoadFault(const std::string& json)
    {
        try {
            WorkspaceFromJson(json);
        } catch (const CJsonError& e) {
            return e.what();
        }
        return "(accepted)";
    }

    // What dumping the workspace fails with.
    static std::string DumpFault(const CMonManager& manager)
    {
        try {
            WorkspaceToJson(manager);
        } catch (const CJsonError& e) {
            return e.what();
        }
        return "(dumped)";
    }

    // The workspace's dump, after checking that it loads to the same bytes
    // and that the stored bytes dump to it too.
    static std::string RoundTrip(const std::string& json)
    {
        std::unique_ptr<CMonManager> pLoaded = WorkspaceFromJson(json);
        std::string dump = WorkspaceToJson(*pLoaded);
        EXPECT_EQ(Bytes(*WorkspaceFromJson(dump)), Bytes(*pLoaded));
        const auto pStored = LoadObjectFromBytes(Bytes(*pLoaded), nullptr);
        EXPECT_EQ(WorkspaceToJson(static_cast<const CMonManager&>(*pStored)), dump);
        return dump;
    }

    CManualClock m_clock{1'700'000'000};
};

// Event keys built with the setters of the key dialogs, and the field's
// JSON: every operator on a field of each kind (strings, numbers), the other
// fields once.
TEST_F(WsJsonTest, EveryOperatorMapsBothWays)
{
    struct CKeyCase {
        std::function<void(CSearchKeyEvent&)> m_set;
        const char* m_pszJson;
    };
    using K = CSearchKeyEvent;
    const CKeyCase cases[] = {
        {[](K& k) { k.SetSourceValue("Srv"); }, R"("source": {"op": "equal", "values": ["Srv"]})"},
        {[](K& k) { k.SetSourceValue("Srv", TRUE); },
         R"("source": {"op": "notEqual", "values": ["Srv"]})"},
        {[](K& k) {
             k.SetSourceList({"Srv", "Disk"});
         },
         R"("source": {"op": "oneOf", "values": ["Srv", "Disk"]})"},
        {[](K& k) { k.SetSourceList({}, TRUE); }, R"("source": {"op": "notOneOf", "values": []})"},
        {[](K& k) { k.SetUserValue("NT AUTHORITY\\SYSTEM"); },
         R"("user": {"op": "equal", "values": ["NT AUTHORITY\\SYSTEM"]})"},
        {[](K& k) { k.SetComputerValue("SRV\xE9", TRUE); },
         R"("computer": {"op": "notEqual", "values": ["SRV\udce9"]})"},
        {[](K& k) { k.SetCategoryValue(3); }, R"("category": {"op": "equal", "values": [3]})"},
        {[](K& k) { k.SetCategoryValue(4, TRUE); },
         R"("category": {"op": "notEqual", "values": [4]})"},
        {[](K& k) { k.SetCategoryAtLeast(5); }, R"("category": {"op": "atLeast", "values": [5]})"},
        {[](K& k) { k.SetCategoryAtMost(6); }, R"("category": {"op": "atMost", "values": [6]})"},
        {[](K& k) { k.SetCategoryRange(1, 9); },
         R"("category": {"op": "between", "values": [1, 9]})"},
        {[](K& k) { k.SetCategoryRange(8, 2, TRUE); },
         R"("category": {"op": "notBetween", "values": [8, 2]})"},
        {[](K& k) {
             k.SetCategoryList({1, 2, 3});
         },
         R"("category": {"op": "oneOf", "values": [1, 2, 3]})"},
        {[](K& k) { k.SetCategoryList({0}, TRUE); },
         R"("category": {"op": "notOneOf", "values": [0]})"},
        {[](K& k) { k.SetEventIDValue(4294967295u); },
         R"("eventId": {"op": "equal", "values": [4294967295]})"},
        {[](K& k) { k.SetEventIDRange(6005, 6009); },
         R"("eventId": {"op": "between", "values": [6005, 6009]})"},
        {[](K& k) { k.SetTypeValue(1); }, R"("type": {"op": "equal", "values": [1]})"},
        {[](K& k) { k.SetTypeList({3}, TRUE); }, R"("type": {"op": "notOneOf", "values": [3]})"},
        {[](K& k) { k.SetText("disk \"C:\" full"); },
         R"("text": {"op": "contains", "value": "disk \"C:\" full"})"},
        {[](K& k) { k.SetTextRegex("disk (C|D):"); },
         R"("text": {"op": "regex", "value": "disk (C|D):"})"},
        {[](K& k) { k.SetTextRegex("disk (C"); }, R"("text": {"op": "regex", "value": "disk (C"})"},
    };
    for (const CKeyCase& c : cases) {
        CSearchKeyEvent key;
        c.m_set(key);
        const std::string keyJson = std::string(R"({"kind": "event", )") + c.m_pszJson + "}";
        EXPECT_EQ(DumpedKey(key), WriteJson(ParseJson(keyJson)));
        EXPECT_EQ(LoadedKeyBytes(keyJson), StoreObjectToBytes(&key)) << c.m_pszJson;
    }
}

// Every kind of log with its members set to other values than the
// constructed ones (and any bytes where a text may hold them): the dump holds
// each member as given, loads to the same bytes, and so do the stored bytes.
TEST_F(WsJsonTest, WorkspaceOfEveryKindDumpsAndLoadsToTheSameBytes)
{
    const std::string eventGroup = R"([{"keys": [{"kind": "event",
      "source": {"op": "equal", "values": ["Srv"]}, "user": {"op": "notOneOf", "values": []},
      "computer": {"op": "notEqual", "values": ["SRV\udce9"]},
      "category": {"op": "between", "values": [1, 9]}, "eventId": {"op": "atMost", "values": [7]},
      "type": {"op": "oneOf", "values": [1, 2]}, "text": {"op": "contains", "value": "disk"}},
     {"kind": "event"}]}])";
    const std::string json = R"json({"logs": [
  {"kind": "text", "enabled": false, "interval": -5, "lastScanned": 0, "lastChanged": -1,
   "impersonate": true, "user": "svc", "passwordScrambled": "00000000000000006986",
   "domain": "CORP", "description": "Caf\udce9 log \"daily\"", "directory": "/var/log/app/",
   "fileName": "app.log", "position": 123, "lastSize": 4294967295, "formattedName": true,
   "template": "app-%Y%m%d.log",
   "groups": [{"description": "All modes", "minInterval": true, "minIntervalMinutes": 15,
     "threshold": true, "thresholdCount": 5, "thresholdSeconds": 600, "thresholdPer": "%MATCH:ip%",
     "silence": false, "silenceMinutes": 60, "silenceBy": "06:00", "silenceWeekdays": [1, 2, 3],
     "keys": [{"kind": "text", "key1": "key\u0000one\n", "key2": "\udcff\udcfe two"},
       {"kind": "text", "mode": "and", "caseSensitive": true, "key1": "a"},
       {"kind": "text", "mode": "or", "key1": "o"}, {"kind": "text", "mode": "andNot", "key1": "n"},
       {"kind": "regex", "pattern": "from (?P<ip>\\S+)"
},
       {"kind": "regex", "pattern": "broken (", "caseSensitive": true}],
     "task":
{
    "description" : "Page the operator",
                    "variables" : {"%MAILTO%" : "ops@example.org", "%PLACE%" : "Z\udcfcrich"},
                                  "actions" : [
                                      {"kind" : "message", "text" : "%EVENT_TEXT%\nline two"}, {
                                          "kind" : "writefile",
                                          "path" : "/tmp/%MAILTO%.txt",
                                          "text" : "%TASK_SEQ% %EVENT_TEXT%"
                                      },
                                      {
                                          "kind" : "run",
                                          "command" : "/usr/bin/logger -t quorvil %EVENT_TEXT%",
                                          "directory" : "/tmp",
                                          "wait" : true,
                                          "timeout" : 30
                                      }
                                  ]
}
},
    {}]
}
,
{"kind": "event", "computer": "SRV1", "log": "System", "lastRecord": 4294967295, "groups": )json" +
                             eventGroup + R"json(},
  {"kind": "journal", "directory": "/var/log/journal/remote",
   "matches": ["_SYSTEMD_UNIT=ssh.service", "+", "PRIORITY=0..3"],
   "cursor": "s=1;i=2;b=3;m=4;t=5;x=6", "readExisting": true, "groups": )json" +
                             eventGroup + R"json(},
  {"kind": "evtx", "path": "/srv/evtx/Security.evtx", "lastRecord": 4886718345}]})json";
    const std::string dump = RoundTrip(json);
    EXPECT_EQ(NotWithin(ParseJson(json), ParseJson(dump)), "") << dump;
}

// The alert actions and a digest with a running period beside a threshold, in
// the names the manual gives; the dump loads to the same workspace bytes.
TEST_F(WsJsonTest, AlertActionsAndDigestsRoundTrip)
{
    const std::string json = R"({"logs": [{"kind": "text", "groups": [{
      "threshold": true, "thresholdCount": 4, "thresholdSeconds": 60,
      "digest": true, "digestRuns": 3, "digestMinutes": 10,
      "digestState": {"periodStart": 1000, "runs": 3, "held": 2, "firstHeld": 1010,
                      "lastHeld": 1020, "variables": {"%EVENT_TEXT%": "last"}},
      "task": {"actions": [
        {"kind": "email", "server": "smtps://mail:465", "starttls": "never", "user": "qv",
         "password": "s3cret", "from": "quorvil@host", "to": ["a@example.org", "b@example.org"],
         "subject": "%EVENT_TEXT%", "body": "b", "timeout": 20, "verifyTls": true, "caFile": ""},
        {"kind": "webhook", "url": "https://chat/hook", "method": "PUT", "format": "slack",
         "body": "", "headers": ["Authorization: Bearer %PASSWORD%"],
         "passwordFile": "/etc/quorvil/hook.secret"},
        {"kind": "webhook", "url": "https://x/y", "passwordEnv": "HOOK_TOKEN"},
        {"kind": "syslog", "host": "logs.example.org", "port": 6514, "protocol": "tcp",
         "facility": "local4", "severity": "warning"},
        {"kind": "notification", "summary": "%EVENT_SHORTNAME%", "body": "%EVENT_TEXT%"}
      ]}}]}]})";
    const std::string dump = RoundTrip(json);
    EXPECT_EQ(dump.find("s3cret"), std::string::npos);
    EXPECT_EQ(Bytes(*WorkspaceFromJson(json)).find("s3cret"), std::string::npos);
    for (const char* member :
         {R"("thresholdCount": 4)", R"("digestMinutes": 10)", R"("held": 2)",
          R"("starttls": "never")", R"("passwordFile": "/etc/quorvil/hook.secret")",
          R"("passwordEnv": "HOOK_TOKEN")", R"("facility": "local4")", R"("severity": "warning")",
          R"("format": "slack")", R"("kind": "notification")"})
        EXPECT_NE(dump.find(member), std::string::npos) << member;
    EXPECT_EQ(WorkspaceToJson(*WorkspaceFromJson(dump)), dump);
    EXPECT_EQ(LoadFault(R"({"logs": [{"kind": "text", "groups": [{"task": {"actions": [
        {"kind": "syslog", "facility": "local9"}]}}]}]})"),
              "2:40: logs[0].groups[0].task.actions[0].facility: expected a facility name (kern "
              "... local7), found 'local9'");
}

TEST_F(WsJsonTest, PasswordsAreDumpedScrambledAndLoadedEitherWay)
{
    const auto workspace = [](const std::string& account) {
        return R"({"logs": [{"kind": "event", "impersonate": true, "user": "svc", )" + account +
               "}]}";
    };
    std::unique_ptr<CMonManager> pClear = WorkspaceFromJson(workspace(R"("password": "s3cret")"));
    EXPECT_EQ((*pClear->m_pLogs)[0]->m_strLogonPassword, "s3cret");
    const std::string dump = WorkspaceToJson(*pClear);
    EXPECT_NE(dump.find(R"("passwordScrambled": "3b5c10191c02")"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("s3cret"), std::string::npos);
    EXPECT_EQ(Bytes(*pClear).find("s3cret"), std::string::npos);

    std::unique_ptr<CMonManager> pScrambled =
        WorkspaceFromJson(workspace(R"("passwordScrambled": "3B5C10191C02")"));
    EXPECT_EQ((*pScrambled->m_pLogs)[0]->m_strLogonPassword, "s3cret");
    EXPECT_EQ(Bytes(*pScrambled), Bytes(*pClear));

    EXPECT_EQ(LoadFault(workspace(R"("password": "a", "passwordScrambled": "29")")),
              "1:103: logs[0]: give either 'password' or 'passwordScrambled', not both");
    for (const char* bad : {R"("passwordScrambled": "3b5")", R"("passwordScrambled": "zz")",
                            R"("passwordScrambled": 12)"}) {
        EXPECT_EQ(LoadFault(workspace(bad)),
                  "1:86: logs[0].passwordScrambled: expected a string of hexadecimal byte pairs");
    }
}

TEST_F(WsJsonTest, FaultsNameThePathAndThePlace)
{
    struct Case {
        std::string json;
        std::string what;
    };
    const Case cases[] = {
        {"{\"logs\": [{\"kind\": \"text\", \"groups\": [{},\n"
         "  {\"keys\": [{\"kind\": \"text\",\n"
         "     \"foo\": 1}]}]}]}",
         "3:6: logs[0].groups[1].keys[0]: unknown member 'foo'"},
        {R"({"logs": [], "version": 2})", "1:14: unknown member 'version'"},
        {R"([])", "1:1: expected an object, found an array"},
        {R"({"logs": {}})", "1:10: logs: expected an array, found an object"},
        {R"({"logs": [{"enabled": true}]})", "1:11: logs[0]: missing member 'kind'"},
        {R"({"logs": [{"kind": "Text"}]})",
         "1:20: logs[0].kind: expected one of text, event, journal, evtx, found 'Text'"},
        {R"({"logs": [{"kind": "journal", "matches": ["ssh"]}]})",
         "1:42: logs[0].matches: 'ssh' is not a match of the form FIELD=value"},
        {R"({"logs": [{"kind": "journal", "matches": [3]}]})",
         "1:43: logs[0].matches[0]: expected a match such as \"_SYSTEMD_UNIT=ssh.service\""},
        {R"({"logs": [{"kind": "text", "computer": "SRV1"}]})",
         "1:28: logs[0]: unknown member 'computer'"},
        {R"({"logs": [{"kind": "event", "enabled": 1}]})",
         "1:40: logs[0].enabled: expected true or false, found a number"},
        {R"({"logs": [{"kind": "event", "interval": 1.5}]})",
         "1:41: logs[0].interval: expected a whole number from -2147483648 to 2147483647, found "
         "1.5"},
        {R"({"logs": [{"kind": "event", "lastRecord": -1}]})",
         "1:43: logs[0].lastRecord: expected a whole number from 0 to 4294967295, found -1"},
        {R"({"logs": [{"kind": "event", "lastRecord": 4294967296}]})",
         "1:43: logs[0].lastRecord: expected a whole number from 0 to 4294967295, found "
         "4294967296"},
        {R"({"logs": [{"kind": "event", "interval": "5"}]})",
         "1:41: logs[0].interval: expected a whole number from -2147483648 to 2147483647, found "
         "'5'"},
        {R"({"logs": [{"kind": "event", "groups": [{"keys": [{"kind": "event", "source": {"op": "between", "values": ["a", "b"]}}]}]}]})",
         "1:85: logs[0].groups[0].keys[0].source.op: expected one of equal, notEqual, oneOf, "
         "notOneOf, found 'between'"},
        {R"({"logs": [{"kind": "event", "groups": [{"keys": [{"kind": "event", "eventId": {"op": "equal", "values": [1, 2]}}]}]}]})",
         "1:79: logs[0].groups[0].keys[0].eventId: operator 'equal' takes 1 value, not 2"},
        {R"({"logs": [{"kind": "event", "groups": [{"keys": [{"kind": "event", "user": {"op": "oneOf", "values": [1]}}]}]}]})",
         "1:103: logs[0].groups[0].keys[0].user.values[0]: expected a string, found a number"},
        {R"({"logs": [{"kind": "text", "groups": [{"task": {"variables": {"%EVENT_TEXT%": "x"}}}]}]})",
         "1:63: logs[0].groups[0].task.variables['%EVENT_TEXT%']: filled by each trigger, never "
         "kept in the task"},
        {R"({"logs": [{"kind": "text", "groups": [{"task": {"actions": [{"kind": "message", "text": "a\u0000b"}]}}]}]})",
         "1:89: logs[0].groups[0].task.actions[0].text: a task text cannot hold a NUL byte"},
        {R"({"logs": [{"kind": "text", "groups": [{"task": {"actions": [{"kind": "beep"}]}}]}]})",
         "1:70: logs[0].groups[0].task.actions[0].kind: expected one of message, writefile, run, "
         "email, webhook, syslog, notification, "
         "found 'beep'"},
        {R"({"logs": [{"kind": "text", "kind": "event"}]})", "1:28: duplicate member \"kind\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadFault(c.json), c.what) << c.json;
}

TEST_F(WsJsonTest, DumpRefusesWhatTheJsonFormCannotHold)
{
    using K = CSearchKeyEvent;
    struct Case {
        std::function<void(K&)> m_damage;
        const char* m_pszWhat;
    };
    const Case cases[] = {
        {[](K& k) { k.m_dwOperators = OP_BETWEEN << KEY_SHIFT_SOURCE; },
         "logs[0].groups[0].keys[0].source: operator code 5 is none of equal, notEqual, oneOf, "
         "notOneOf"},
        {[](K& k) { k.m_arrUsers = {"left over"}; },
         "logs[0].groups[0].keys[0].user: values without an operator"},
    };
    for (const Case& c : cases) {
        CSearchKeyEvent key;
        c.m_damage(key);
        EXPECT_EQ(DumpFault(*WorkspaceWithKey(key)), c.m_pszWhat);
    }
    CSearchKeyText textKey;
    textKey.m_nMode = static_cast<TextKeyMode>(7);
    EXPECT_EQ(DumpFault(*WorkspaceWithKey(textKey)),
              "logs[0].groups[0].keys[0]: mode 7 is none of only, and, or, andNot");

    // A task text holding a NUL byte, as only a file can give it.
    CDisplayMessage message;
    message.SetMessage("a");
    CTask task;
    task.AddAction(message);
    std::string record = StoreObjectToBytes(&task);
    record.replace(record.rfind("\001a"), 2, "\003a\0b"s);
    std::unique_ptr<CMonManager> pManager = WorkspaceWithKey(CSearchKeyText());
    (*pManager->m_pLogs)[0]->GetWatchGroup(0)->m_task =
        static_cast<const CTask&>(*LoadObjectFromBytes(record, RUNTIME_CLASS(CTask)));
    EXPECT_EQ(DumpFault(*pManager), "logs[0].groups[0].task.actions[0].text: holds a NUL byte, "
                                    "which a task text cannot keep");
}

TEST_F(WsJsonTest, MissingMembersTakeTheConstructedValues)
{
    std::unique_ptr<CMonManager> pLoaded = WorkspaceFromJson(
        R"({"logs": [{"kind": "text", "groups": [{"keys": [{"kind": "text"}, {"kind": "event"}], "task": {}}]},
                     {"kind": "event", "groups": [{"task": {"actions": [{"kind": "message"}, {"kind": "writefile"},
                                                                       {"kind": "run"}]}}]}]})");
    CMonManager built;
    auto* pText = new CFileMonitor;
    auto* pGroup = new CKeysAndActions;
    pGroup->AddKey(new CSearchKeyText);
    pGroup->AddKey(new CSearchKeyEvent);
    pText->AddWatchGroup(pGroup);
    built.AddLog(pText);
    auto* pEvent = new CEventMonitor;
    pGroup = new CKeysAndActions;
    pGroup->m_task.AddAction(CDisplayMessage());
    pGroup->m_task.AddAction(CWriteToFile());
    pGroup->m_task.AddAction(CRunProgram());
    pEvent->AddWatchGroup(pGroup);
    built.AddLog(pEvent);
    EXPECT_EQ(Bytes(*pLoaded), Bytes(built));
    EXPECT_EQ(Bytes(*WorkspaceFromJson("{}")), Bytes(CMonManager()));
}

} // namespace
