#include "archive/archive.h"
#include "archive/globalarchive.h"
#include "testing.h"
#include "tests/archive/testgraph.h"
#include "tests/support/bytes.h"

namespace {

class ArchiveTest : public testing::Test {
protected:
    void SetUp() override { RegisterTestGraphClasses(); }
};

std::string Store(const std::function<void(CArchive&)>& write)
{
    CMemFile file(4096);
    CArchive ar(&file, CArchive::store);
    write(ar);
    ar.Close();
    std::size_t n = file.GetLength();
    std::string bytes = file.Detach();
    bytes.resize(n);
    return bytes;
}

std::unique_ptr<CTestLeaf> MakeLeaf(LONG value, std::string name)
{
    auto p = std::make_unique<CTestLeaf>();
    p->m_nValue = value;
    p->m_strName = std::move(name);
    p->m_time = CTime(1000000000);
    p->m_arrTags = {"a", ""};
    p->m_arrNumbers = {7};
    return p;
}

std::unique_ptr<CTestGroup> MakeGraph()
{
    auto g = std::make_unique<CTestGroup>();
    g->m_strName = "outer";
    g->m_arrItems.push_back(MakeLeaf(1, "first"));
    g->m_arrItems.push_back(MakeLeaf(-2, std::string(300, 'x')));
    auto plain = std::make_unique<CTestItem>();
    plain->m_nValue = 3;
    g->m_arrItems.push_back(std::move(plain));
    g->m_arrItems.push_back(nullptr);
    g->m_pChild = std::make_unique<CTestGroup>();
    g->m_pChild->m_strName = "inner";
    g->m_pChild->m_arrItems.push_back(MakeLeaf(4, "deep"));
    auto fixed = std::make_unique<CTestFixed>();
    fixed->m_w = 0xBEEF;
    fixed->m_by = 9;
    fixed->m_d = 2.5;
    g->m_pAny = std::move(fixed);
    return g;
}

} // namespace

TEST_F(ArchiveTest, StringLengthEncodings)
{
    const std::pair<std::size_t, std::string> cases[] = {
        {0, CBytes().b(0).s},
        {254, CBytes().b(254).s},
        {255, CBytes().b(255).w(255).s},
        {65533, CBytes().b(255).w(65533).s},
        {65534, CBytes().b(255).w(0xFFFF).d(65534).s},
        {70000, CBytes().b(255).w(0xFFFF).d(70000).s},
    };
    for (const auto& [nLen, header] : cases) {
        std::string text(nLen, 'q');
        std::string bytes = Store([&](CArchive& ar) { ar << text; });
        EXPECT_EQ(bytes, header + text) << nLen;
        CMemFile in(bytes);
        CArchive ar(&in, CArchive::load);
        std::string back;
        ar >> back;
        EXPECT_EQ(std::pair(back, ar.GetRemaining()), std::pair(text, std::size_t{0}));
    }
}

TEST_F(ArchiveTest, NumbersCountsAndTimesAreLittleEndian)
{
    const std::pair<std::function<void(CArchive&)>, std::string> cases[] = {
        {[](CArchive& ar) {
             ar << BYTE{1} << WORD{0x0203} << DWORD{0x04050607} << LONG{-2} << CTime(0x01020304)
                << 1.0;
         },
         CBytes().b(1).w(0x0203).d(0x04050607).d(0xFFFFFFFE).d(0x01020304).d(0).d(0x3FF00000).s},
        {[](CArchive& ar) { ar.WriteCount(65534); }, CBytes().w(65534).s},
        {[](CArchive& ar) { ar.WriteCount(65535); }, CBytes().w(0xFFFF).d(65535).s},
    };
    for (const auto& [write, bytes] : cases)
        EXPECT_EQ(Store(write), bytes);

    std::vector<DWORD> numbers(70000, 5);
    const std::string stored = Store([&](CArchive& ar) { SerializeNumbers(ar, numbers); });
    CMemFile in(stored);
    CArchive ar(&in, CArchive::load);
    std::vector<DWORD> back;
    SerializeNumbers(ar, back);
    EXPECT_EQ(back, numbers);
}

TEST_F(ArchiveTest, ClassesAreWrittenOnceAndIndexedWithObjects)
{
    auto g = std::make_unique<CTestGroup>();
    g->m_strName = "g";
    g->m_arrItems.push_back(MakeLeaf(1, "a"));
    g->m_arrItems.push_back(MakeLeaf(2, "b"));
    std::string bytes = StoreObjectToBytes(g.get());

    auto leafBody = [](CBytes& out, LONG value, const char* name) {
        out.d(1).d(static_cast<DWORD>(value)).str(name).d(1000000000); // CTestItem record
        out.d(1).w(2).str("a").str("").w(1).d(7);                      // CTestLeaf record
    };
    CBytes expected;
    expected.newClass("CTestGroup", 1).d(1).str("g").d(2); // class 1, object 2
    // Class 3, object 4, and the base class reference: class 5.
    expected.newClass("CTestLeaf", 1).newClass("CTestItem", 2);
    leafBody(expected, 1, "a");
    expected.w(0x8003).w(0x8005); // second leaf: class tag (object 6), base class by tag
    leafBody(expected, 2, "b");
    expected.w(0).w(0); // no child, no other object
    EXPECT_EQ(bytes, expected.s);

    auto back = LoadObjectFromBytes(bytes, RUNTIME_CLASS(CTestGroup));
    auto* pGroup = dynamic_cast<CTestGroup*>(back.get());
    ASSERT_NE(pGroup, nullptr);
    ASSERT_EQ(pGroup->m_arrItems.size(), 2u);
    EXPECT_EQ(pGroup->m_arrItems[1]->m_strName, "b");
    // The base's own schema reaches the base's Serialize through the class
    // reference, a class's own schema its Serialize.
    EXPECT_EQ(pGroup->m_arrItems[1]->m_nSchemaSeen, 2u);
    auto item = LoadObjectFromBytes(CBytes().newClass("CTestItem", 7).d(1).d(5).str("n").d(0).s,
                                    RUNTIME_CLASS(CTestItem));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(static_cast<CTestItem*>(item.get())->m_nSchemaSeen, 7u);
}

TEST_F(ArchiveTest, ReferencesAndBigIndexes)
{
    // 40000 objects push the indexes past the 16-bit tags; writing the
    // last one again gives a big reference.
    CTestGroup g;
    for (int i = 0; i < 40000; ++i)
        g.m_arrItems.push_back(std::make_unique<CTestItem>());
    std::string bytes = Store([&](CArchive& ar) {
        ar.WriteObject(&g);
        ar.WriteObject(g.m_arrItems.back().get());
        ar.WriteObject(g.m_arrItems.front().get());
    });
    // Group class 1, group 2, item class 3, items 4..40003.
    EXPECT_EQ(bytes.substr(bytes.size() - 8), CBytes().w(0x7FFF).d(40003).w(4).s);

    CMemFile in(bytes);
    CArchive refused(&in, CArchive::load);
    std::unique_ptr<CObject> pGroup(refused.ReadObject(nullptr));
    EXPECT_THROW(refused.ReadObject(nullptr), CArchiveException);
}

TEST_F(ArchiveTest, DamagedStreamsFailCleanly)
{
    const std::string group = CBytes().newClass("CTestGroup", 1).s;
    const std::string leaf = CBytes().newClass("CTestLeaf", 1).newClass("CTestItem", 2).s;
    // Each group holding the next as its child, deeper than any reader accepts.
    CBytes deep = CBytes().raw(group).d(1).str("").d(0);
    for (int i = 0; i < 1000; ++i)
        deep.w(0x8001).d(1).str("").d(0);
    // What, the bytes.
    const std::pair<const char*, std::string> cases[] = {
        {"empty stream", ""},
        {"half a tag", "\xFF"},
        {"unknown class", CBytes().newClass("CNoSuchClass", 1).s},
        {"class name too long", CBytes().newClass(std::string(64, 'C'), 1).s},
        {"empty class name", CBytes().newClass("", 1).s},
        {"class name past the end", CBytes().w(0xFFFF).w(1).w(20).raw("CTest").s},
        {"class not serializable", CBytes().newClass("CObject", 0xFFFF).s},
        {"fixed schema mismatch", CBytes().newClass("CTestFixed", 4).w(1).b(2).d(0).d(0).s},
        {"class tag never seen", CBytes().w(0x8001).s},
        {"class index zero", CBytes().w(0x8000).s},
        {"big class tag never seen", CBytes().w(0x7FFF).d(0x80000005).s},
        {"object reference never seen", CBytes().w(3).s},
        {"big object reference never seen", CBytes().w(0x7FFF).d(70000).s},
        {"item list holds a group", CBytes().raw(group).d(1).str("").d(1).raw(group).s},
        {"object where a base class is expected", CBytes().newClass("CTestLeaf", 1).w(0).s},
        {"base class reference of another class",
         CBytes().newClass("CTestLeaf", 1).newClass("CTestGroup", 1).s},
        {"reference to the object being read", CBytes().raw(group).d(1).str("").d(0).w(2).s},
        {"objects nested too deeply", deep.s},
        {"class tag naming an object", CBytes().raw(group).d(1).str("").d(1).w(0x8002).s},
        {"string past the end", CBytes().raw(group).d(1).b(10).raw("abc").s},
        {"16-bit string length past the end", CBytes().raw(group).d(1).b(255).w(300).s},
        {"32-bit string length 0xFFFFFFFF",
         CBytes().raw(group).d(1).b(255).w(0xFFFF).d(0xFFFFFFFF).s},
        {"wide-character string", CBytes().raw(group).d(1).b(255).w(0xFFFE).b(0).s},
        {"object count past the end", CBytes().raw(group).d(1).str("").d(0x7FFFFFFF).s},
        {"list count past the end",
         CBytes().raw(leaf).d(1).d(0).str("").d(0).d(1).w(0xFFFF).d(0xFFFFFFFF).s},
    };
    for (const auto& [what, bytes] : cases) {
        try {
            LoadObjectFromBytes(bytes, nullptr);
            ADD_FAILURE() << what << ": no error";
        } catch (const CArchiveException& e) {
            EXPECT_NE(std::string(e.what()).find("damaged at byte"), std::string::npos) << what;
        }
    }
    // A typed read meets another class.
    EXPECT_THROW(LoadObjectFromBytes(CBytes().newClass("CTestFixed", 3).w(1).b(2).d(0).d(0).s,
                                     RUNTIME_CLASS(CTestItem)),
                 CArchiveException);
}

TEST_F(ArchiveTest, EveryTruncationFails)
{
    std::string bytes = StoreObjectToBytes(MakeGraph().get());
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_THROW(LoadObjectFromBytes(bytes.substr(0, n), nullptr), CArchiveException) << n;
}

TEST_F(ArchiveTest, OneObjectInGlobalMemory)
{
    auto g = MakeGraph();
    CGlobalMemory h = WriteObjectToGlobalMemory(g.get());
    std::string bytes = StoreObjectToBytes(g.get());
    ASSERT_EQ(h.GetSize(), (bytes.size() + 4095) / 4096 * 4096);
    EXPECT_EQ(h.GetBytes().substr(0, bytes.size()), bytes);
    EXPECT_EQ(h.GetBytes().find_first_not_of('\0', bytes.size()), std::string::npos);

    auto back = ReadObjectFromGlobalMemoryAs<CTestGroup>(h);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(StoreObjectToBytes(back.get()), bytes);
    EXPECT_FALSE(h.IsNull()); // the block stays with its owner
    EXPECT_EQ(ReadObjectFromGlobalMemory(h, RUNTIME_CLASS(CTestGroup))->GetRuntimeClass(),
              RUNTIME_CLASS(CTestGroup));
    EXPECT_THROW(ReadObjectFromGlobalMemoryAs<CTestItem>(h), CArchiveException);
    EXPECT_EQ(ReadObjectFromGlobalMemoryAs<CTestGroup>(CGlobalMemory()), nullptr);
    // A block of zeros holds a null record.
    EXPECT_EQ(ReadObjectFromGlobalMemory(CGlobalMemory::Alloc(GHND, 4096), nullptr), nullptr);
}
