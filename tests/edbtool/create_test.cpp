// create: the exact bytes of a new table and its memo file, and the refusals.
#include <algorithm>

#include "edbtool_fixture.h"

namespace {

// One 72-byte field descriptor.
void putDescriptor(std::string& s, const std::string& gbkName, int type, int offset, int width) {
    std::string name = gbkName;
    name.resize(17, '\0');
    s += name;
    putBytes(s, 3);
    putWord(s, type);
    putWord(s, offset);
    putWord(s, width);
    putBytes(s, 40);
}

// The 112-byte header of an empty table.
std::string header(const char* magic, int recordSize, const std::string& digest) {
    std::string h = magic;
    putWord(h, 0x00010000);
    putBytes(h, 8);
    putWord(h, 0);  // record count
    putWord(h, 1);  // next record id
    putWord(h, recordSize);
    std::string d = digest;
    d.resize(33, '\0');
    h += d;
    putBytes(h, 51);
    return h;
}

std::string emptyMemoFile() {
    std::string m = "WEDT";
    putWord(m, 0x00010000);
    putBytes(m, 8);
    putWord(m, 1);  // block count
    putWord(m, 0);  // free blocks
    putWord(m, 0);  // first free
    putBytes(m, 512 - 28);
    return m;
}

// MD5("583027") = df0e9922b42f92a9b918577459fdcdf8, written back to front.
const std::string kDigest583027 = "f8cdfd59745718b9a9922fb422990edf";

TEST_F(EdbtoolTest, CreateLaysOutHeaderDescriptorsAndMemoFile) {
    const ToolResult r =
        tool({"create", path("t"), "a:int", "金额:double", "b:text:10", "c:memo", "d:bool"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    std::string expected = header("WEDB", 4 + 4 + 8 + 10 + 4 + 1, "");
    putWord(expected, 5);
    putDescriptor(expected, "a", 3, 4, 0);
    putDescriptor(expected, "\xBD\xF0\xB6\xEE", 6, 8, 0);
    putDescriptor(expected, "b", 10, 16, 10);
    putDescriptor(expected, "c", 12, 26, 0);
    putDescriptor(expected, "d", 7, 30, 0);
    // The default extension goes on a name without one.
    EXPECT_EQ(readBytes(path("t.EDB")), expected);
    EXPECT_EQ(readBytes(path("t.EDT")), emptyMemoFile());
}

TEST_F(EdbtoolTest, CreateProtectedStoresDigestAndScramblesAfterMagic) {
    ASSERT_EQ(tool({"create", path("p.edb"), "--password", "583027", "x:bytes"}).status, 0);
    const std::string raw = readBytes(path("p.edb"));
    ASSERT_EQ(raw.size(), 116u + 72u);
    EXPECT_EQ(raw.substr(0, 4), "WCDB");

    std::string expected = header("WCDB", 8, kDigest583027);
    putWord(expected, 1);
    putDescriptor(expected, "x", 11, 4, 0);
    EXPECT_NE(raw, expected);  // scrambled on disk
    EXPECT_EQ(plainBytes(path("p.edb"), "583027"), expected);

    const std::string memoRaw = readBytes(path("p.EDT"));
    EXPECT_EQ(memoRaw.substr(0, 4), "WEDT");
    EXPECT_EQ(plainBytes(path("p.EDT"), "583027"), emptyMemoFile());
}

TEST_F(EdbtoolTest, CreateWithoutMemoFieldsMakesNoMemoFile) {
    ASSERT_EQ(tool({"create", path("n.edb"), "a:long", "b:float", "c:short", "d:byte", "e:datetime",
                    "f:subref"})
                  .status,
              0);
    const std::string bytes = readBytes(path("n.edb"));
    EXPECT_EQ(wordIn(bytes, 24), 4 + 8 + 4 + 2 + 1 + 8 + 4);
    EXPECT_FALSE(std::filesystem::exists(u8path(path("n.EDT"))));
    EXPECT_FALSE(std::filesystem::exists(u8path(path("n.edt"))));
}

TEST_F(EdbtoolTest, CreateRefusesToOverwriteInAnyLetterCase) {
    ASSERT_EQ(tool({"create", path("t.edb"), "a:int"}).status, 0);
    const std::string before = readBytes(path("t.edb"));
    const ToolResult again = tool({"create", path("t.edb"), "a:text:5"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(std::count(again.err.begin(), again.err.end(), '\n'), 1);
    const ToolResult upper = tool({"create", path("T.EDB"), "a:text:5"});
    EXPECT_EQ(upper.status, 1);
    EXPECT_EQ(readBytes(path("t.edb")), before);
}

struct BadFieldCase {
    std::vector<std::string> fields;
    int code;
};

class CreateBadFields : public EdbtoolTest, public ::testing::WithParamInterface<BadFieldCase> {};

TEST_P(CreateBadFields, FailWithTheirCodeAndMakeNoFile) {
    std::vector<std::string> args = {"create", path("bad.edb")};
    args.insert(args.end(), GetParam().fields.begin(), GetParam().fields.end());
    const ToolResult r = tool(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, failureLine(path("bad.edb"), GetParam().code));
    EXPECT_TRUE(std::filesystem::is_empty(u8path(dir_)));
}

INSTANTIATE_TEST_SUITE_P(
    FieldLists, CreateBadFields,
    ::testing::Values(BadFieldCase{{}, -16}, BadFieldCase{{"a:integer"}, -17},
                      BadFieldCase{{"a"}, -17}, BadFieldCase{{"a:text"}, -19},
                      BadFieldCase{{"a:text:0"}, -19}, BadFieldCase{{"a:text:x"}, -19},
                      BadFieldCase{{"a:int:4"}, -19},
                      BadFieldCase{{"abcdefghijklmnopq:int"}, -18},   // 17 bytes
                      BadFieldCase{{"一二三四五六七八九:int"}, -18},  // 18 GBK bytes
                      BadFieldCase{{"\xF0\x9F\x98\x80:int"}, -18},    // not in GBK
                      BadFieldCase{{":int"}, -18}, BadFieldCase{{"Name:int", "nAME:text:3"}, -20}));

TEST_F(EdbtoolTest, CreateTakesSixteenByteNames) {
    ASSERT_EQ(
        tool({"create", path("w.edb"), "abcdefghijklmnop:int", "八个汉字八个汉字:bool"}).status, 0);
    const std::string bytes = readBytes(path("w.edb"));
    EXPECT_EQ(bytes.substr(116, 17), std::string("abcdefghijklmnop") + '\0');
}

}  // namespace
