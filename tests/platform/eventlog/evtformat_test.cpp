#include "platform/eventlog/evtformat.h"
#include "testing.h"

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

// The record of the file format's worked example.
CEvtEvent WorkedExampleEvent()
{
    const std::string sid("\x01\x01\0\0\0\0\0\x05\x12\0\0\0", 12);
    return {1,     0x65000000, 0x65000001, 0x40000064, 4,
            0,     "Src",      "PC",       sid,        std::vector<std::string>(1, "Hi"),
            "\xAB"};
}

const std::string g_workedExample = Bytes({
    0x60, 0x00, 0x00, 0x00, 0x4c, 0x66, 0x4c, 0x65, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x65,
    0x01, 0x00, 0x00, 0x65, 0x64, 0x00, 0x00, 0x40, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x54, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x5a, 0x00, 0x00, 0x00, 0x53, 0x00, 0x72, 0x00, 0x63, 0x00, 0x00, 0x00,
    0x50, 0x00, 0x43, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05,
    0x12, 0x00, 0x00, 0x00, 0x48, 0x00, 0x69, 0x00, 0x00, 0x00, 0xab, 0x00, 0x60, 0x00, 0x00, 0x00,
});

TEST(EvtFormat, WorkedExampleEncodesByteForByte)
{
    EXPECT_EQ(EncodeEvtRecord(WorkedExampleEvent()), g_workedExample);
}

TEST(EvtFormat, BytesThatAreNotUtf8AreCodePage1252)
{
    // Bytes that are not UTF-8 are 8-bit characters of code page 1252, not '?'.
    EXPECT_EQ(Utf8ToUtf16("caf\xE9 \x80"
                          "5 \xC3"),
              u"caf\u00E9 \u20AC"
              u"5 \u00C3");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"),
              u"\u00ED\u00A0\u20AC"); // an encoded surrogate is not UTF-8
}

TEST(EvtFormat, DamagedInnerOffsetsAreClampedNotFollowed)
{
    struct Case {
        const char* what;
        DWORD field;
        DWORD value;
        std::size_t strings;
        bool hasSid;
        bool hasData;
    } cases[] = {
        {"SID beyond the record", EVT_USER_SID_OFFSET, 0x5C, 1, false, true},
        {"SID length huge", EVT_USER_SID_LENGTH, 0xFFFFFFF0, 1, false, true},
        {"data inside the fixed part", EVT_DATA_OFFSET, 0x10, 1, true, false},
        {"data length huge", EVT_DATA_LENGTH, 0x7FFFFFFF, 1, true, false},
        {"strings beyond the record", EVT_STRING_OFFSET, 0x1000, 0, true, true},
        {"more strings than there are", EVT_NUM_STRINGS, 0xFFFF, 2, true, true},
    };
    for (const Case& c : cases) {
        std::string record = g_workedExample;
        auto* p = reinterpret_cast<BYTE*>(record.data());
        if (c.field == EVT_NUM_STRINGS)
            PutLe16(p + c.field, static_cast<WORD>(c.value));
        else
            PutLe32(p + c.field, c.value);
        BYTE out[512];
        DWORD length = ConvertEvtRecordToAnsi(p, 0x60, out, sizeof out);
        ASSERT_GT(length, 0u) << c.what;
        ASSERT_LE(length, sizeof out) << c.what;
        // The converted record is well-formed, whatever the original held.
        CEvtEvent decoded;
        ASSERT_TRUE(DecodeAnsiRecord(out, length, decoded)) << c.what;
        EXPECT_EQ(decoded.m_strings.size(), c.strings) << c.what;
        EXPECT_EQ(!decoded.m_sid.empty(), c.hasSid) << c.what;
        EXPECT_EQ(!decoded.m_data.empty(), c.hasData) << c.what;
    }
}

// Only another reader of the file sees the header copy of the numbers: the
// file tests cannot, so the encoding is checked here.
TEST(EvtFormat, HeaderAndEndOfFileRecordRoundTrip)
{
    CEvtHeader h;
    h.m_dwStartOffset = 0x1230;
    h.m_dwEndOffset = 0x40;
    h.m_dwCurrentRecordNumber = 900;
    h.m_dwOldestRecordNumber = 17;
    h.m_dwFlags = ELF_LOGFILE_HEADER_WRAP;
    h.m_dwRetention = 604800;
    BYTE header[ELF_LOGFILE_HEADER_SIZE];
    EncodeEvtHeader(h, header);
    CEvtHeader back;
    ASSERT_TRUE(DecodeEvtHeader(header, sizeof header, back));
    EXPECT_EQ(back, h);
    header[4] ^= 1;
    EXPECT_FALSE(DecodeEvtHeader(header, sizeof header, back));

    BYTE eof[ELF_EOF_RECORD_SIZE];
    EncodeEvtEof(h, eof);
    CEvtHeader ring;
    ASSERT_TRUE(DecodeEvtEof(eof, 0x40, ring));
    EXPECT_EQ(ring.m_dwStartOffset, 0x1230u);
    EXPECT_EQ(ring.m_dwCurrentRecordNumber, 900u);
    EXPECT_EQ(ring.m_dwOldestRecordNumber, 17u);
    EXPECT_FALSE(DecodeEvtEof(eof, 0x44, ring)); // it names its own offset

    // An empty log's end-of-file record begins at itself.
    CEvtHeader empty;
    EncodeEvtEof(empty, eof);
    EXPECT_EQ(GetLe32(eof + 0x14), 0x30u);
    EXPECT_EQ(GetLe32(eof + 0x18), 0x30u);
}

} // namespace
