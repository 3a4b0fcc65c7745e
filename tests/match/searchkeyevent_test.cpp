#include "archive/globalarchive.h"
#include "match/matchclasses.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "testing.h"
#include "tests/support/bytes.h"

namespace {

using KeySetup = std::function<void(CSearchKeyEvent&)>;

// The start of every event key record: its class, the base's class and the
// base's version.
CBytes Head()
{
    return CBytes().newClass("CSearchKeyEvent", 2).newClass("CSearchKey", 1).d(1);
}

// Source Srv, user alice, computer PC1, category 5, event ID 150 with
// qualifier bits, a warning.
CEventStruct MakeEvent()
{
    CEventStruct e;
    e.m_strSource = "Srv";
    e.m_strUser = "alice";
    e.m_strComputer = "PC1";
    e.m_nCategory = 5;
    e.m_nEventID = 0xC0000096;
    e.m_nEventType = EVENTLOG_WARNING_TYPE;
    return e;
}

std::unique_ptr<CSearchKeyEvent> Load(const std::string& bytes)
{
    RegisterMatchClasses();
    auto object = LoadObjectFromBytes(bytes, RUNTIME_CLASS(CSearchKeyEvent));
    return std::unique_ptr<CSearchKeyEvent>(static_cast<CSearchKeyEvent*>(object.release()));
}

// Strings and numbers share one test each: every operator runs on one field
// of each kind, the other fields once to show they read their own value.
TEST(SearchKeyEvent, OperatorsOnEveryField)
{
    const std::tuple<const char*, KeySetup, bool> cases[] = {
        {"no field set", [](auto&) {}, true},
        {"source equal", [](auto& k) { k.SetSourceValue("Srv"); }, true},
        {"source equal, other case", [](auto& k) { k.SetSourceValue("srv"); }, false},
        {"source not equal", [](auto& k) { k.SetSourceValue("Srv", TRUE); }, false},
        {"source one of",
         [](auto& k) {
             k.SetSourceList({"Disk", "Srv"});
         },
         true},
        {"source one of, empty", [](auto& k) { k.SetSourceList({}); }, false},
        {"source not one of, empty", [](auto& k) { k.SetSourceList({}, TRUE); }, true},
        {"source not one of", [](auto& k) { k.SetSourceList({"Srv"}, TRUE); }, false},
        {"user not equal", [](auto& k) { k.SetUserValue("bob", TRUE); }, true},
        {"computer equal, other case", [](auto& k) { k.SetComputerValue("pc1"); }, false},
        {"category not equal", [](auto& k) { k.SetCategoryValue(5, TRUE); }, false},
        {"category at least, bound", [](auto& k) { k.SetCategoryAtLeast(5); }, true},
        {"category at least, unsigned", [](auto& k) { k.SetCategoryAtLeast(0x80000000); }, false},
        {"category at most below", [](auto& k) { k.SetCategoryAtMost(4); }, false},
        {"category between, low bound", [](auto& k) { k.SetCategoryRange(5, 9); }, true},
        {"category between above", [](auto& k) { k.SetCategoryRange(6, 9); }, false},
        {"category not between, high bound", [](auto& k) { k.SetCategoryRange(1, 5, TRUE); },
         false},
        {"category not one of, empty", [](auto& k) { k.SetCategoryList({}, TRUE); }, true},
        {"event ID equal, low 16 bits", [](auto& k) { k.SetEventIDValue(150); }, true},
        {"event ID equal, full identifier", [](auto& k) { k.SetEventIDValue(0xC0000096); }, false},
        {"event ID between, high bound", [](auto& k) { k.SetEventIDRange(100, 150); }, true},
        {"event ID one of",
         [](auto& k) {
             k.SetEventIDList({7, 150});
         },
         true},
        {"type not one of",
         [](auto& k) {
             k.SetTypeList({1, 2}, TRUE);
         },
         false},
        {"text contains across words, other case", [](auto& k) { k.SetText("full NOW"); }, true},
        {"text regex, other case", [](auto& k) { k.SetTextRegex("disk (c|d):"); }, true},
        {"text regex, case asked for", [](auto& k) { k.SetTextRegex("(?-i)disk (c|d):"); }, false},
        {"text regex broken", [](auto& k) { k.SetTextRegex("(disk"); }, false},
        {"text not contained", [](auto& k) { k.SetText("empty"); }, false},
        {"text empty", [](auto& k) { k.SetText(""); }, true},
        // Values a damaged file may leave short.
        {"equal without a value", [](auto& k) { k.m_dwOperators = OP_EQUAL; }, false},
        {"between with one value",
         [](auto& k) {
             k.m_arrEventIDs = {100};
             k.m_dwOperators = OP_BETWEEN << KEY_SHIFT_EVENTID;
         },
         false},
        // Several fields: every set field must pass.
        {"every field but the text passes",
         [](auto& k) {
             k.SetSourceValue("Srv");
             k.SetUserList({"alice"});
             k.SetComputerValue("X", TRUE);
             k.SetCategoryAtMost(5);
             k.SetEventIDList({150});
             k.SetTypeValue(2);
             k.SetText("FULLY");
         },
         false},
    };
    const CPreparedLine text("Disk C: is FULL now");
    for (const auto& [name, setup, match] : cases) {
        CSearchKeyEvent key;
        setup(key);
        EXPECT_EQ(key.Match(MakeEvent(), text), match ? TRUE : FALSE) << name;
    }
    CSearchKeyEvent all;
    std::get<1>(cases[std::size(cases) - 1])(all);
    all.SetText("FULL");
    EXPECT_TRUE(all.Match(MakeEvent(), "Disk C: is FULL now")) << "every field passes";
}

TEST(SearchKeyEvent, SettersClearTheirFieldAndPlaceTheOperators)
{
    CSearchKeyEvent key;
    key.SetSourceList({"a", "b"});
    key.SetSourceValue("Srv");
    key.SetUserList({"u1", "u2"}, TRUE);
    key.SetComputerValue("PC", TRUE);
    key.SetCategoryRange(9, 3, TRUE);
    key.SetEventIDList({1, 2, 3});
    key.SetEventIDAtMost(4);
    key.SetTypeList({1, 16});
    key.SetText("disk");
    EXPECT_EQ(key.m_dwOperators, 0x01746281u);
    EXPECT_EQ(key.m_arrSources, std::vector<std::string>{"Srv"});
    EXPECT_EQ(key.m_arrCategories, (std::vector<DWORD>{9, 3})) << "kept in the order given";
    EXPECT_EQ(key.m_arrEventIDs, std::vector<DWORD>{4});

    key.ClearCategory();
    key.ClearText();
    key.ClearUser();
    EXPECT_EQ(std::tuple(key.m_dwOperators, key.m_arrCategories.size(), key.m_arrUsers.size(),
                         key.m_strText),
              std::tuple(0x00740201u, 0u, 0u, ""));
    key.ClearSource();
    key.ClearComputer();
    key.ClearEventID();
    key.ClearType();
    EXPECT_EQ(key.m_dwOperators, 0u);
}

TEST(SearchKeyEvent, Descriptions)
{
    const std::pair<KeySetup, const char*> cases[] = {
        {[](auto&) {}, ""},
        {[](auto& k) {
             k.SetText("disk");
             k.SetTypeList({1, 16});
             k.SetEventIDAtLeast(100);
             k.SetComputerList({"A", "B"}, TRUE);
             k.SetCategoryRange(1, 5);
             k.SetUserValue("bob", TRUE);
             k.SetSourceValue("Srv");
         },
         "Source is equal to 'Srv', User is not equal to 'bob', Category ID is between 1 and 5, "
         "Computer is not one of {A,B}, Event ID is greater than or equal to 100, Event Type is "
         "one of {'Error','Audit Fail'}, Event Text contains 'disk'"},
        {[](auto& k) { k.SetText(""); }, "Event Text contains <Not set>"},
    };
    for (const auto& [setup, description] : cases) {
        CSearchKeyEvent key;
        setup(key);
        EXPECT_EQ(key.GetDescription(), description);
    }
}

// Only a key with a regular-expression text test takes the new version.
TEST(SearchKeyEvent, RegexTextIsStoredAsVersion3)
{
    CSearchKeyEvent key;
    key.SetTextRegex("disk (c|d):");
    CBytes expected = Head();
    expected.d(3).d(OP_REGEX << KEY_SHIFT_TEXT).w(0).w(0).w(0).w(0).w(0).w(0).str("disk (c|d):");
    EXPECT_EQ(StoreObjectToBytes(&key), expected.s);
}

TEST(SearchKeyEvent, Version1RecordsAreConverted)
{
    auto v1 = [](DWORD mask, WORD type) {
        CBytes b = Head();
        b.d(1).d(mask).d(5).d(150).str("PC1").str("Srv").str("alice").w(type).str("full");
        return b.s;
    };
    const DWORD all =
        EVF_SOURCE | EVF_CATEGORY | EVF_USER | EVF_COMPUTER | EVF_EVENTID | EVF_EVENTTYPE | 0x200;
    // The mask, the types, the description, and whether the key matches
    // MakeEvent() with the text "Disk is full".
    const std::tuple<DWORD, WORD, const char*, bool> cases[] = {
        {all, 999,
         "Source is equal to 'Srv', User is equal to 'alice', Category ID is equal to 5, Computer "
         "is equal to 'PC1', Event ID is equal to 150, Event Type is one of {'Error','Warning',"
         "'Information','Audit Success','Audit Fail'}, Event Text contains 'full'",
         true},
        {EVF_EVENTTYPE, 0, "Event Type is one of {}", false},
        {EVF_EVENTTYPE, 2, "Event Type is one of {'Warning'}", true},
        {EVF_SOURCE | 0x200, 4, "Source is equal to 'Srv', Event Text contains 'full'", true},
        // Bits of fields a key cannot test are ignored.
        {EVF_TIMEGENERATED | EVF_RECORDNUMBER, 4, "", true},
    };
    for (const auto& [mask, type, description, match] : cases) {
        auto key = Load(v1(mask, type));
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(std::pair(key->GetDescription(), key->Match(MakeEvent(), "Disk is full")),
                  std::pair(std::string(description), match ? TRUE : FALSE))
            << std::hex << mask << " " << std::dec << type;
    }

    // Stored again, a converted key has the version 2 layout.
    auto converted = Load(v1(EVF_SOURCE | EVF_EVENTTYPE, 999));
    CSearchKeyEvent same;
    same.SetSourceValue("Srv");
    same.SetTypeList({1, 2, 4, 8, 16});
    EXPECT_EQ(StoreObjectToBytes(converted.get()), StoreObjectToBytes(&same));
}

TEST(SearchKeyEvent, CloneAndAssignCopyEveryField)
{
    CSearchKeyEvent key;
    key.SetUserList({"alice", "bob"}, TRUE);
    key.SetCategoryAtLeast(2);
    key.SetText("x");
    key.m_nHits = 3;

    std::unique_ptr<CSearchKey> clone = key.Clone();
    auto* copy = dynamic_cast<CSearchKeyEvent*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::pair(copy->GetDescription(), copy->m_nHits.load()),
              std::pair(key.GetDescription(), 3));

    CSearchKeyEvent other;
    other.Assign(key);
    EXPECT_EQ(std::tuple(other.m_dwOperators, other.m_arrUsers, other.m_nHits.load()),
              std::tuple(key.m_dwOperators, key.m_arrUsers, 3));
}

} // namespace
