// One entry of the ledger table "记账.edb" and the names the ledger code
// shares: the table's file name and field names, and the per-list map from
// list rows to record numbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ledger {

// Field order of the table; append and whole-record writes pass the six
// values in exactly this order. Texts are GBK bytes.
struct LedgerRecord {
    double 日期 = 0.0;   // the day, time part always 00:00:00
    std::string 客户;    // customer
    std::string 事件;    // item; every list and the form call it "项目"
    double 金额 = 0.0;   // yuan, may be negative
    std::string 备注;    // remark, may be empty
    bool 状态 = false;   // true "已结" (settled), false "未结"

    bool operator==(const LedgerRecord&) const = default;
};

// The table file beside the program and its access password.
inline constexpr std::string_view kLedgerFileName = "记账.edb";
inline constexpr std::string_view kLedgerPassword = "583027";

// Field names as the table stores them (GBK).
namespace field {
inline constexpr std::string_view 日期 = "\xC8\xD5\xC6\xDA";
inline constexpr std::string_view 客户 = "\xBF\xCD\xBB\xA7";
inline constexpr std::string_view 事件 = "\xCA\xC2\xBC\xFE";
inline constexpr std::string_view 金额 = "\xBD\xF0\xB6\xEE";
inline constexpr std::string_view 备注 = "\xB1\xB8\xD7\xA2";
inline constexpr std::string_view 状态 = "\xD7\xB4\xCC\xAC";
}  // namespace field

// A list that shows ledger rows never shows more rows than its map holds.
inline constexpr std::size_t kMaxListRows = 10000;

// Entry i holds the record number behind list row i (0 = no record).
using RowRecordMap = std::array<std::int32_t, kMaxListRows>;

}  // namespace ledger
