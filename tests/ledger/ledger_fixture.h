// Shared by the ledger tests: a fresh ledger table in a temporary folder that
// is the current directory while a test runs, GBK helpers, day numbers and a
// direct view of the table file to check what was stored.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "gbk.h"
#include "ledger_record.h"
#include "table_file.h"
#include "table_schema.h"

namespace ledger::testing {

// Table paths are UTF-8 bytes on every platform; std::filesystem would read a
// narrow string in the Windows code page instead.
inline std::filesystem::path utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// UTF-8 source text to the GBK bytes the table stores.
inline std::string g(std::string_view utf8) {
    auto gbk = convert::utf8ToGbk(utf8);
    if (!gbk) throw std::runtime_error("not GBK: " + std::string(utf8));
    return *gbk;
}

// Days since 30 December 1899 of a calendar day (proleptic Gregorian).
inline double day(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int daysSince1970 = era * 146097 + doe - 719468;
    return daysSince1970 + 25569.0;
}

struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The ledger's field layout as the program's tables have it.
inline std::vector<tables::FieldDescriptor> ledgerFields() {
    return schema::descriptors(schema::ledger::kTable);
}

// A temporary folder made the current directory, with an empty ledger table
// in it (unless the test asks for none). Fatal run-time errors throw.
class LedgerDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        oldDir_ = std::filesystem::current_path();
        dir_ =
            std::filesystem::temp_directory_path() /
            ("lanhe_ledger_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + std::to_string(counter()++) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        tables::setFatalHandler(
            [](std::string_view message) { throw FatalError(std::string(message)); });
        if (createLedger()) {
            ASSERT_EQ(tables::createTable(kLedgerFileName, kLedgerPassword, ledgerFields()), 0);
        }
    }
    void TearDown() override {
        tables::setFatalHandler({});
        std::filesystem::current_path(oldDir_);
        std::filesystem::remove_all(dir_);
    }
    virtual bool createLedger() const { return true; }

    // Appends straight through the table file, bypassing the ledger code.
    static void put(double date, std::string_view customerUtf8, std::string_view itemUtf8,
                    double amount, std::string_view remarkUtf8, bool settled) {
        tables::TableFile t;
        ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
        using tables::TableValue;
        ASSERT_TRUE(t.append({TableValue::dateTime(date), TableValue::text(g(customerUtf8)),
                              TableValue::text(g(itemUtf8)), TableValue::number(amount),
                              TableValue::text(g(remarkUtf8)), TableValue::boolean(settled)}));
        t.close();
    }

    // Every slot of the table as stored, deleted ones included.
    struct Stored {
        LedgerRecord record;
        bool deleted = false;
    };
    static std::vector<Stored> stored() {
        std::vector<Stored> out;
        tables::TableFile t;
        if (!t.open(kLedgerFileName, kLedgerPassword)) {
            ADD_FAILURE() << "cannot open the ledger";
            return out;
        }
        std::int32_t n = 0;
        if (const tables::Status s = t.recordCount(n); !s) ADD_FAILURE() << s.message();
        if (!t.goFirst()) ADD_FAILURE() << "goFirst";
        for (std::int32_t i = 0; i < n; ++i) {
            Stored s;
            s.deleted = t.isDeleted();
            s.record.日期 = t.read(field::日期).asDateTime();
            s.record.客户 = t.read(field::客户).asText();
            s.record.事件 = t.read(field::事件).asText();
            s.record.金额 = t.read(field::金额).asNumber();
            s.record.备注 = t.read(field::备注).asText();
            s.record.状态 = t.read(field::状态).asBool();
            out.push_back(std::move(s));
            if (!t.skip(1)) ADD_FAILURE() << "skip";
        }
        t.close();
        return out;
    }

    std::filesystem::path dir_;

  private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path oldDir_;
};

}  // namespace ledger::testing
