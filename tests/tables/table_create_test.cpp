// createTable: the exact bytes of new table and memo files, and what it refuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/table_bytes.h"
#include "support/table_fixture.h"

namespace tables::testing {
namespace {

namespace fs = std::filesystem;

using CreateTableTest = TableTest;

TEST_F(CreateTableTest, PlainTableHasTheHandLaidHeaderAndDescriptors) {
    ASSERT_EQ(createTable(at("plain"), "",
                          {{"Name", FieldType::Text, 99, 12},
                           {"n", FieldType::Short, 0, 7},
                           {"big", FieldType::Long, 0, 0}}),
              0);
    TableShape shape;
    shape.recordSize = 4 + 12 + 2 + 8;
    // Offsets follow one another from 4, whatever the caller put there; the
    // width is stored for text only.
    shape.fields = {{"Name", 10, 4, 12}, {"n", 2, 16, 0}, {"big", 4, 18, 0}};
    EXPECT_EQ(readFile(dir / "plain.EDB"), headerBytes(shape));
    EXPECT_FALSE(fs::exists(dir / "plain.EDT"));
}

TEST_F(CreateTableTest, ProtectedLedgerIsScrambledWithTheDigestInside) {
    ASSERT_EQ(createTable(at("ledger.edb"), "583027", ledgerFields()), 0);
    const Bytes file = readFile(dir / "ledger.edb");
    EXPECT_EQ(file, scrambled(headerBytes(ledgerShape("583027")), "583027"));
    // The magic stays readable.
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "WCDB");
}

TEST_F(CreateTableTest, MemoFileIsOneBlockWithItsHeader) {
    ASSERT_EQ(
        createTable(at("m"), "pw", {{"t", FieldType::Memo, 0, 0}, {"b", FieldType::Bytes, 0, 0}}),
        0);
    EXPECT_EQ(readFile(dir / "m.EDT"), scrambled(memoHeaderBlock(1, 0, 0), "pw"));
    TableShape shape;
    shape.password = "pw";
    shape.recordSize = 12;
    shape.fields = {{"t", 12, 4, 0}, {"b", 11, 8, 0}};
    EXPECT_EQ(readFile(dir / "m.EDB"), scrambled(headerBytes(shape), "pw"));
}

TEST_F(CreateTableTest, DefaultExtensionAlsoAfterATrailingDot) {
    ASSERT_EQ(createTable(at("a."), "", {{"x", FieldType::Integer, 0, 0}}), 0);
    EXPECT_TRUE(fs::exists(dir / "a.EDB"));
    ASSERT_EQ(createTable(at("b.dat"), "", {{"x", FieldType::Memo, 0, 0}}), 0);
    EXPECT_TRUE(fs::exists(dir / "b.dat"));
    EXPECT_TRUE(fs::exists(dir / "b.EDT"));
}

TEST_F(CreateTableTest, RefusesExistingFilesAndLeavesThemAlone) {
    writeFile(dir / "t.edb", {1, 2, 3});
    // The existing name differs in case only: it is the same table.
    EXPECT_EQ(createTable(at("t"), "", {{"x", FieldType::Integer, 0, 0}}), -2);
    EXPECT_EQ(readFile(dir / "t.edb"), (Bytes{1, 2, 3}));

    writeFile(dir / "u.EDT", {9});
    EXPECT_EQ(createTable(at("u"), "", {{"x", FieldType::Memo, 0, 0}}), -50);
    EXPECT_FALSE(fs::exists(dir / "u.EDB"));
    EXPECT_EQ(readFile(dir / "u.EDT"), (Bytes{9}));
    // Without a memo field a stray memo file does not matter.
    EXPECT_EQ(createTable(at("u"), "", {{"x", FieldType::Integer, 0, 0}}), 0);
}

TEST_F(CreateTableTest, RefusesBadFieldLists) {
    EXPECT_EQ(createTable(at("e"), "", {}), -16);
    EXPECT_EQ(createTable(at("e"), "", {{"x", static_cast<FieldType>(13), 0, 0}}), -17);
    EXPECT_EQ(createTable(at("e"), "", {{"x", static_cast<FieldType>(0), 0, 0}}), -17);
    EXPECT_EQ(createTable(at("e"), "", {{"x", FieldType::Text, 0, 0}}), -19);
    EXPECT_EQ(createTable(at("e"), "", {{"x", FieldType::Text, 0, 0x7FFFFFFF}}), -19);
    EXPECT_EQ(createTable(at("e"), "", {{"", FieldType::Integer, 0, 0}}), -18);
    EXPECT_EQ(createTable(at("e"), "", {{"1a", FieldType::Integer, 0, 0}}), -18);
    EXPECT_EQ(createTable(at("e"), "", {{"a b", FieldType::Integer, 0, 0}}), -18);
    EXPECT_EQ(createTable(at("e"), "", {{"abcdefghijklmnopq", FieldType::Integer, 0, 0}}), -18);
    EXPECT_EQ(
        createTable(at("e"), "", {{"Ab", FieldType::Integer, 0, 0}, {"aB", FieldType::Bool, 0, 0}}),
        -20);
    EXPECT_FALSE(fs::exists(dir / "e.EDB"));
    // Sixteen bytes, digits after the first character and Chinese names are fine.
    EXPECT_EQ(createTable(at("f"), "",
                          {{"abcdefghijklmnop", FieldType::Integer, 0, 0},
                           {"a1", FieldType::Integer, 0, 0},
                           {gbk::kCustomer, FieldType::Text, 0, 1}}),
              0);
}

TEST_F(CreateTableTest, CreatedTableOpensEmptyWithItsShape) {
    ASSERT_EQ(createTable(at("ledger"), std::string(kAccessPassword), ledgerFields()), 0);
    TableFile t;
    ASSERT_TRUE(t.open(at("ledger"), kAccessPassword));
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_EQ(t.recordSize(), 361);
    EXPECT_EQ(t.dataStart(), 116 + 6 * 72);
    ASSERT_EQ(t.fields().size(), 6u);
    EXPECT_EQ(t.fields()[4].name, gbk::kRemark);
    EXPECT_EQ(t.fields()[4].offset, 160);
    EXPECT_EQ(t.fields()[4].width, 200);
    EXPECT_EQ(t.fields()[5].type, FieldType::Bool);
}

}  // namespace
}  // namespace tables::testing
