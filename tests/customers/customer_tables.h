// Test tables for the customer code: a private folder holding "客户.EDB" and
// "记账.edb" laid out as the program's tables are, GBK helpers and a direct
// view of what the customer table stores.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "customers.h"
#include "gbk.h"
#include "table_error.h"
#include "table_file.h"
#include "table_schema.h"

namespace customers::testing {

inline std::string g(std::string_view utf8) {
    auto gbk = convert::utf8ToGbk(utf8);
    if (!gbk) throw std::runtime_error("not GBK: " + std::string(utf8));
    return *gbk;
}

struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct LedgerEntry {
    std::string customer;  // UTF-8
    double amount = 0.0;
    bool settled = false;
};

class TableFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("lanhe_cust_" + std::string(test->name()) + "_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        tables::setFatalHandler([](std::string_view m) { throw FatalError(std::string(m)); });
    }
    void TearDown() override {
        tables::setFatalHandler({});
        std::filesystem::remove_all(dir_);
    }

    // Table paths are UTF-8 bytes on every platform.
    std::string file(std::string_view utf8Name) const {
        const std::u8string dir = dir_.u8string();
        return std::string(dir.begin(), dir.end()) + "/" + std::string(utf8Name);
    }
    static std::filesystem::path fsPath(std::string_view utf8) {
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
    }
    // The customer table is opened without extension, as the program does.
    std::string customerTable() const { return file("客户"); }
    std::string ledgerTable() const { return file("记账.edb"); }

    void makeCustomerTable(const std::vector<Customer>& rows = {}) {
        ASSERT_EQ(tables::createTable(file("客户.EDB"), tables::kAccessPassword,
                                      schema::descriptors(schema::customers::kTable)),
                  0);
        for (const Customer& c : rows)
            ASSERT_EQ(appendCustomer(c, customerTable()), ChangeResult::Done);
    }
    // A customer of UTF-8 texts.
    static Customer person(std::string_view name, std::string_view phone = "",
                           std::string_view address = "", std::string_view remark = "") {
        return {g(name), g(phone), g(address), g(remark)};
    }

    void makeLedger(const std::vector<LedgerEntry>& entries,
                    tables::FieldType statusType = tables::FieldType::Bool) {
        using tables::FieldType;
        auto fields = schema::descriptors(schema::ledger::kTable);
        fields[schema::ledger::k状态] = {g("状态"), statusType, 0,
                                         statusType == FieldType::Text ? 4 : 0};
        ASSERT_EQ(tables::createTable(ledgerTable(), tables::kAccessPassword, fields), 0);
        tables::TableFile t;
        ASSERT_TRUE(t.open(ledgerTable(), tables::kAccessPassword));
        using tables::TableValue;
        for (const LedgerEntry& e : entries) {
            const TableValue status = statusType == FieldType::Bool
                                          ? TableValue::boolean(e.settled)
                                          : TableValue::text(e.settled ? "1" : "0");
            ASSERT_TRUE(t.append({TableValue::dateTime(46000), TableValue::text(g(e.customer)),
                                  TableValue::text(g("照片")), TableValue::number(e.amount),
                                  TableValue::text(""), status}));
        }
        t.close();
    }

    // Every slot of the customer table as stored, with its deleted mark.
    struct Stored {
        Customer customer;
        bool deleted = false;
        bool operator==(const Stored&) const = default;
    };
    std::vector<Stored> stored() const {
        std::vector<Stored> out;
        tables::TableFile t;
        if (!t.open(customerTable(), tables::kAccessPassword)) {
            ADD_FAILURE() << "cannot open the customer table";
            return out;
        }
        const tables::Status walked = t.forEachRecord([&] {
            out.push_back(
                {{t.read(1).asText(), t.read(2).asText(), t.read(3).asText(), t.read(4).asText()},
                 t.isDeleted()});
            return true;
        });
        if (!walked) ADD_FAILURE() << walked.message();
        t.close();
        return out;
    }
    std::vector<std::string> storedNames() const {
        std::vector<std::string> out;
        for (const Stored& s : stored()) out.push_back(s.customer.姓名);
        return out;
    }

    std::filesystem::path dir_;
};

}  // namespace customers::testing
