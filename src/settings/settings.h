// The settings record of "设置.edb": the access password, the permission and
// prompt switches and the skin number. Read once at start-up and never changed
// during a run; a save changes the file only and takes effect at the next start.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "table_schema.h"

namespace settings {

struct Settings {
    std::string password;  // GBK bytes; empty = no password
    bool allowEntry = false;
    bool allowEntryDate = false;
    bool allowEntryEdit = false;
    bool allowKeywordSearch = false;
    bool allowDateSearch = false;
    bool allowCombinedSearch = false;
    bool allowCustomerAdd = false;
    bool allowCustomerEdit = false;
    bool allowCustomerDelete = false;
    bool askLoginPassword = false;
    bool askQueryPassword = false;
    bool askCustomerPassword = false;
    std::int32_t skinNumber = 0;  // read, never applied

    bool operator==(const Settings&) const = default;
};

// The twelve switches in field order (fields 2 to 13 of the table).
inline constexpr int kSwitchCount = 12;
using Switches = std::array<bool, kSwitchCount>;
inline constexpr std::array<bool Settings::*, kSwitchCount> kSwitchMembers = {
    &Settings::allowEntry,         &Settings::allowEntryDate,    &Settings::allowEntryEdit,
    &Settings::allowKeywordSearch, &Settings::allowDateSearch,   &Settings::allowCombinedSearch,
    &Settings::allowCustomerAdd,   &Settings::allowCustomerEdit, &Settings::allowCustomerDelete,
    &Settings::askLoginPassword,   &Settings::askQueryPassword,  &Settings::askCustomerPassword};
Switches switchesOf(const Settings& s);

// The table; its fields are those of schema::settings, in that order.
inline constexpr std::string_view kSettingsFile = schema::settings::kTable.fileName;
static_assert(schema::settings::kSwitchCount == kSwitchCount);

// Reads record 1 of the settings table. When the table cannot be opened the
// result is the empty record (no password, every switch off) and nothing is
// reported. Fields are read by name, in field order; a missing field or a
// field of another kind is the table library's fatal run-time error. A table
// without records reads as the empty record.
Settings readSettings(std::string_view fileName = kSettingsFile);

// The password test of the login and of every page gate: the typed text (GBK)
// must equal the password byte for byte; an empty text matches an empty password.
bool passwordAccepted(const Settings& s, std::string_view typedGbk);

// What the settings page hands to a save: the radio button, both password boxes
// (GBK) and the twelve check boxes in field order.
struct SettingsForm {
    bool passwordEnabled = false;
    std::string password;
    std::string confirmation;
    Switches switches{};
};

enum class SaveResult {
    Saved,            // "全部保存成功！"
    InvalidPassword,  // "请输入有效密码！"; the table is not touched
    Mismatch,         // "2次输入的密码不一致，请核对！"; the table is not touched
    OpenFailed,       // "设置数据库没有读取成功！"
    PasswordTooLong,  // longer than the table's password field; nothing is written
    WriteFailed,      // nothing is shown
};

// Checks the form and overwrites record 1 of the settings table (the skin
// number keeps its stored value). With the password disabled the password is
// stored empty and the three prompt switches false, whatever the boxes show.
// A password is never cut: one whose bytes do not fit the width of the open
// table's "密码" field is refused (PasswordTooLong), and `passwordWidth`, when
// given, receives that width.
SaveResult writeSettings(const SettingsForm& form, std::string_view fileName = kSettingsFile,
                         std::int32_t* passwordWidth = nullptr);

// The number kinds a skin number may be stored as, reduced to 32 bits: integers
// keep their low 32 bits, fractions are truncated toward zero.
std::int32_t skinNumberFrom(bool integral, std::int64_t integer, double number);

}  // namespace settings
