// Reading and saving the settings record against real table files.
#include "settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/record_held_elsewhere.h"
#include "settings_table.h"

using settings::SaveResult;
using settings::Settings;
using tables::FieldDescriptor;
using tables::FieldType;
using tables::TableValue;

namespace {

std::string g(std::string_view utf8) { return testing_tables::gbk(utf8); }

struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class SettingsTable : public ::testing::Test {
  protected:
    void SetUp() override {
        tables::setFatalHandler([](std::string_view m) { throw FatalError(std::string(m)); });
    }
    void TearDown() override { tables::setFatalHandler({}); }

    static std::vector<FieldDescriptor> standardFields(FieldType skinType = FieldType::Integer) {
        auto f = testing_tables::settingsFields();
        f.back().type = skinType;
        return f;
    }

    void create(const std::vector<FieldDescriptor>& fields) {
        ASSERT_EQ(tables::createTable(path_, tables::kAccessPassword, fields), 0);
    }

    void appendRecord(std::vector<TableValue> values) {
        tables::TableFile t;
        ASSERT_TRUE(t.open(path_, tables::kAccessPassword));
        ASSERT_TRUE(t.append(values));
        t.close();
    }

    // The standard table with one record: password, switches and skin number.
    void createWith(std::string passwordGbk, settings::Switches sw, TableValue skin,
                    FieldType skinType = FieldType::Integer) {
        create(standardFields(skinType));
        std::vector<TableValue> v{TableValue::text(std::move(passwordGbk))};
        for (bool b : sw) v.push_back(TableValue::boolean(b));
        v.push_back(skin);
        appendRecord(v);
    }

    std::vector<TableValue> record1() {
        tables::TableFile t;
        EXPECT_TRUE(t.open(path_, tables::kAccessPassword));
        std::vector<TableValue> v;
        for (int i = 1; i <= 14; ++i) v.push_back(t.read(i));
        t.close();
        return v;
    }

    testing_tables::TempFolder folder_;
    std::string path_ = folder_.file("设置.edb");
};

settings::Switches alternating() {
    settings::Switches s{};
    for (int i = 0; i < settings::kSwitchCount; ++i) s[i] = i % 2 == 0;
    return s;
}

}  // namespace

// ---- reading

TEST_F(SettingsTable, MissingFileGivesTheEmptyRecord) {
    EXPECT_EQ(settings::readSettings(path_), Settings{});
}

TEST_F(SettingsTable, EachSwitchLandsInItsOwnMember) {
    for (int on = 0; on < settings::kSwitchCount; ++on) {
        std::filesystem::remove(testing_tables::utf8Path(path_));
        settings::Switches sw{};
        sw[on] = true;
        createWith("", sw, TableValue::integer(0));
        const Settings s = settings::readSettings(path_);
        for (int i = 0; i < settings::kSwitchCount; ++i)
            EXPECT_EQ(s.*settings::kSwitchMembers[i], i == on)
                << "switch " << on << " member " << i;
    }
}

TEST_F(SettingsTable, FieldsAreReadByNameNotByPosition) {
    // The same fields, reversed in the file.
    auto fields = standardFields();
    std::vector<FieldDescriptor> reversed(fields.rbegin(), fields.rend());
    create(reversed);
    std::vector<TableValue> v{TableValue::integer(-9)};
    settings::Switches sw = alternating();
    for (int i = settings::kSwitchCount - 1; i >= 0; --i) v.push_back(TableValue::boolean(sw[i]));
    v.push_back(TableValue::text("abc"));
    appendRecord(v);
    const Settings s = settings::readSettings(path_);
    EXPECT_EQ(s.password, "abc");
    EXPECT_EQ(settings::switchesOf(s), sw);
    EXPECT_EQ(s.skinNumber, -9);
}

TEST_F(SettingsTable, SkinNumberStoredAsDoubleIsTruncatedTowardZero) {
    createWith("", {}, TableValue::number(3.6), FieldType::Double);
    EXPECT_EQ(settings::readSettings(path_).skinNumber, 3);
    std::filesystem::remove(testing_tables::utf8Path(path_));
    createWith("", {}, TableValue::number(-3.6), FieldType::Double);
    EXPECT_EQ(settings::readSettings(path_).skinNumber, -3);
    std::filesystem::remove(testing_tables::utf8Path(path_));
    createWith("", {}, TableValue::number(2.9), FieldType::Float);
    EXPECT_EQ(settings::readSettings(path_).skinNumber, 2);
}

TEST_F(SettingsTable, SkinNumberOfEveryIntegerWidth) {
    createWith("", {}, TableValue::integer(200), FieldType::Byte);
    EXPECT_EQ(settings::readSettings(path_).skinNumber, 200);
    std::filesystem::remove(testing_tables::utf8Path(path_));
    createWith("", {}, TableValue::integer(-1234), FieldType::Short);
    EXPECT_EQ(settings::readSettings(path_).skinNumber, -1234);
    std::filesystem::remove(testing_tables::utf8Path(path_));
    // A long integer gives its low 32 bits.
    createWith("", {}, TableValue::integer((std::int64_t{5} << 32) + 17), FieldType::Long);
    EXPECT_EQ(settings::readSettings(path_).skinNumber, 17);
}

TEST_F(SettingsTable, SkinNumberConversionLimits) {
    EXPECT_EQ(settings::skinNumberFrom(true, -1, 0), -1);
    EXPECT_EQ(settings::skinNumberFrom(true, 0xFFFFFFFFLL, 0), -1);
    EXPECT_EQ(settings::skinNumberFrom(false, 0, -0.9), 0);
    EXPECT_EQ(settings::skinNumberFrom(false, 0, 1e12), 2147483647);
    EXPECT_EQ(settings::skinNumberFrom(false, 0, -1e12), -2147483647 - 1);
    EXPECT_EQ(settings::skinNumberFrom(false, 0, std::nan("")), 0);
}

TEST_F(SettingsTable, TableWithoutRecordsReadsEmpty) {
    create(standardFields());
    EXPECT_EQ(settings::readSettings(path_), Settings{});
}

TEST_F(SettingsTable, ARecordHeldElsewhereReadsAsTheEmptyRecord) {
    settings::Switches sw{};
    sw.fill(true);
    createWith("secret", sw, TableValue::integer(2));
    testing_support::RecordHeldElsewhere held(path_, tables::kAccessPassword, 1);
    // Never some fields from the file and the others from nowhere.
    EXPECT_EQ(settings::readSettings(path_), Settings{});
    held.release();
    EXPECT_EQ(settings::readSettings(path_).password, "secret");
}

TEST_F(SettingsTable, PasswordOfAnotherKindIsFatal) {
    auto fields = standardFields();
    fields[0] = {g("密码"), FieldType::Integer, 0, 0};
    create(fields);
    appendRecord({TableValue::integer(583027)});
    try {
        settings::readSettings(path_);
        FAIL() << "no fatal error";
    } catch (const FatalError& e) {
        EXPECT_EQ(std::string(e.what()), tables::kFatalKindMismatch);
    }
}

TEST_F(SettingsTable, MissingFieldIsFatal) {
    auto fields = standardFields();
    fields.pop_back();  // no "皮肤号"
    create(fields);
    appendRecord({TableValue::text("x")});
    try {
        settings::readSettings(path_);
        FAIL() << "no fatal error";
    } catch (const FatalError& e) {
        EXPECT_EQ(std::string(e.what()), tables::kFatalNoSuchField);
    }
}

// ---- password test

TEST(PasswordTest, ExactBytesOnly) {
    Settings s;
    s.password = "Ab 1";
    EXPECT_TRUE(settings::passwordAccepted(s, "Ab 1"));
    EXPECT_FALSE(settings::passwordAccepted(s, "ab 1"));
    EXPECT_FALSE(settings::passwordAccepted(s, "Ab1"));
    EXPECT_FALSE(settings::passwordAccepted(s, "Ab 1 "));
    EXPECT_FALSE(settings::passwordAccepted(s, ""));
    s.password.clear();
    EXPECT_TRUE(settings::passwordAccepted(s, ""));
    EXPECT_FALSE(settings::passwordAccepted(s, " "));
}

// ---- saving

TEST_F(SettingsTable, BlankPasswordIsRefusedBeforeTheTableIsOpened) {
    settings::SettingsForm f;
    f.passwordEnabled = true;
    f.password = f.confirmation = g(" 　 ");
    // No table at all: the refusal must come before the open.
    EXPECT_EQ(settings::writeSettings(f, path_), SaveResult::InvalidPassword);
    f.password = f.confirmation = "";
    EXPECT_EQ(settings::writeSettings(f, path_), SaveResult::InvalidPassword);
    // A text that only looks blank is a password.
    f.password = f.confirmation = "\t";
    EXPECT_EQ(settings::writeSettings(f, path_), SaveResult::OpenFailed);
}

TEST_F(SettingsTable, MismatchIsRefusedInBothModes) {
    createWith("old", {}, TableValue::integer(4));
    const auto before = record1();
    settings::SettingsForm f;
    f.password = "abc";
    f.confirmation = "abd";
    f.passwordEnabled = true;
    EXPECT_EQ(settings::writeSettings(f, path_), SaveResult::Mismatch);
    f.passwordEnabled = false;
    EXPECT_EQ(settings::writeSettings(f, path_), SaveResult::Mismatch);
    EXPECT_EQ(record1(), before);
}

TEST_F(SettingsTable, MissingTableOnSave) {
    settings::SettingsForm f;
    EXPECT_EQ(settings::writeSettings(f, path_), SaveResult::OpenFailed);
    EXPECT_FALSE(std::filesystem::exists(testing_tables::utf8Path(path_)));
}

TEST_F(SettingsTable, EnabledPasswordKeepsInnerSpacesAndEverySwitch) {
    createWith("", {}, TableValue::integer(12));
    settings::SettingsForm f;
    f.passwordEnabled = true;
    f.password = f.confirmation = g(" 岚 禾 ");
    f.switches.fill(true);
    f.switches[1] = false;
    ASSERT_EQ(settings::writeSettings(f, path_), SaveResult::Saved);
    const Settings s = settings::readSettings(path_);
    EXPECT_EQ(s.password, g(" 岚 禾 "));
    EXPECT_EQ(settings::switchesOf(s), f.switches);
    EXPECT_EQ(s.skinNumber, 12) << "the skin number keeps its stored value";
}

TEST_F(SettingsTable, SaveWritesTheFieldsTheTableDescriptionNames) {
    create(schema::descriptors(schema::settings::kTable));
    appendRecord({TableValue::text(""), TableValue(), TableValue(), TableValue(), TableValue(),
                  TableValue(), TableValue(), TableValue(), TableValue(), TableValue(),
                  TableValue(), TableValue(), TableValue(), TableValue::integer(5)});
    settings::SettingsForm f;
    f.passwordEnabled = true;
    f.password = f.confirmation = "pw";
    f.switches = alternating();
    ASSERT_EQ(settings::writeSettings(f, path_), SaveResult::Saved);
    // By position, each of its described kind.
    namespace d = schema::settings;
    const auto v = record1();
    for (std::size_t i = 0; i < v.size(); ++i)
        EXPECT_EQ(v[i].kind(), tables::kindOf(d::kFields[i].type)) << i;
    EXPECT_EQ(v[d::kPasswordField].asText(), "pw");
    for (std::size_t i = 0; i < d::kSwitchCount; ++i)
        EXPECT_EQ(v[d::kFirstSwitch + i].asBool(), f.switches[i]) << i;
    EXPECT_EQ(v[d::kSkinField].asInteger(), 5);
}

TEST_F(SettingsTable, APasswordLongerThanItsFieldIsRefusedNotCut) {
    create(schema::descriptors(schema::settings::kTable));  // "密码" holds 40 bytes
    appendRecord({TableValue::text("old")});
    settings::SettingsForm f;
    f.passwordEnabled = true;
    std::int32_t width = 0;
    // 41 letters; a letter and twenty two-byte characters (41 bytes, cut at
    // 40 it would end in half a character).
    std::string aAndTwenty = "a";
    for (int i = 0; i < 20; ++i) aAndTwenty += g("密");
    for (const std::string& tooLong : {std::string(41, 'x'), aAndTwenty}) {
        f.password = f.confirmation = tooLong;
        EXPECT_EQ(settings::writeSettings(f, path_, &width), SaveResult::PasswordTooLong);
        EXPECT_EQ(width, 40);
        EXPECT_EQ(settings::readSettings(path_).password, "old");
    }
    // What fits is stored whole.
    f.password = f.confirmation = aAndTwenty.substr(0, 39) + "b";
    ASSERT_EQ(settings::writeSettings(f, path_), SaveResult::Saved);
    EXPECT_EQ(settings::readSettings(path_).password, f.password);
    // With the password disabled nothing of the boxes is stored.
    f.passwordEnabled = false;
    f.password = f.confirmation = std::string(60, 'x');
    EXPECT_EQ(settings::writeSettings(f, path_), SaveResult::Saved);
    EXPECT_EQ(settings::readSettings(path_).password, "");
}

TEST_F(SettingsTable, DisabledPasswordStoresNoPasswordAndNoPrompts) {
    createWith("secret", {}, TableValue::integer(3));
    settings::SettingsForm f;
    f.passwordEnabled = false;
    f.password = f.confirmation = "typed";
    f.switches.fill(true);
    ASSERT_EQ(settings::writeSettings(f, path_), SaveResult::Saved);
    const Settings s = settings::readSettings(path_);
    EXPECT_EQ(s.password, "");
    EXPECT_TRUE(s.allowEntry);
    EXPECT_TRUE(s.allowCustomerDelete);
    EXPECT_FALSE(s.askLoginPassword);
    EXPECT_FALSE(s.askQueryPassword);
    EXPECT_FALSE(s.askCustomerPassword);
    EXPECT_EQ(s.skinNumber, 3);
}

TEST_F(SettingsTable, SaveOnATableWithoutRecordsWritesNothing) {
    create(standardFields());
    settings::SettingsForm f;
    EXPECT_EQ(settings::writeSettings(f, path_), SaveResult::WriteFailed);
    tables::TableFile t;
    ASSERT_TRUE(t.open(path_, tables::kAccessPassword));
    EXPECT_EQ(t.recordCount(), 0);
    t.close();
}
