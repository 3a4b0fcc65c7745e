#include <functional>

#include <gtest/gtest.h>

#include "archive/globalarchive.h"
#include "match/matchclasses.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "platform/clipboard/clipboard.h"

namespace {

using KeySetup = std::function<void(CSearchKeyEvent&)>;

struct CKeyBytes {
    std::string s;
    CKeyBytes& w(WORD v)
    {
        s.push_back(static_cast<char>(v));
        s.push_back(static_cast<char>(v >> 8));
        return *this;
    }
    CKeyBytes& d(DWORD v) { return w(static_cast<WORD>(v)).w(static_cast<WORD>(v >> 16)); }
    CKeyBytes& str(std::string_view v)
    {
        s.push_back(static_cast<char>(v.size()));
        s += v;
        return *this;
    }
    CKeyBytes& newClass(std::string_view name, WORD schema)
    {
        w(0xFFFF).w(schema).w(static_cast<WORD>(name.size()));
        s += name;
        return *this;
    }
    // The start of every event key record: its class, the base's class and
    // the base's version.
    CKeyBytes& head() { return newClass("CSearchKeyEvent", 2).newClass("CSearchKey", 1).d(1); }
};

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

TEST(SearchKeyEvent, OperatorsOnEveryField)
{
    auto ops = [](DWORD shift, DWORD op) {
        return [=](CSearchKeyEvent& k) { k.m_dwOperators |= op << shift; };
    };
    struct Case {
        const char* name;
        KeySetup setup;
        bool match;
        std::function<void(CEventStruct&)> change = nullptr;
    } cases[] = {
        {"no field set", [](auto&) {}, true},
        {"source equal", [](auto& k) { k.SetSourceValue("Srv"); }, true},
        {"source equal, other case", [](auto& k) { k.SetSourceValue("srv"); }, false},
        {"source not equal", [](auto& k) { k.SetSourceValue("Srv", TRUE); }, false},
        {"source not equal other", [](auto& k) { k.SetSourceValue("Disk", TRUE); }, true},
        {"source one of",
         [](auto& k) {
             k.SetSourceList({"Disk", "Srv"});
         },
         true},
        {"source one of, empty", [](auto& k) { k.SetSourceList({}); }, false},
        {"source not one of, empty", [](auto& k) { k.SetSourceList({}, TRUE); }, true},
        {"source not one of", [](auto& k) { k.SetSourceList({"Srv"}, TRUE); }, false},
        {"source with a numeric code",
         [](auto& k) {
             k.SetSourceValue("Srv");
             k.m_dwOperators = OP_AT_LEAST;
         },
         false},
        {"user equal", [](auto& k) { k.SetUserValue("alice"); }, true},
        {"user not equal", [](auto& k) { k.SetUserValue("bob", TRUE); }, true},
        {"user one of", [](auto& k) { k.SetUserList({"bob"}); }, false},
        {"user not one of", [](auto& k) { k.SetUserList({"bob"}, TRUE); }, true},
        {"computer equal", [](auto& k) { k.SetComputerValue("PC1"); }, true},
        {"computer equal, other case", [](auto& k) { k.SetComputerValue("pc1"); }, false},
        {"computer one of",
         [](auto& k) {
             k.SetComputerList({"PC2", "PC1"});
         },
         true},
        {"computer not one of", [](auto& k) { k.SetComputerList({"PC1"}, TRUE); }, false},
        {"category equal", [](auto& k) { k.SetCategoryValue(5); }, true},
        {"category not equal", [](auto& k) { k.SetCategoryValue(5, TRUE); }, false},
        {"category at least, bound", [](auto& k) { k.SetCategoryAtLeast(5); }, true},
        {"category at least above", [](auto& k) { k.SetCategoryAtLeast(6); }, false},
        {"category at least, unsigned", [](auto& k) { k.SetCategoryAtLeast(0x80000000); }, false},
        {"category at most, bound", [](auto& k) { k.SetCategoryAtMost(5); }, true},
        {"category at most below", [](auto& k) { k.SetCategoryAtMost(4); }, false},
        {"category between, low bound", [](auto& k) { k.SetCategoryRange(5, 9); }, true},
        {"category between above", [](auto& k) { k.SetCategoryRange(6, 9); }, false},
        {"category not between", [](auto& k) { k.SetCategoryRange(6, 9, TRUE); }, true},
        {"category not between, high bound", [](auto& k) { k.SetCategoryRange(1, 5, TRUE); },
         false},
        {"category one of",
         [](auto& k) {
             k.SetCategoryList({1, 5});
         },
         true},
        {"category one of, empty", [](auto& k) { k.SetCategoryList({}); }, false},
        {"category not one of, empty", [](auto& k) { k.SetCategoryList({}, TRUE); }, true},
        {"event ID equal, low 16 bits", [](auto& k) { k.SetEventIDValue(150); }, true},
        {"event ID equal, full identifier", [](auto& k) { k.SetEventIDValue(0xC0000096); }, false},
        {"event ID not equal", [](auto& k) { k.SetEventIDValue(150, TRUE); }, false},
        {"event ID at least", [](auto& k) { k.SetEventIDAtLeast(150); }, true},
        {"event ID at most", [](auto& k) { k.SetEventIDAtMost(149); }, false},
        {"event ID between", [](auto& k) { k.SetEventIDRange(100, 200); }, true},
        {"event ID between, high bound", [](auto& k) { k.SetEventIDRange(100, 150); }, true},
        {"event ID between below", [](auto& k) { k.SetEventIDRange(151, 200); }, false},
        {"event ID not between", [](auto& k) { k.SetEventIDRange(100, 149, TRUE); }, true},
        {"event ID one of",
         [](auto& k) {
             k.SetEventIDList({7, 150});
         },
         true},
        {"event ID not one of", [](auto& k) { k.SetEventIDList({150}, TRUE); }, false},
        {"event ID with an unknown code", ops(KEY_SHIFT_EVENTID, 9), false},
        {"type equal", [](auto& k) { k.SetTypeValue(EVENTLOG_WARNING_TYPE); }, true},
        {"type not equal", [](auto& k) { k.SetTypeValue(EVENTLOG_WARNING_TYPE, TRUE); }, false},
        {"type one of",
         [](auto& k) {
             k.SetTypeList({1, 2});
         },
         true},
        {"type not one of",
         [](auto& k) {
             k.SetTypeList({1, 2}, TRUE);
         },
         false},
        {"type one of, empty", [](auto& k) { k.SetTypeList({}); }, false},
        {"type not one of, empty", [](auto& k) { k.SetTypeList({}, TRUE); }, true},
        {"type with a range code",
         [](auto& k) {
             k.m_arrTypes = {1, 4};
             k.m_dwOperators = OP_BETWEEN << KEY_SHIFT_TYPE;
         },
         false},
        {"text contains, other case", [](auto& k) { k.SetText("disk c:"); }, true},
        {"text contains across words", [](auto& k) { k.SetText("full NOW"); }, true},
        {"text not contained", [](auto& k) { k.SetText("empty"); }, false},
        {"text empty", [](auto& k) { k.SetText(""); }, true},
        {"text with another code",
         [](auto& k) {
             k.SetText("disk");
             k.m_dwOperators = OP_NOT_EQUAL << KEY_SHIFT_TEXT;
         },
         false},
        // Values a damaged file may leave short.
        {"equal without a value", ops(KEY_SHIFT_SOURCE, OP_EQUAL), false},
        {"not equal without a value", ops(KEY_SHIFT_CATEGORY, OP_NOT_EQUAL), false},
        {"between with one value",
         [](auto& k) {
             k.m_arrEventIDs = {100};
             k.m_dwOperators = OP_BETWEEN << KEY_SHIFT_EVENTID;
         },
         false},
        // Several fields: every set field must pass.
        {"source and event ID range",
         [](auto& k) {
             k.SetSourceValue("Srv");
             k.SetEventIDRange(100, 200);
         },
         true},
        {"source and event ID range, ID 201",
         [](auto& k) {
             k.SetSourceValue("Srv");
             k.SetEventIDRange(100, 200);
         },
         false, [](CEventStruct& e) { e.m_nEventID = 201; }},
        {"source and event ID range, source srv",
         [](auto& k) {
             k.SetSourceValue("Srv");
             k.SetEventIDRange(100, 200);
         },
         false, [](CEventStruct& e) { e.m_strSource = "srv"; }},
        {"every field passes",
         [](auto& k) {
             k.SetSourceValue("Srv");
             k.SetUserList({"alice"});
             k.SetComputerValue("X", TRUE);
             k.SetCategoryAtMost(5);
             k.SetEventIDList({150});
             k.SetTypeValue(2);
             k.SetText("FULL");
         },
         true},
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
    for (const Case& c : cases) {
        CSearchKeyEvent key;
        c.setup(key);
        CEventStruct event = MakeEvent();
        if (c.change)
            c.change(event);
        EXPECT_EQ(key.Match(event, text), c.match ? TRUE : FALSE) << c.name;
        EXPECT_EQ(key.Match(event, "Disk C: is FULL now"), c.match ? TRUE : FALSE) << c.name;
    }
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
    const std::pair<DWORD, DWORD> readers[] = {
        {key.GetSourceOperator(), OP_EQUAL},       {key.GetUserOperator(), OP_NOT_ONE_OF},
        {key.GetComputerOperator(), OP_NOT_EQUAL}, {key.GetCategoryOperator(), OP_NOT_BETWEEN},
        {key.GetEventIDOperator(), OP_AT_MOST},    {key.GetTypeOperator(), OP_ONE_OF},
        {key.GetTextOperator(), OP_EQUAL}};
    for (const auto& [got, want] : readers)
        EXPECT_EQ(got, want);

    key.ClearCategory();
    key.ClearText();
    key.ClearUser();
    EXPECT_EQ(key.m_dwOperators, 0x00740201u);
    EXPECT_TRUE(key.m_arrCategories.empty());
    EXPECT_TRUE(key.m_arrUsers.empty());
    EXPECT_EQ(key.m_strText, "");
    key.ClearSource();
    key.ClearComputer();
    key.ClearEventID();
    key.ClearType();
    EXPECT_EQ(key.m_dwOperators, 0u);
}

TEST(SearchKeyEvent, Descriptions)
{
    struct Case {
        KeySetup setup;
        const char* description;
    } cases[] = {
        {[](auto&) {}, ""},
        {[](auto& k) {
             k.SetSourceList({"Srv", "Disk"});
             k.SetEventIDValue(7);
         },
         "Source is one of {Srv,Disk}, Event ID is equal to 7"},
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
         "Computer is not one of "
         "{A,B}, Event ID is greater than or equal to 100, Event Type is one of {'Error','Audit "
         "Fail'}, Event Text "
         "contains 'disk'"},
        {[](auto& k) { k.SetText(""); }, "Event Text contains <Not set>"},
        {[](auto& k) { k.SetTypeValue(16); }, "Event Type is equal to 'Audit Fail'"},
        {[](auto& k) { k.SetTypeValue(3, TRUE); }, "Event Type is not equal to ''"},
        {[](auto& k) {
             k.SetTypeList({4, 8, 2}, TRUE);
         },
         "Event Type is not one of {'Information','Audit Success','Warning'}"},
        {[](auto& k) { k.SetCategoryRange(2, 4, TRUE); }, "Category ID is not between 2 and 4"},
        {[](auto& k) { k.SetCategoryAtMost(4294967295u); },
         "Category ID is less than or equal to 4294967295"},
        {[](auto& k) {
             k.SetCategoryList({1, 2}, TRUE);
         },
         "Category ID is not one of {1,2}"},
        {[](auto& k) { k.SetEventIDValue(9, TRUE); }, "Event ID is not equal to 9"},
        {[](auto& k) { k.SetUserList({}); }, "User is one of {}"},
        {[](auto& k) { k.SetComputerValue(""); }, "Computer is equal to ''"},
        // A code the field does not take describes as nothing and adds no
        // separator.
        {[](auto& k) {
             k.SetSourceValue("x");
             k.m_dwOperators = OP_BETWEEN;
             k.SetEventIDValue(1);
         },
         "Event ID is equal to 1"},
    };
    for (const Case& c : cases) {
        CSearchKeyEvent key;
        c.setup(key);
        EXPECT_EQ(key.GetDescription(), c.description);
    }
}

TEST(SearchKeyEvent, StoredFormRoundTrip)
{
    CSearchKeyEvent key;
    key.SetSourceList({"Srv", "Disk"});
    key.SetCategoryValue(3);
    key.SetEventIDRange(100, 200, TRUE);
    key.SetTypeValue(1);
    key.SetText("disk full");
    key.m_nHits = 4;

    CKeyBytes expected;
    expected.head().d(2).d(key.m_dwOperators);
    expected.w(2).str("Srv").str("Disk").w(0).w(0);
    expected.w(2).d(100).d(200).w(1).d(3).w(1).d(1);
    expected.str("disk full");
    const std::string stored = StoreObjectToBytes(&key);
    EXPECT_EQ(stored, expected.s);

    auto back = Load(stored);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->m_nHits.load(), 0);
    EXPECT_EQ(back->m_dwOperators, key.m_dwOperators);
    EXPECT_EQ(back->m_arrSources, key.m_arrSources);
    EXPECT_EQ(back->m_arrEventIDs, key.m_arrEventIDs);
    EXPECT_EQ(back->m_strText, "disk full");
    EXPECT_EQ(StoreObjectToBytes(back.get()), stored);

    // A later version is read as this layout; a truncated record fails.
    CKeyBytes v3;
    v3.head().d(3).d(OP_EQUAL).w(1).str("Srv").w(0).w(0).w(0).w(0).w(0).str("");
    EXPECT_EQ(Load(v3.s)->GetDescription(), "Source is equal to 'Srv'");
    EXPECT_THROW(Load(stored.substr(0, stored.size() - 3)), CArchiveException);
}

TEST(SearchKeyEvent, Version1RecordsAreConverted)
{
    auto v1 = [](DWORD mask, WORD type) {
        CKeyBytes b;
        b.head().d(1).d(mask).d(5).d(150).str("PC1").str("Srv").str("alice").w(type).str("full");
        return b.s;
    };
    const DWORD all =
        EVF_SOURCE | EVF_CATEGORY | EVF_USER | EVF_COMPUTER | EVF_EVENTID | EVF_EVENTTYPE | 0x200;
    struct Case {
        DWORD mask;
        WORD type;
        const char* description;
        bool match; // against MakeEvent() with the text "Disk is full"
    } cases[] = {
        {all, 999,
         "Source is equal to 'Srv', User is equal to 'alice', Category ID is equal to 5, Computer "
         "is equal to 'PC1', "
         "Event ID is equal to 150, Event Type is one of {'Error','Warning','Information','Audit "
         "Success','Audit "
         "Fail'}, Event Text contains 'full'",
         true},
        {EVF_EVENTTYPE, 3, "Event Type is one of {}", false},
        {EVF_EVENTTYPE, 0, "Event Type is one of {}", false},
        {EVF_EVENTTYPE, 2, "Event Type is one of {'Warning'}", true},
        {EVF_EVENTTYPE, 16, "Event Type is one of {'Audit Fail'}", false},
        {EVF_SOURCE | 0x200, 4, "Source is equal to 'Srv', Event Text contains 'full'", true},
        // Bits of fields a key cannot test are ignored.
        {EVF_TIMEGENERATED | EVF_RECORDNUMBER, 4, "", true},
    };
    for (const Case& c : cases) {
        auto key = Load(v1(c.mask, c.type));
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->GetDescription(), c.description)
            << std::hex << c.mask << " " << std::dec << c.type;
        EXPECT_EQ(key->Match(MakeEvent(), "Disk is full"), c.match ? TRUE : FALSE) << c.description;
    }

    // Stored again, a converted key has the version 2 layout.
    auto converted = Load(v1(EVF_SOURCE | EVF_EVENTTYPE, 999));
    CSearchKeyEvent same;
    same.SetSourceValue("Srv");
    same.SetTypeList({1, 2, 4, 8, 16});
    EXPECT_EQ(StoreObjectToBytes(converted.get()), StoreObjectToBytes(&same));
}

TEST(SearchKeyEvent, CloneAssignResetAndClipboard)
{
    CSearchKeyEvent key;
    key.SetUserList({"alice", "bob"}, TRUE);
    key.SetCategoryAtLeast(2);
    key.SetText("x");
    key.m_nHits = 3;

    std::unique_ptr<CSearchKey> clone = key.Clone();
    auto* copy = dynamic_cast<CSearchKeyEvent*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetDescription(), key.GetDescription());
    EXPECT_EQ(copy->m_nHits.load(), 3);

    CSearchKeyEvent other;
    other.Assign(key);
    other.Assign(other);
    EXPECT_EQ(other.m_dwOperators, key.m_dwOperators);
    EXPECT_EQ(other.m_arrUsers, key.m_arrUsers);
    EXPECT_EQ(other.m_nHits.load(), 3);

    other.Reset();
    EXPECT_EQ(other.m_dwOperators, 0u);
    EXPECT_EQ(other.m_nHits.load(), 0);
    EXPECT_TRUE(other.m_arrUsers.empty() && other.m_arrCategories.empty() &&
                other.m_strText.empty());
    EXPECT_EQ(other.GetDescription(), "");

    RegisterMatchClasses();
    EXPECT_EQ(key.GetClipFormat(), RegisterClipboardFormat("CF_BN_SEARCHKEYEVENT"));
    EXPECT_NE(key.GetClipFormat(), CSearchKeyText().GetClipFormat());
    CGlobalMemory memory = key.CopyToGlobalMemory();
    std::unique_ptr<CSearchKey> pasted = CSearchKey::FromGlobalMemory(memory);
    ASSERT_NE(dynamic_cast<CSearchKeyEvent*>(pasted.get()), nullptr);
    EXPECT_EQ(pasted->GetDescription(), key.GetDescription());
    EXPECT_EQ(pasted->m_nHits.load(), 0);
}

} // namespace
