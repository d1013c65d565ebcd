// Test tables for the settings and project code: a private folder with
// "设置.edb" and "项目.edb" laid out as the program expects them.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "gbk.h"
#include "settings.h"
#include "table_file.h"
#include "table_schema.h"

namespace testing_tables {

inline std::string gbk(std::string_view utf8) { return convert::utf8ToGbk(utf8).value(); }

// Table paths are UTF-8 bytes on every platform; std::filesystem would read a
// narrow string in the Windows code page instead.
inline std::filesystem::path utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A fresh folder under the temporary directory, removed again on destruction.
class TempFolder {
  public:
    TempFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("lanhe_" + std::string(test ? test->test_suite_name() : "x") + "_" +
                 std::string(test ? test->name() : "y") + "_" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // `name` and the result are UTF-8, as the table functions take paths.
    std::string file(std::string_view name) const {
        const std::u8string p = (path_ / utf8Path(name)).u8string();
        return std::string(p.begin(), p.end());
    }

  private:
    std::filesystem::path path_;
};

// The settings fields, the password 20 bytes wide (narrower than a new
// table's, as a table made elsewhere may be).
inline std::vector<tables::FieldDescriptor> settingsFields() {
    std::vector<tables::FieldDescriptor> f = schema::descriptors(schema::settings::kTable);
    f[schema::settings::kPasswordField].width = 20;
    return f;
}

// "设置.edb" at `path` holding `s` as its one record.
inline void writeSettingsTable(const std::string& path, const settings::Settings& s) {
    ASSERT_EQ(tables::createTable(path, tables::kAccessPassword, settingsFields()), 0);
    tables::TableFile t;
    ASSERT_TRUE(t.open(path, tables::kAccessPassword));
    std::vector<tables::TableValue> v{tables::TableValue::text(s.password)};
    for (bool on : settings::switchesOf(s)) v.push_back(tables::TableValue::boolean(on));
    v.push_back(tables::TableValue::integer(s.skinNumber));
    ASSERT_TRUE(t.append(v));
    t.close();
}

// An empty "项目.edb" at `path`.
inline void createProjectTable(const std::string& path) {
    ASSERT_EQ(tables::createTable(path, tables::kAccessPassword,
                                  {{gbk("项目"), tables::FieldType::Text, 0, 40}}),
              0);
}

}  // namespace testing_tables
