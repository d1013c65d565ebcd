// append, write, delete and purge through the tool, seen through dump; and
// the failures that must leave every byte in place.
#include <algorithm>

#include "edbtool_fixture.h"

namespace {

std::string line(int record, int id, const std::string& values) {
    return "{\"record\":" + std::to_string(record) + ",\"id\":" + std::to_string(id) +
           ",\"deleted\":" + (id < 0 ? "true" : "false") + ",\"values\":[" + values + "]}\n";
}

class EdbtoolRecords : public EdbtoolTest {
  protected:
    // A table of every field type, in type order.
    void createAllKinds() {
        ASSERT_EQ(
            tool({"create", all_, "y:byte", "s:short", "i:int", "l:long", "f:float", "d:double",
                  "b:bool", "t:datetime", "r:subref", "x:text:8", "k:bytes", "m:memo"})
                .status,
            0);
    }
    // A small protected table with a memo field and three records.
    void createSmall() {
        ASSERT_EQ(tool({"create", small_, "--password", "pw", "n:int", "t:text:4", "b:bool",
                        "dt:datetime", "k:bytes", "m:memo"})
                      .status,
                  0);
        for (const char* v : {"[1,\"a\",true,1,\"01\",\"one\"]", "[2,\"b\",false,2,\"\",\"two\"]",
                              "[3,\"c\",true,3,\"0303\",\"\"]"})
            ASSERT_EQ(tool({"append", small_, "--password", "pw", v}).status, 0);
    }
    std::string dump(const std::string& file, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"dump", file};
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolResult r = tool(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    std::string both(const std::string& table) {
        return readBytes(table) + "|" + readBytes(table.substr(0, table.size() - 3) + "EDT");
    }

    void SetUp() override {
        EdbtoolTest::SetUp();
        all_ = path("all.edb");
        small_ = path("small.edb");
    }

    std::string all_;
    std::string small_;
};

TEST_F(EdbtoolRecords, AppendStoresEveryKindAndDumpGivesItBack) {
    createAllKinds();
    const ToolResult first =
        tool({"append", all_,
              "[255,-7,42,9007199254740993,0.1,2.5,true,\"2024-03-05 12:00:00\","
              "12,\"你好\",\"00FF10\",\"备注文字\"]"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "{\"record\":1,\"id\":1}\n");
    // Absent values leave zero; a number is a date-time as it stands.
    ASSERT_EQ(tool({"append", all_, "[null,null,null,null,null,null,null,45000.25]"}).status, 0);
    ASSERT_EQ(tool({"append", all_, "[]"}).status, 0);

    EXPECT_EQ(dump(all_),
              line(1, 1,
                   "255,-7,42,9007199254740993,0.1,2.5,true,45356.5,12,\"你好\",\"00ff10\","
                   "\"备注文字\"") +
                  line(2, 2, "0,0,0,0,0,0,false,45000.25,0,\"\",\"\",\"\"") +
                  line(3, 3, "0,0,0,0,0,0,false,0,0,\"\",\"\",\"\""));
}

TEST_F(EdbtoolRecords, TextIsCutToItsWidthAndDatesBeforeTheEpochCountBack) {
    createAllKinds();
    // 9 bytes into a width of 8: the last character is cut in half and the
    // dump drops the half.
    ASSERT_EQ(tool({"append", all_,
                    "[0,0,0,0,0,0,false,\"1899-12-29 06:00:00\",0,\"a你好你好\",\"\",\"\"]"})
                  .status,
              0);
    ASSERT_EQ(tool({"append", all_, "[0,0,0,0,0,0,false,\"0100-01-01\",0,\"12345678\"]"}).status,
              0);
    EXPECT_EQ(dump(all_), line(1, 1, "0,0,0,0,0,0,false,-1.25,0,\"a你好你\",\"\",\"\"") +
                              line(2, 2, "0,0,0,0,0,0,false,-657434,0,\"12345678\",\"\",\"\""));
}

TEST_F(EdbtoolRecords, WholeNumbersBeyondSixtyFourBitsSaturateInsteadOfWrapping) {
    createAllKinds();
    // Above the largest long integer: the number as it is, converted into
    // each field's type, never its bits read as a negative long integer.
    ASSERT_EQ(tool({"append", all_,
                    "[18446744073709551615,9223372036854775808,9223372036854775808,"
                    "18446744073709551615,9223372036854775808,18446744073709551615]"})
                  .status,
              0);
    EXPECT_EQ(dump(all_), line(1, 1,
                               "255,32767,2147483647,9223372036854775807,9.223372e+18,"
                               "18446744073709551616,false,0,0,\"\",\"\",\"\""));
}

TEST_F(EdbtoolRecords, WriteChangesOnlyTheGivenFields) {
    createSmall();
    const std::string longMemo(1200, 'z');
    ASSERT_EQ(tool({"write", small_, "2", "--password", "pw",
                    "[null,\"bb\",true,null,\"ffee\",\"" + longMemo + "\"]"})
                  .status,
              0);
    // Options and arguments in any order after the command.
    ASSERT_EQ(tool({"write", "--password=pw", small_, "3", "[30]"}).status, 0);
    EXPECT_EQ(dump(small_, {"--password", "pw"}),
              line(1, 1, "1,\"a\",true,1,\"01\",\"one\"") +
                  line(2, 2, "2,\"bb\",true,2,\"ffee\",\"" + longMemo + "\"") +
                  line(3, 3, "30,\"c\",true,3,\"0303\",\"\""));
}

TEST_F(EdbtoolRecords, DeleteMarksAndPurgeRemoves) {
    createSmall();
    const ToolResult del = tool({"delete", small_, "2", "--password", "pw"});
    ASSERT_EQ(del.status, 0) << del.err;
    EXPECT_EQ(dump(small_, {"--password", "pw"}), line(1, 1, "1,\"a\",true,1,\"01\",\"one\"") +
                                                      line(2, -2, "2,\"b\",false,2,\"\",\"two\"") +
                                                      line(3, 3, "3,\"c\",true,3,\"0303\",\"\""));
    // Writing a marked record keeps its mark; deleting it again is fine.
    ASSERT_EQ(tool({"write", small_, "2", "--password", "pw", "[22]"}).status, 0);
    ASSERT_EQ(tool({"delete", small_, "2", "--password", "pw"}).status, 0);
    EXPECT_EQ(dump(small_, {"--password", "pw", "--format", "csv"}),
              "n,t,b,dt,k,m\n1,a,true,1899-12-31,01,one\n3,c,true,1900-01-02,0303,\n");

    ASSERT_EQ(tool({"purge", small_, "--password", "pw"}).status, 0);
    EXPECT_EQ(dump(small_, {"--password", "pw"}), line(1, 1, "1,\"a\",true,1,\"01\",\"one\"") +
                                                      line(2, 3, "3,\"c\",true,3,\"0303\",\"\""));
    // The next id is not reused.
    ASSERT_EQ(tool({"append", small_, "--password", "pw", "[4]"}).out, "{\"record\":3,\"id\":4}\n");
    const ToolResult check = tool({"check", small_, "--password", "pw"});
    EXPECT_EQ(check.status, 0) << check.out;
}

TEST_F(EdbtoolRecords, CsvQuotesWhatNeedsIt) {
    ASSERT_EQ(tool({"create", path("c.edb"), "名称:text:40", "when:datetime", "v:double"}).status,
              0);
    ASSERT_EQ(
        tool({"append", path("c.edb"), "[\"a,\\\"b\\\"\",\"2024-03-05 08:30:15\",-0.5]"}).status,
        0);
    EXPECT_EQ(dump(path("c.edb"), {"--format", "csv"}),
              "名称,when,v\n\"a,\"\"b\"\"\",2024-03-05 08:30:15,-0.5\n");
}

struct BadValueCase {
    std::vector<std::string> args;  // after the command and file
    std::string command = "append";
};

class EdbtoolBadValues : public EdbtoolRecords,
                         public ::testing::WithParamInterface<BadValueCase> {};

TEST_P(EdbtoolBadValues, FailWithMinus72AndChangeNoByte) {
    createSmall();
    const std::string before = both(small_);
    std::vector<std::string> args = {GetParam().command, small_, "--password", "pw"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const ToolResult r = tool(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, failureLine(small_, -72));
    EXPECT_EQ(both(small_), before);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EdbtoolBadValues,
    ::testing::Values(
        BadValueCase{{"[\"1\"]"}},                                       // text for a number
        BadValueCase{{"[true]"}},                                        // bool for a number
        BadValueCase{{"[1,5]"}},                                         // number for text
        BadValueCase{{"[1,\"a\",1]"}},                                   // number for a bool
        BadValueCase{{"[1,\"a\",true,true]"}},                           // bool for a date-time
        BadValueCase{{"[1,\"a\",true,\"2024-02-30\"]"}},                 // no such day
        BadValueCase{{"[1,\"a\",true,\"2024-3-5\"]"}},                   // not the date form
        BadValueCase{{"[1,\"a\",true,0,\"0g\"]"}},                       // not hex
        BadValueCase{{"[1,\"a\",true,0,\"abc\"]"}},                      // half a byte
        BadValueCase{{"[1,\"a\",true,0,12]"}},                           // number for a byte set
        BadValueCase{{"[1,\"a\",true,0,\"\",7]"}},                       // number for memo text
        BadValueCase{{"[\"x\",\"a\",true,0,\"\",\"memo first\"]"}},      // memo not written either
        BadValueCase{{"[1,[1]]"}},                                       // nested array
        BadValueCase{{"7"}},                                             // no array or object
        BadValueCase{{"[1,"}},                                           // not JSON
        BadValueCase{{"[1,\"\xF0\x9F\x98\x80\"]"}},                      // not in GBK: text
        BadValueCase{{"[1,\"a\",true,0,\"\",\"ok\xF0\x9F\x98\x80\"]"}},  // not in GBK: memo
        BadValueCase{{"2", "[\"x\"]"}, "write"},
        BadValueCase{{"1", "[null,null,null,null,null,false]"}, "write"},
        BadValueCase{{"3", "[null,\"\xE2\x82\xAC\xF0\x9F\x98\x80\"]"}, "write"}));

struct BadRecordCase {
    std::string command;
    std::string record;
};

class EdbtoolBadRecords : public EdbtoolRecords,
                          public ::testing::WithParamInterface<BadRecordCase> {};

TEST_P(EdbtoolBadRecords, FailWithMinus60AndChangeNoByte) {
    createSmall();
    const std::string before = both(small_);
    std::vector<std::string> args = {GetParam().command, small_, GetParam().record, "--password",
                                     "pw"};
    if (GetParam().command == "write") args.push_back("[9]");
    const ToolResult r = tool(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, failureLine(small_, -60));
    EXPECT_EQ(both(small_), before);
}

INSTANTIATE_TEST_SUITE_P(
    Records, EdbtoolBadRecords,
    ::testing::Values(BadRecordCase{"write", "0"}, BadRecordCase{"write", "-3"},
                      BadRecordCase{"write", "4"}, BadRecordCase{"write", "99999999999"},
                      BadRecordCase{"delete", "0"}, BadRecordCase{"delete", "-1"},
                      BadRecordCase{"delete", "4"}, BadRecordCase{"delete", "x1"}));

TEST_F(EdbtoolRecords, ARecordBeforeTheFirstIsRefusedBeforeTheValues) {
    createSmall();
    EXPECT_EQ(tool({"write", small_, "0", "--password", "pw", "[\"x\"]"}).err,
              failureLine(small_, -60));
    EXPECT_EQ(tool({"write", small_, "0", "--password", "pw", "[1,\"\xF0\x9F\x98\x80\"]"}).err,
              failureLine(small_, -60));
    // Past the end the values are checked first.
    EXPECT_EQ(tool({"write", small_, "9", "--password", "pw", "[\"x\"]"}).err,
              failureLine(small_, -72));
}

TEST_F(EdbtoolRecords, RecordOneOfAnEmptyTableDoesNotExist) {
    ASSERT_EQ(tool({"create", path("e.edb"), "n:int"}).status, 0);
    const std::string before = readBytes(path("e.edb"));
    EXPECT_EQ(tool({"write", path("e.edb"), "1", "[1]"}).err, failureLine(path("e.edb"), -60));
    EXPECT_EQ(tool({"delete", path("e.edb"), "1"}).err, failureLine(path("e.edb"), -60));
    EXPECT_EQ(readBytes(path("e.edb")), before);
}

TEST_F(EdbtoolRecords, FailuresAreOneLineWithCodeAndText) {
    const std::string missing = path("missing.edb");
    ToolResult r = tool({"dump", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, failureLine(missing, -3));

    createSmall();
    EXPECT_EQ(tool({"dump", small_}).err, failureLine(small_, -78));
    EXPECT_EQ(tool({"info", small_, "--password", "wrong"}).err, failureLine(small_, -78));
    EXPECT_EQ(tool({"purge", small_, "--password", "PW"}).err, failureLine(small_, -78));

    r = tool({"frobnicate", small_});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("edbtool: ", 0), 0u);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_EQ(tool({"dump", small_, "--password", "pw", "--format", "xml"}).status, 1);
    EXPECT_EQ(tool({"append", small_, "--password", "pw"}).status, 1);
    EXPECT_EQ(tool({"--help"}).status, 0);
}

TEST_F(EdbtoolRecords, AReadThatFailsNamesItsRecord) {
    createSmall();
    // Record 2's memo field (slot at 548 + 29, field at 25) points past the
    // memo file.
    patchWord(small_, 548 + 29 + 25, 999, "pw");
    const ToolResult r = tool({"dump", small_, "--password", "pw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, line(1, 1, "1,\"a\",true,1,\"01\",\"one\""));
    std::string expected = failureLine(small_, -59);
    expected.insert(expected.size() - 1, " (record 2)");
    EXPECT_EQ(r.err, expected);
    // Records whose memo is not read are still listed.
    EXPECT_EQ(tool({"info", small_, "--password", "pw"}).status, 0);
}

TEST_F(EdbtoolRecords, InspectionNeverRepairsButWritingDoes) {
    createSmall();
    ASSERT_EQ(tool({"delete", small_, "1", "--password", "pw"}).status, 0);
    std::string bytes = readBytes(small_);
    const std::size_t exact = bytes.size();
    writeBytes(small_, bytes + "surplus");

    const ToolResult info = tool({"info", small_, "--password", "pw"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("records: 3 (2 live, 1 marked deleted)"), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("next record id: 4"), std::string::npos) << info.out;
    dump(small_, {"--password", "pw"});
    // Bytes past the last slot are what an append that stopped leaves: a
    // warning, not damage.
    const ToolResult check = tool({"check", small_, "--password", "pw"});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, small_ + ": warning: 7 bytes follow the last record slot\n" + small_ +
                             ": no damage found; 1 warning: run edbtool repair\n");
    EXPECT_EQ(readBytes(small_).size(), exact + 7);

    ASSERT_EQ(tool({"append", small_, "--password", "pw", "[4]"}).status, 0);
    EXPECT_EQ(readBytes(small_).size(), exact + 4 + 4 + 4 + 1 + 8 + 4 + 4);
}

}  // namespace
