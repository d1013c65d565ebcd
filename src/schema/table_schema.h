// The four tables the program keeps beside it, described once: the file
// names they are opened by, their fields in binding order (append and write
// pass values by position), each field's kind, the width a new table gives
// its text fields, and the access password. The cores read and write by these
// names and in this order; `edbtool init` makes new tables from it. The
// recycle bin, a table of the program's own, is described here as well.
//
// Widths here are only what a new table gets. A table that already exists
// keeps its own, so the cores take widths from the open table's descriptors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "table_file.h"

namespace schema {

// Every table is protected with this password.
inline constexpr std::string_view kPassword = tables::kAccessPassword;

struct Field {
    std::string_view name;      // GBK, as the table stores it
    std::string_view utf8Name;  // the same name for people
    tables::FieldType type = tables::FieldType::Text;
    std::int32_t width = 0;  // text fields: bytes reserved in a new table
};

struct Table {
    std::string_view fileName;  // UTF-8, as the program opens it
    std::span<const Field> fields;
};

using tables::FieldType;

// "记账.edb": one entry of the ledger.
namespace ledger {
enum : std::size_t { k日期, k客户, k事件, k金额, k备注, k状态 };
inline constexpr Field kFields[] = {
    {"\xC8\xD5\xC6\xDA", "日期", FieldType::DateTime},
    {"\xBF\xCD\xBB\xA7", "客户", FieldType::Text, 40},
    {"\xCA\xC2\xBC\xFE", "事件", FieldType::Text, 100},
    {"\xBD\xF0\xB6\xEE", "金额", FieldType::Double},
    {"\xB1\xB8\xD7\xA2", "备注", FieldType::Text, 200},
    {"\xD7\xB4\xCC\xAC", "状态", FieldType::Bool},
};
inline constexpr Table kTable{"记账.edb", kFields};
}  // namespace ledger

// "设置.edb": one record, read at start-up and overwritten by the settings page.
namespace settings {
// The password, the twelve switches from 记账录入 to 客户密码, the skin number.
inline constexpr std::size_t kPasswordField = 0;
inline constexpr std::size_t kFirstSwitch = 1;
inline constexpr std::size_t kSwitchCount = 12;
inline constexpr std::size_t kSkinField = 13;
inline constexpr Field kFields[] = {
    {"\xC3\xDC\xC2\xEB", "密码", FieldType::Text, 40},
    {"\xBC\xC7\xD5\xCB\xC2\xBC\xC8\xEB", "记账录入", FieldType::Bool},
    {"\xBC\xC7\xD5\xCB\xC8\xD5\xC6\xDA", "记账日期", FieldType::Bool},
    {"\xBC\xC7\xD5\xCB\xD0\xDE\xB8\xC4\xC9\xBE\xB3\xFD", "记账修改删除", FieldType::Bool},
    {"\xCD\xB3\xBC\xC6\xC4\xA3\xBA\xFD", "统计模糊", FieldType::Bool},
    {"\xCD\xB3\xBC\xC6\xCA\xB1\xBC\xE4", "统计时间", FieldType::Bool},
    {"\xCD\xB3\xBC\xC6\xD7\xE9\xBA\xCF", "统计组合", FieldType::Bool},
    {"\xBF\xCD\xBB\xA7\xCC\xED\xBC\xD3", "客户添加", FieldType::Bool},
    {"\xBF\xCD\xBB\xA7\xD0\xDE\xB8\xC4", "客户修改", FieldType::Bool},
    {"\xBF\xCD\xBB\xA7\xC9\xBE\xB3\xFD", "客户删除", FieldType::Bool},
    {"\xB5\xC7\xC2\xBC\xC3\xDC\xC2\xEB", "登录密码", FieldType::Bool},
    {"\xB2\xE9\xD1\xAF\xC3\xDC\xC2\xEB", "查询密码", FieldType::Bool},
    {"\xBF\xCD\xBB\xA7\xC3\xDC\xC2\xEB", "客户密码", FieldType::Bool},
    {"\xC6\xA4\xB7\xF4\xBA\xC5", "皮肤号", FieldType::Integer},
};
inline constexpr Table kTable{"设置.edb", kFields};
}  // namespace settings

// "项目.edb": the shop's usual items.
namespace projects {
inline constexpr Field kFields[] = {
    {"\xCF\xEE\xC4\xBF", "项目", FieldType::Text, 100},
};
inline constexpr Table kTable{"项目.edb", kFields};
}  // namespace projects

// The customer table, opened as "客户" (the table layer adds the extension).
namespace customers {
enum : std::size_t { k姓名, k电话, k地址, k备注 };
inline constexpr Field kFields[] = {
    {"\xD0\xD5\xC3\xFB", "姓名", FieldType::Text, 40},
    {"\xB5\xE7\xBB\xB0", "电话", FieldType::Text, 40},
    {"\xB5\xD8\xD6\xB7", "地址", FieldType::Text, 100},
    {"\xB1\xB8\xD7\xA2", "备注", FieldType::Text, 200},
};
inline constexpr Table kTable{"客户", kFields};
}  // namespace customers

// "回收站.edb": ledger entries and customers the program removed, with when
// and from where, so that they can be put back. Not one of the four: the
// program makes it when it is missing (recycle_bin.h), and a backup leaves it
// out. A removed record keeps its values in the fields of its own table's
// kind; the fields of the other table stay empty.
namespace recycle {
enum : std::size_t {
    k删除时间,
    k来源,
    k日期,
    k客户,
    k事件,
    k金额,
    k备注,
    k状态,
    k姓名,
    k电话,
    k地址,
    k客户备注,
};
// Where each table's values start, in that table's own field order.
inline constexpr std::size_t kLedgerFirst = k日期;
inline constexpr std::size_t kCustomerFirst = k姓名;
inline constexpr Field kFields[] = {
    {"\xC9\xBE\xB3\xFD\xCA\xB1\xBC\xE4", "删除时间", FieldType::DateTime},
    {"\xC0\xB4\xD4\xB4", "来源", FieldType::Text, 16},
    {"\xC8\xD5\xC6\xDA", "日期", FieldType::DateTime},
    {"\xBF\xCD\xBB\xA7", "客户", FieldType::Text, 40},
    {"\xCA\xC2\xBC\xFE", "事件", FieldType::Text, 100},
    {"\xBD\xF0\xB6\xEE", "金额", FieldType::Double},
    {"\xB1\xB8\xD7\xA2", "备注", FieldType::Text, 200},
    {"\xD7\xB4\xCC\xAC", "状态", FieldType::Bool},
    {"\xD0\xD5\xC3\xFB", "姓名", FieldType::Text, 40},
    {"\xB5\xE7\xBB\xB0", "电话", FieldType::Text, 40},
    {"\xB5\xD8\xD6\xB7", "地址", FieldType::Text, 100},
    {"\xBF\xCD\xBB\xA7\xB1\xB8\xD7\xA2", "客户备注", FieldType::Text, 200},
};
inline constexpr Table kTable{"回收站.edb", kFields};
// What "来源" holds (GBK): the ledger or the customer table.
inline constexpr std::string_view kFromLedger = "\xBC\xC7\xD5\xCB";     // 记账
inline constexpr std::string_view kFromCustomers = "\xBF\xCD\xBB\xA7";  // 客户
}  // namespace recycle

// The four, in the order edbtool init makes them.
inline constexpr Table kTables[] = {ledger::kTable, settings::kTable, projects::kTable,
                                    customers::kTable};

// The descriptors a new table is made with (offsets are the table layer's).
std::vector<tables::FieldDescriptor> descriptors(const Table& table);

// The width of the text field named `gbkName` in an open table's descriptors
// (names compared byte for byte); 0 when it has none.
std::int32_t textWidth(const std::vector<tables::FieldDescriptor>& fields,
                       std::string_view gbkName);

// `text` (GBK) as the field named `gbkName` of an open table can hold it:
// cut at a whole character (convert::fitToWidth) when it is longer than the
// field's width, unchanged when it fits or the field is no text field.
std::string fitToField(const std::vector<tables::FieldDescriptor>& fields, std::string_view gbkName,
                       std::string_view text);

}  // namespace schema
