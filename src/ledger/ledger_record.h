// One entry of the ledger table "记账.edb" and the names the ledger code
// shares: the table's file name and field names, and the per-list map from
// list rows to record numbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "table_schema.h"

namespace ledger {

// Field order of the table; append and whole-record writes pass the six
// values in exactly this order. Texts are GBK bytes.
struct LedgerRecord {
    double 日期 = 0.0;  // the day, time part always 00:00:00
    std::string 客户;   // customer
    std::string 事件;   // item; every list and the form call it "项目"
    double 金额 = 0.0;  // yuan, may be negative
    std::string 备注;   // remark, may be empty
    bool 状态 = false;  // true "已结" (settled), false "未结"

    bool operator==(const LedgerRecord&) const = default;
};

// The table file beside the program and its access password.
inline constexpr std::string_view kLedgerFileName = schema::ledger::kTable.fileName;
inline constexpr std::string_view kLedgerPassword = schema::kPassword;

// Field names as the table stores them (GBK).
namespace field {
namespace s = schema::ledger;
inline constexpr std::string_view 日期 = s::kFields[s::k日期].name;
inline constexpr std::string_view 客户 = s::kFields[s::k客户].name;
inline constexpr std::string_view 事件 = s::kFields[s::k事件].name;
inline constexpr std::string_view 金额 = s::kFields[s::k金额].name;
inline constexpr std::string_view 备注 = s::kFields[s::k备注].name;
inline constexpr std::string_view 状态 = s::kFields[s::k状态].name;
}  // namespace field

// A list that shows ledger rows never shows more rows than its map holds.
inline constexpr std::size_t kMaxListRows = 10000;

// Entry i holds the record number behind list row i (0 = no record).
using RowRecordMap = std::array<std::int32_t, kMaxListRows>;

// A record as a list row remembers it: its number when the list was filled
// and its record id, which stays with the record when a purge (here or in
// another process sharing the folder) moves it to another number.
struct RecordRef {
    std::int32_t number = 0;
    std::int32_t id = 0;  // 0: none known; such a ref is never written
    bool operator==(const RecordRef&) const = default;
};

}  // namespace ledger
