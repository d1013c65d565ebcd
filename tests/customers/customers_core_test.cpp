// The customer table operations and the ledger sums, without Qt.
#include <gtest/gtest.h>

#include "../support/record_held_elsewhere.h"
#include "customer_tables.h"
#include "customers.h"

using namespace customers;
using customers::testing::g;
using customers::testing::LedgerEntry;

namespace {

class CustomerTableTest : public customers::testing::TableFolderTest {};
class LedgerSumsTest : public customers::testing::TableFolderTest {};

}  // namespace

// --- the customer table ---------------------------------------------------

TEST_F(CustomerTableTest, EmptyTableGivesNoNamesAndMissingTableGivesNothing) {
    EXPECT_EQ(readCustomerNames(customerTable()), std::nullopt);
    makeCustomerTable();
    EXPECT_EQ(readCustomerNames(customerTable()), std::vector<std::string>{});
}

TEST_F(CustomerTableTest, AppendKeepsRecordOrderAndTextsAsTyped) {
    makeCustomerTable(
        {person("张三", "138", "东街 1 号", "常客"), person(" 李四 "), person("张三")});
    EXPECT_EQ(readCustomerNames(customerTable()),
              (std::vector<std::string>{g("张三"), g(" 李四 "), g("张三")}));
    EXPECT_EQ(stored().front().customer, person("张三", "138", "东街 1 号", "常客"));
}

TEST_F(CustomerTableTest, LookupTakesTheFirstRecordOfExactlyThatName) {
    makeCustomerTable({person("王五", "1"), person("王五 ", "2"), person("王五", "3")});
    const Lookup first = findCustomer(g("王五"), customerTable());
    ASSERT_TRUE(first.opened);
    ASSERT_TRUE(first.customer);
    EXPECT_EQ(first.customer->电话, "1");
    EXPECT_EQ(findCustomer(g("王五 "), customerTable()).customer->电话, "2");
    const Lookup none = findCustomer(g("王"), customerTable());
    EXPECT_TRUE(none.opened);
    EXPECT_FALSE(none.customer);
    EXPECT_FALSE(findCustomer(g("王五"), file("无.EDB")).opened);
}

TEST_F(CustomerTableTest, LongTextsAreCutAtAWholeCharacter) {
    makeCustomerTable();
    // 41 bytes: an ASCII letter and twenty two-byte characters; the name
    // field holds 40, so the last character goes whole.
    std::string name = "x";
    for (int i = 0; i < 20; ++i) name += g("客");
    ASSERT_EQ(appendCustomer({name, "", "", ""}, customerTable()), ChangeResult::Done);
    EXPECT_EQ(storedNames().at(0), name.substr(0, 39));
}

TEST_F(CustomerTableTest, ValuesGoToTheFieldsTheTableDescriptionNames) {
    makeCustomerTable();
    ASSERT_EQ(appendCustomer(person("王五", "1", "东街", "熟客"), customerTable()),
              ChangeResult::Done);
    tables::TableFile t;
    ASSERT_TRUE(t.open(customerTable(), tables::kAccessPassword));
    namespace s = schema::customers;
    for (std::size_t i = 0; i < std::size(s::kFields); ++i)
        EXPECT_EQ(t.read(static_cast<int>(i + 1)).kind(), tables::kindOf(s::kFields[i].type));
    EXPECT_EQ(t.read(int{s::k姓名} + 1).asText(), g("王五"));
    EXPECT_EQ(t.read(int{s::k电话} + 1).asText(), "1");
    EXPECT_EQ(t.read(int{s::k地址} + 1).asText(), g("东街"));
    EXPECT_EQ(t.read(int{s::k备注} + 1).asText(), g("熟客"));
    t.close();
    EXPECT_EQ(findCustomer(g("王五"), customerTable()).customer,
              person("王五", "1", "东街", "熟客"));
}

TEST_F(CustomerTableTest, ARecordHeldElsewhereIsNoAnswer) {
    makeCustomerTable({person("甲"), person("乙"), person("丙")});
    const auto before = stored();
    testing_support::RecordHeldElsewhere held(file("客户.EDB"), tables::kAccessPassword, 2);
    // Neither a short list nor "not there" for a name behind the held record.
    EXPECT_FALSE(readCustomerNames(customerTable()));
    EXPECT_FALSE(findCustomer(g("丙"), customerTable()).opened);
    EXPECT_EQ(modifyCustomer(g("丙"), person("丁"), customerTable()), ChangeResult::ReadFailed);
    EXPECT_EQ(deleteCustomer(g("丙"), customerTable()), ChangeResult::ReadFailed);
    // A name found before the held record is found.
    EXPECT_EQ(findCustomer(g("甲"), customerTable()).customer, person("甲"));
    held.release();
    EXPECT_EQ(stored(), before);
}

// --- ledger sums ------------------------------------------------------------

TEST_F(LedgerSumsTest, StatementSumsExactlyTheNamedCustomersEntries) {
    makeLedger({{"张三", 10.25, true},
                {"张三 ", 100, true},
                {"李四", 7, false},
                {"张三", 10.25, false},
                {"张三", -0.5, false}});
    const auto s = customerStatement(g("张三"), ledgerTable());
    ASSERT_TRUE(s);
    EXPECT_DOUBLE_EQ(s->total, 20.0);
    EXPECT_DOUBLE_EQ(s->settled, 10.25);
    EXPECT_DOUBLE_EQ(s->unsettled, 9.75);
    const auto none = customerStatement(g("王五"), ledgerTable());
    ASSERT_TRUE(none);
    EXPECT_EQ(none->total, 0.0);
    EXPECT_EQ(none->settled, 0.0);
    EXPECT_EQ(none->unsettled, 0.0);
}

TEST_F(LedgerSumsTest, MissingLedgerGivesNoSums) {
    EXPECT_FALSE(customerStatement(g("张三"), ledgerTable()));
    EXPECT_FALSE(spendingRanking(ledgerTable()));
}

TEST_F(LedgerSumsTest, ALedgerRecordHeldElsewhereGivesNoSumsRatherThanWrongOnes) {
    makeLedger({{"张三", 10, true}, {"张三", 5, false}, {"李四", 7, false}});
    testing_support::RecordHeldElsewhere held(ledgerTable(), tables::kAccessPassword, 2);
    EXPECT_FALSE(customerStatement(g("张三"), ledgerTable()));
    EXPECT_FALSE(spendingRanking(ledgerTable()));
    held.release();
    EXPECT_EQ(customerStatement(g("张三"), ledgerTable())->total, 15);
}

TEST_F(LedgerSumsTest, RankingRowsFollowFirstAppearanceWithShownSums) {
    makeLedger({{"甲", 10.25, true},
                {"乙", 3.333, false},
                {"", 2, false},
                {"甲", 10.25, false},
                {"甲 ", 1, true},
                {"丙", 1.005, true},
                {"丙", 1.001, true},
                {"丙", 1, true}});
    const auto r = spendingRanking(ledgerTable());
    ASSERT_TRUE(r);
    EXPECT_EQ(
        r->rows,
        (std::vector<RankingRow>{
            {g("甲"), "20.5"}, {g("乙"), "3.333"}, {"", "2"}, {g("甲 "), "1"}, {g("丙"), "3.01"}}));
    EXPECT_NEAR(r->allSettled, 10.25 + 1 + 1.005 + 1.001 + 1, 1e-9);
    EXPECT_NEAR(r->allUnsettled, 3.333 + 2 + 10.25, 1e-9);
}

TEST_F(LedgerSumsTest, StatusOfAnotherKindIsTheDataTypeError) {
    makeLedger({{"甲", 1, true}}, tables::FieldType::Text);
    EXPECT_THROW(
        {
            try {
                (void)spendingRanking(ledgerTable());
            } catch (const customers::testing::FatalError& e) {
                EXPECT_STREQ(e.what(), "数据或数组类型不匹配");
                throw;
            }
        },
        customers::testing::FatalError);
}
