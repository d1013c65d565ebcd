// The plain ledger operations against a real table file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "../support/record_held_elsewhere.h"
#include "ledger_fixture.h"
#include "ledger_table.h"

namespace ledger::testing {
namespace {

using ::testing::ElementsAre;

std::vector<std::int32_t> numbersOf(const ScanResult& r) {
    std::vector<std::int32_t> out;
    for (const auto& row : r.rows) out.push_back(row.recordNumber);
    return out;
}

// Records put into a fresh table: record n has id n.
std::vector<RecordRef> refs(std::initializer_list<std::int32_t> numbers) {
    std::vector<RecordRef> out;
    for (std::int32_t n : numbers) out.push_back({n, n});
    return out;
}

LedgerFilter keyword(std::string_view utf8) {
    LedgerFilter f;
    f.keyword.emplace(g(utf8));
    return f;
}

LedgerFilter days(double first, double last) {
    LedgerFilter f;
    f.days.emplace(first, last);
    return f;
}

// ---------------------------------------------------------------- scanning

using LedgerScanTest = LedgerDirTest;

TEST_F(LedgerScanTest, ListsEveryRecordInFileOrderWithItsNumberAndFields) {
    put(day(2024, 3, 5), "张三", "照片", 12.5, "加急", true);
    put(day(2024, 3, 6), "李四", "相框", -20, "", false);
    const ScanResult r = findRecords({});
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.cut);
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[0].recordNumber, 1);
    EXPECT_EQ(r.rows[0].record,
              (LedgerRecord{day(2024, 3, 5), g("张三"), g("照片"), 12.5, g("加急"), true}));
    EXPECT_EQ(r.rows[1].recordNumber, 2);
    EXPECT_EQ(r.rows[1].record,
              (LedgerRecord{day(2024, 3, 6), g("李四"), g("相框"), -20, "", false}));
}

TEST_F(LedgerScanTest, SkipsRecordsMarkedDeleted) {
    put(day(2024, 3, 5), "A", "x", 1, "", false);
    put(day(2024, 3, 5), "B", "x", 2, "", false);
    put(day(2024, 3, 5), "C", "x", 3, "", false);
    {
        tables::TableFile t;
        ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
        ASSERT_TRUE(t.goTo(2));
        ASSERT_TRUE(t.markDeleted());
        t.close();
    }
    EXPECT_THAT(numbersOf(findRecords({})), ElementsAre(1, 3));
}

TEST_F(LedgerScanTest, DayRangeIncludesBothEndsAndAReversedRangeIsEmpty) {
    put(day(2024, 2, 29), "A", "x", 1, "", false);
    put(day(2024, 3, 1), "B", "x", 2, "", false);
    put(day(2024, 3, 15), "C", "x", 3, "", false);
    put(day(2024, 3, 31), "D", "x", 4, "", false);
    put(day(2024, 4, 1), "E", "x", 5, "", false);
    EXPECT_THAT(numbersOf(findRecords(days(day(2024, 3, 1), day(2024, 3, 31)))),
                ElementsAre(2, 3, 4));
    EXPECT_TRUE(findRecords(days(day(2024, 3, 2), day(2024, 3, 1))).rows.empty());
}

TEST_F(LedgerScanTest, DayRangeBeforeThe1899OriginComparesContinuously) {
    // Before day 0 the key folds the time part the other way; a record of
    // 2 January 1899 at noon lies between 1 and 3 January 1899.
    put(day(1899, 1, 2) - 0.5, "A", "x", 1, "", false);
    put(day(1899, 1, 5), "B", "x", 2, "", false);
    EXPECT_THAT(numbersOf(findRecords(days(day(1899, 1, 1), day(1899, 1, 3)))), ElementsAre(1));
}

TEST_F(LedgerScanTest, KeywordSearchesCustomerItemAmountTextAndRemark) {
    put(day(2024, 3, 1), "王五", "照片", 1, "", false);
    put(day(2024, 3, 1), "A", "王字框", 1, "", false);
    put(day(2024, 3, 1), "A", "x", 1, "给老王", false);
    put(day(2024, 3, 1), "A", "x", 1, "", false);
    EXPECT_THAT(numbersOf(findRecords(keyword("王"))), ElementsAre(1, 2, 3));
}

TEST_F(LedgerScanTest, KeywordFindsAmountsThroughTheirText) {
    put(day(2024, 3, 1), "A", "x", 12, "", false);
    put(day(2024, 3, 1), "A", "x", 120, "", false);
    put(day(2024, 3, 1), "A", "x", 112.5, "", false);
    put(day(2024, 3, 1), "A", "x", 21, "", false);
    put(day(2024, 3, 1), "A", "x", 15, "", false);
    put(day(2024, 3, 1), "A", "x", 3, "5米", false);
    EXPECT_THAT(numbersOf(findRecords(keyword("12"))), ElementsAre(1, 2, 3));
    EXPECT_THAT(numbersOf(findRecords(keyword("5"))), ElementsAre(3, 5, 6));
    EXPECT_THAT(numbersOf(findRecords(keyword("2."))), ElementsAre(3));
}

TEST_F(LedgerScanTest, StatusKeywordsAddEverySettledOrUnsettledRecordOnce) {
    put(day(2024, 3, 1), "A", "x", 1, "", true);       // settled
    put(day(2024, 3, 1), "A", "x", 2, "", false);      // unsettled
    put(day(2024, 3, 1), "A", "x", 3, "已付", false);  // text contains 已
    put(day(2024, 3, 1), "A", "x", 4, "已付", true);   // both: listed once
    put(day(2024, 3, 1), "A", "未来", 5, "", true);    // text contains 未
    EXPECT_THAT(numbersOf(findRecords(keyword("已"))), ElementsAre(1, 3, 4, 5));
    EXPECT_THAT(numbersOf(findRecords(keyword("已结"))), ElementsAre(1, 4, 5));
    EXPECT_THAT(numbersOf(findRecords(keyword("未"))), ElementsAre(2, 3, 5));
    EXPECT_THAT(numbersOf(findRecords(keyword("未结"))), ElementsAre(2, 3));
}

TEST_F(LedgerScanTest, KeywordNeverMatchesAcrossTwoDoubleByteCharacters) {
    // "耙选" is B0 D2 D1 A1: the bytes D2 D1 ("已") straddle the two characters.
    put(day(2024, 3, 1), "耙选", "x", 1, "", false);
    put(day(2024, 3, 1), "A", "x", 2, "耙已", false);
    EXPECT_THAT(numbersOf(findRecords(keyword("已"))), ElementsAre(2));
}

TEST_F(LedgerScanTest, ResultIsCutAfterTheLimitInFileOrder) {
    for (int i = 1; i <= 6; ++i) put(day(2024, 3, 1), "A", "x", i, "", i % 2 == 0);
    const ScanResult all = findRecords(keyword("A"), 6);
    EXPECT_FALSE(all.cut);
    EXPECT_EQ(all.rows.size(), 6u);
    const ScanResult cut = findRecords(keyword("A"), 4);
    EXPECT_TRUE(cut.cut);
    EXPECT_THAT(numbersOf(cut), ElementsAre(1, 2, 3, 4));
    // Records beyond the limit that do not match do not count as cut.
    const ScanResult settled = findRecords(keyword("已"), 3);
    EXPECT_FALSE(settled.cut);
    EXPECT_THAT(numbersOf(settled), ElementsAre(2, 4, 6));
}

TEST_F(LedgerScanTest, TableIsClosedAfterEveryOperation) {
    put(day(2024, 3, 1), "A", "x", 1, "", false);
    (void)findRecords({});
    ASSERT_EQ(appendRecord({day(2024, 3, 1), "B", "x", 2, "", false}), LedgerStatus::Ok);
    ASSERT_EQ(writeStatus(refs({1}), true), LedgerStatus::Ok);
    // A table left open would make this open fail as "already open".
    tables::TableFile t;
    EXPECT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
}

TEST_F(LedgerScanTest, WrongFieldTypeIsTheFatalTypeError) {
    std::filesystem::remove(ledger::testing::utf8Path(kLedgerFileName));
    auto fields = ledgerFields();
    fields[3] = {std::string(field::金额), tables::FieldType::Text, 0, 20};
    ASSERT_EQ(tables::createTable(kLedgerFileName, kLedgerPassword, fields), 0);
    {
        tables::TableFile t;
        ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
        using tables::TableValue;
        ASSERT_TRUE(t.append({TableValue::dateTime(day(2024, 3, 1)), TableValue::text("A"),
                              TableValue::text("x"), TableValue::text("12"), TableValue::text(""),
                              TableValue::boolean(false)}));
        t.close();
    }
    try {
        (void)findRecords({});
        FAIL() << "no fatal error";
    } catch (const FatalError& e) {
        EXPECT_EQ(std::string_view(e.what()), tables::kFatalKindMismatch);
    }
}

TEST_F(LedgerScanTest, MissingFieldIsTheFatalFieldError) {
    std::filesystem::remove(ledger::testing::utf8Path(kLedgerFileName));
    auto fields = ledgerFields();
    fields.pop_back();
    ASSERT_EQ(tables::createTable(kLedgerFileName, kLedgerPassword, fields), 0);
    try {
        (void)findRecords({});
        FAIL() << "no fatal error";
    } catch (const FatalError& e) {
        EXPECT_EQ(std::string_view(e.what()), tables::kFatalNoSuchField);
    }
}

// ------------------------------------------------------------ missing table

class LedgerMissingTest : public LedgerDirTest {
  protected:
    bool createLedger() const override { return false; }
};

TEST_F(LedgerMissingTest, EveryOperationReportsTheFailedOpenAndCreatesNothing) {
    const ScanResult r = findRecords({});
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.rows.empty());
    EXPECT_EQ(appendRecord({day(2024, 3, 1), "A", "x", 1, "", false}), LedgerStatus::OpenFailed);
    EXPECT_EQ(writeRecord({1, 1}, {}), LedgerStatus::OpenFailed);
    EXPECT_EQ(writeStatus(refs({1}), true), LedgerStatus::OpenFailed);
    EXPECT_EQ(deleteRecord({1, 1}), LedgerStatus::OpenFailed);
    EXPECT_FALSE(std::filesystem::exists(ledger::testing::utf8Path(kLedgerFileName)));
}

TEST_F(LedgerMissingTest, TableWithAnotherPasswordDoesNotOpen) {
    ASSERT_EQ(tables::createTable(kLedgerFileName, "123456", ledgerFields()), 0);
    EXPECT_FALSE(findRecords({}).ok());
    EXPECT_EQ(appendRecord({day(2024, 3, 1), "A", "x", 1, "", false}), LedgerStatus::OpenFailed);
}

// ------------------------------------------------------------------ writing

using LedgerWriteTest = LedgerDirTest;

TEST_F(LedgerWriteTest, AppendStoresTheSixValuesAtTheEnd) {
    put(day(2024, 3, 1), "A", "x", 1, "", false);
    const LedgerRecord r{day(2024, 3, 5), g("张三"), g("照片"), -20, g("急"), true};
    ASSERT_EQ(appendRecord(r), LedgerStatus::Ok);
    const auto s = stored();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[1].record, r);
}

TEST_F(LedgerWriteTest, WriteRecordOverwritesOnlyThatRecord) {
    put(day(2024, 3, 1), "A", "x", 1, "a", false);
    put(day(2024, 3, 1), "B", "y", 2, "b", false);
    put(day(2024, 3, 1), "C", "z", 3, "c", false);
    const LedgerRecord r{day(2024, 3, 2), g("王"), g("相框"), 99.5, "", true};
    ASSERT_EQ(writeRecord({2, 2}, r), LedgerStatus::Ok);
    const auto s = stored();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].record, (LedgerRecord{day(2024, 3, 1), "A", "x", 1, "a", false}));
    EXPECT_EQ(s[1].record, r);
    EXPECT_EQ(s[2].record, (LedgerRecord{day(2024, 3, 1), "C", "z", 3, "c", false}));
}

TEST_F(LedgerWriteTest, RecordsWithoutALiveIdAreNeverWrittenToAnotherRecord) {
    put(day(2024, 3, 1), "A", "x", 1, "a", false);
    put(day(2024, 3, 1), "B", "y", 2, "b", false);
    const auto before = stored();
    const LedgerRecord r{day(2024, 3, 2), "Z", "z", 9, "", true};
    // No id known, an id never given, a number past the end with an id never given.
    for (const RecordRef ref :
         {RecordRef{1, 0}, RecordRef{0, 0}, RecordRef{2, 7}, RecordRef{3, 3}}) {
        EXPECT_EQ(writeRecord(ref, r), LedgerStatus::RecordGone);
        EXPECT_EQ(deleteRecord(ref), LedgerStatus::RecordGone);
        EXPECT_EQ(writeStatus(std::vector<RecordRef>{{1, 1}, ref}, true), LedgerStatus::RecordGone);
    }
    const auto after = stored();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].record, before[i].record);
        EXPECT_FALSE(after[i].deleted);
    }
}

TEST_F(LedgerWriteTest, StatusWriteChangesOnlyTheStatusOfTheGivenRecords) {
    for (int i = 1; i <= 5; ++i)
        put(day(2024, 3, i), "客户" + std::to_string(i), "项目", i * 1.5, "备注", false);
    const auto before = stored();
    ASSERT_EQ(writeStatus(refs({1, 3, 5}), true), LedgerStatus::Ok);
    auto after = stored();
    ASSERT_EQ(after.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        LedgerRecord expected = before[i].record;
        expected.状态 = (i % 2 == 0);
        EXPECT_EQ(after[i].record, expected) << "record " << i + 1;
    }
    ASSERT_EQ(writeStatus(refs({3}), false), LedgerStatus::Ok);
    after = stored();
    EXPECT_FALSE(after[2].record.状态);
    EXPECT_TRUE(after[0].record.状态);
    EXPECT_EQ(after[2].record.备注, g("备注"));
}

TEST_F(LedgerWriteTest, DeletePurgesAndMovesLaterRecordsDown) {
    put(day(2024, 3, 1), "A", "x", 1, "", false);
    put(day(2024, 3, 1), "B", "x", 2, "", false);
    put(day(2024, 3, 1), "C", "x", 3, "", false);
    ASSERT_EQ(deleteRecord({2, 2}), LedgerStatus::Ok);
    const auto s = stored();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].record.客户, "A");
    EXPECT_EQ(s[1].record.客户, "C");
    EXPECT_FALSE(s[1].deleted);
    const ScanResult r = findRecords({});
    EXPECT_THAT(numbersOf(r), ElementsAre(1, 2));
}

TEST_F(LedgerWriteTest, ValuesGoToTheFieldsTheTableDescriptionNames) {
    const LedgerRecord r{day(2024, 3, 5), g("张三"), g("照片"), -20.5, g("急"), true};
    ASSERT_EQ(appendRecord(r), LedgerStatus::Ok);
    tables::TableFile t;
    ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
    namespace s = schema::ledger;
    // By position, as append and write pass them, each of its field's kind.
    for (std::size_t i = 0; i < std::size(s::kFields); ++i) {
        EXPECT_EQ(t.read(static_cast<int>(i + 1)).kind(), tables::kindOf(s::kFields[i].type)) << i;
    }
    EXPECT_EQ(t.read(int{s::k日期} + 1).asDateTime(), r.日期);
    EXPECT_EQ(t.read(int{s::k客户} + 1).asText(), r.客户);
    EXPECT_EQ(t.read(int{s::k事件} + 1).asText(), r.事件);
    EXPECT_EQ(t.read(int{s::k金额} + 1).asNumber(), r.金额);
    EXPECT_EQ(t.read(int{s::k备注} + 1).asText(), r.备注);
    EXPECT_EQ(t.read(int{s::k状态} + 1).asBool(), r.状态);
    t.close();
    // And read back by the described names.
    const ScanResult found = findRecords({});
    ASSERT_EQ(found.rows.size(), 1u);
    EXPECT_EQ(found.rows[0].record, r);
}

TEST_F(LedgerWriteTest, TextsLongerThanTheirFieldsAreCutAtAWholeCharacter) {
    // 41 bytes for the 40 of 客户, 101 for the 100 of 事件, 201 for the 200 of 备注.
    const auto longText = [](std::size_t characters) {
        std::string t = "x";
        for (std::size_t i = 0; i < characters; ++i) t += g("客");
        return t;
    };
    const LedgerRecord r{day(2024, 3, 5), longText(20), longText(50), 1, longText(100), false};
    ASSERT_EQ(appendRecord(r), LedgerStatus::Ok);
    auto s = stored();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].record.客户, longText(19));
    EXPECT_EQ(s[0].record.事件, longText(49));
    EXPECT_EQ(s[0].record.备注, longText(99));
    // A modification too; a text that fits exactly stays whole.
    const LedgerRecord w{day(2024, 3, 5), std::string(40, 'a'), longText(50), 1, "", false};
    ASSERT_EQ(writeRecord({1, 1}, w), LedgerStatus::Ok);
    s = stored();
    EXPECT_EQ(s[0].record.客户, std::string(40, 'a'));
    EXPECT_EQ(s[0].record.事件, longText(49));
}

// ---------------------------------------------------------- unreadable records

TEST_F(LedgerScanTest, ARecordHeldElsewhereFailsTheWholeScanInsteadOfAShortList) {
    for (int i = 1; i <= 3; ++i) put(day(2024, 3, i), "A", "x", i, "", false);
    {
        testing_support::RecordHeldElsewhere held(std::string(kLedgerFileName), kLedgerPassword, 2);
        const ScanResult r = findRecords({});
        EXPECT_EQ(r.status, LedgerStatus::ReadFailed);
        EXPECT_TRUE(r.rows.empty());
        // Records where the list saw them need no search...
        EXPECT_EQ(writeStatus(refs({1}), true), LedgerStatus::Ok);
        EXPECT_EQ(writeRecord({3, 3}, {day(2024, 3, 3), "C", "x", 3, "", true}), LedgerStatus::Ok);
        // ...one that moved does, and the search cannot read past the held one.
        EXPECT_EQ(writeStatus(std::vector<RecordRef>{{1, 3}}, false), LedgerStatus::ReadFailed);
        EXPECT_EQ(writeRecord({1, 3}, {}), LedgerStatus::ReadFailed);
        // Nor can the held record itself be found.
        EXPECT_EQ(writeStatus(refs({2}), true), LedgerStatus::ReadFailed);
    }
    EXPECT_EQ(stored()[0].record.状态 + stored()[1].record.状态 * 2 + stored()[2].record.状态 * 4,
              5);
    EXPECT_THAT(numbersOf(findRecords({})), ElementsAre(1, 2, 3));
}

// ------------------------------------------------------------ record identity

// Records A, B, C, D with ids 1 to 4; "elsewhere" is another process that
// shares the folder and deletes one of them (mark and purge) after the list
// was filled.
class LedgerIdentityTest : public LedgerDirTest {
  protected:
    void SetUp() override {
        LedgerDirTest::SetUp();
        for (const char* name : {"A", "B", "C", "D"}) put(day(2024, 3, 1), name, "x", 1, "", false);
    }
    static void deleteElsewhere(std::int32_t number) {
        tables::TableFile t;
        ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
        ASSERT_TRUE(t.goTo(number));
        ASSERT_TRUE(t.markDeleted());
        ASSERT_TRUE(t.purge());
        t.close();
    }
    static std::string names() {
        std::string out;
        for (const auto& s : stored()) out += s.record.客户 + (s.record.状态 ? "+" : "");
        return out;
    }
};

TEST_F(LedgerIdentityTest, AMovedRecordIsChangedWhereItNowStands) {
    deleteElsewhere(1);  // B, C, D move to 1, 2, 3
    const LedgerRecord c{day(2024, 3, 2), "C2", "y", 2, "", false};
    EXPECT_EQ(writeRecord({3, 3}, c), LedgerStatus::Ok);
    EXPECT_EQ(names(), "BC2D");
    EXPECT_EQ(writeStatus(std::vector<RecordRef>{{2, 2}, {4, 4}}, true), LedgerStatus::Ok);
    EXPECT_EQ(names(), "B+C2D+");
    EXPECT_EQ(deleteRecord({3, 3}), LedgerStatus::Ok);
    EXPECT_EQ(names(), "B+D+");
}

TEST_F(LedgerIdentityTest, AnEmptiedTableHasNoRecordToChange) {
    for (int i = 0; i < 4; ++i) deleteElsewhere(1);
    EXPECT_EQ(writeRecord({1, 1}, {}), LedgerStatus::RecordGone);
    EXPECT_EQ(deleteRecord({1, 1}), LedgerStatus::RecordGone);
    EXPECT_TRUE(stored().empty());
}

}  // namespace
}  // namespace ledger::testing
