#include "settings.h"

#include <cmath>
#include <limits>
#include <vector>

#include "table_file.h"
#include "text.h"

namespace settings {

namespace {

namespace fields = schema::settings;

// File names go to the table layer as UTF-8 on every platform.
std::string fileNameForTables(std::string_view utf8) { return std::string(utf8); }

}  // namespace

Switches switchesOf(const Settings& s) {
    Switches out{};
    for (int i = 0; i < kSwitchCount; ++i) out[i] = s.*kSwitchMembers[i];
    return out;
}

std::int32_t skinNumberFrom(bool integral, std::int64_t integer, double number) {
    if (integral) return static_cast<std::int32_t>(static_cast<std::uint32_t>(integer));
    if (std::isnan(number)) return 0;
    const double t = std::trunc(number);
    if (t >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (t <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(t);
}

Settings readSettings(std::string_view fileName) {
    Settings s;
    tables::TableFile table;
    if (!table.open(fileNameForTables(fileName), tables::kAccessPassword)) return s;
    // By name and in field order, so that a table with its fields in another
    // order still reads right and a faulty one fails at the same field each time.
    // A field that cannot be read (the record held by another process, no
    // record at all) gives the empty record, as a table that cannot be opened
    // does: never a password from the file with switches from nowhere.
    bool unread = false;
    const auto read = [&](std::size_t field) {
        tables::TableValue v = table.read(fields::kFields[field].name);
        if (tables::lastTableError() != tables::kOk) unread = true;
        return v;
    };
    s.password = read(fields::kPasswordField).asText();
    for (int i = 0; i < kSwitchCount; ++i)
        s.*kSwitchMembers[i] = read(fields::kFirstSwitch + static_cast<std::size_t>(i)).asBool();
    const tables::TableValue skin = read(fields::kSkinField);
    if (skin.isIntegral())
        s.skinNumber = skinNumberFrom(true, skin.asInteger(), 0.0);
    else
        s.skinNumber = skinNumberFrom(false, 0, skin.asNumber());
    table.close();
    if (unread) return Settings{};
    return s;
}

bool passwordAccepted(const Settings& s, std::string_view typedGbk) {
    return typedGbk == s.password;
}

SaveResult writeSettings(const SettingsForm& form, std::string_view fileName,
                         std::int32_t* passwordWidth) {
    if (form.passwordEnabled && convert::removeSpaces(form.password).empty())
        return SaveResult::InvalidPassword;
    // Also with the password disabled: boxes left different are a sign of a slip.
    if (form.password != form.confirmation) return SaveResult::Mismatch;

    tables::TableFile table;
    if (!table.open(fileNameForTables(fileName), tables::kAccessPassword))
        return SaveResult::OpenFailed;
    // A password cut to the field would match nothing the operator can type
    // (half a character at the end, or letters missing): refused whole.
    const std::int32_t width =
        schema::textWidth(table.fields(), fields::kFields[fields::kPasswordField].name);
    if (passwordWidth) *passwordWidth = width;
    if (form.passwordEnabled && width > 0 && form.password.size() > static_cast<std::size_t>(width))
        return SaveResult::PasswordTooLong;

    std::vector<tables::TableValue> values;
    values.push_back(
        tables::TableValue::text(form.passwordEnabled ? form.password : std::string()));
    for (int i = 0; i < kSwitchCount; ++i) {
        const bool prompt = i >= 9;  // 登录密码, 查询密码, 客户密码
        values.push_back(tables::TableValue::boolean(
            prompt && !form.passwordEnabled ? false : form.switches[i]));
    }
    // The skin number is left out and keeps its stored value. The cursor
    // stands on record 1 after the open.
    const bool written = table.write(values).ok();
    table.close();
    return written ? SaveResult::Saved : SaveResult::WriteFailed;
}

}  // namespace settings
