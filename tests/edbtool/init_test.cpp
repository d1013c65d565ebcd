// init: the four tables the program expects, made once and never replaced.
#include <map>
#include <set>

#include "edbtool_fixture.h"

namespace {

const std::string kPassword = "583027";

std::set<std::string> entries(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(u8path(dir))) {
        const auto u8 = e.path().filename().u8string();
        names.emplace(u8.begin(), u8.end());
    }
    return names;
}

struct Field {
    std::string gbkName;
    int type;
    int offset;
    int width;
};

// Reads the descriptors of a table as stored and compares them with `want`.
void expectFields(const std::string& plain, const std::vector<Field>& want, int recordSize) {
    ASSERT_GE(plain.size(), 116u + 72u * want.size());
    EXPECT_EQ(wordIn(plain, 4), 0x00010000);
    EXPECT_EQ(wordIn(plain, 24), recordSize);
    EXPECT_EQ(plain.substr(28, 33), "f8cdfd59745718b9a9922fb422990edf" + std::string(1, '\0'));
    ASSERT_EQ(wordIn(plain, 112), static_cast<int>(want.size()));
    for (std::size_t i = 0; i < want.size(); ++i) {
        const std::size_t d = 116 + 72 * i;
        std::string name = want[i].gbkName;
        name.resize(17, '\0');
        EXPECT_EQ(plain.substr(d, 17), name) << "field " << i + 1;
        EXPECT_EQ(wordIn(plain, d + 20), want[i].type) << "field " << i + 1;
        EXPECT_EQ(wordIn(plain, d + 24), want[i].offset) << "field " << i + 1;
        EXPECT_EQ(wordIn(plain, d + 28), want[i].width) << "field " << i + 1;
    }
}

TEST_F(EdbtoolTest, InitMakesTheFourProtectedTables) {
    const ToolResult r = tool({"init", dir_});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entries(dir_),
              (std::set<std::string>{"记账.edb", "设置.edb", "项目.edb", "客户.EDB"}));

    const std::string ledger = plainBytes(path("记账.edb"), kPassword);
    EXPECT_EQ(ledger.substr(0, 4), "WCDB");
    expectFields(ledger,
                 {{"\xC8\xD5\xC6\xDA", 8, 4, 0},       // 日期
                  {"\xBF\xCD\xBB\xA7", 10, 12, 40},    // 客户
                  {"\xCA\xC2\xBC\xFE", 10, 52, 100},   // 事件
                  {"\xBD\xF0\xB6\xEE", 6, 152, 0},     // 金额
                  {"\xB1\xB8\xD7\xA2", 10, 160, 200},  // 备注
                  {"\xD7\xB4\xCC\xAC", 7, 360, 0}},    // 状态
                 361);
    EXPECT_EQ(wordIn(ledger, 16), 0);
    EXPECT_EQ(ledger.size(), 116u + 6 * 72);

    expectFields(plainBytes(path("客户.EDB"), kPassword),
                 {{"\xD0\xD5\xC3\xFB", 10, 4, 40},      // 姓名
                  {"\xB5\xE7\xBB\xB0", 10, 44, 40},     // 电话
                  {"\xB5\xD8\xD6\xB7", 10, 84, 100},    // 地址
                  {"\xB1\xB8\xD7\xA2", 10, 184, 200}},  // 备注
                 384);
    expectFields(plainBytes(path("项目.edb"), kPassword), {{"\xCF\xEE\xC4\xBF", 10, 4, 100}}, 104);
}

TEST_F(EdbtoolTest, InitSettingsHoldOneRecordWithEverythingOff) {
    ASSERT_EQ(tool({"init", dir_}).status, 0);
    const std::string settings = plainBytes(path("设置.edb"), kPassword);
    std::vector<Field> want = {{"\xC3\xDC\xC2\xEB", 10, 4, 40}};  // 密码
    const std::vector<std::string> gbkSwitches = {
        "\xBC\xC7\xD5\xCB\xC2\xBC\xC8\xEB",
        "\xBC\xC7\xD5\xCB\xC8\xD5\xC6\xDA",
        "\xBC\xC7\xD5\xCB\xD0\xDE\xB8\xC4\xC9\xBE\xB3\xFD",
        "\xCD\xB3\xBC\xC6\xC4\xA3\xBA\xFD",
        "\xCD\xB3\xBC\xC6\xCA\xB1\xBC\xE4",
        "\xCD\xB3\xBC\xC6\xD7\xE9\xBA\xCF",
        "\xBF\xCD\xBB\xA7\xCC\xED\xBC\xD3",
        "\xBF\xCD\xBB\xA7\xD0\xDE\xB8\xC4",
        "\xBF\xCD\xBB\xA7\xC9\xBE\xB3\xFD",
        "\xB5\xC7\xC2\xBC\xC3\xDC\xC2\xEB",
        "\xB2\xE9\xD1\xAF\xC3\xDC\xC2\xEB",
        "\xBF\xCD\xBB\xA7\xC3\xDC\xC2\xEB"};
    for (std::size_t i = 0; i < gbkSwitches.size(); ++i)
        want.push_back({gbkSwitches[i], 7, 44 + static_cast<int>(i), 0});
    want.push_back({"\xC6\xA4\xB7\xF4\xBA\xC5", 3, 56, 0});  // 皮肤号
    expectFields(settings, want, 60);

    // One record, id 1, all zero: empty password, switches off, skin 0.
    EXPECT_EQ(wordIn(settings, 16), 1);
    EXPECT_EQ(wordIn(settings, 20), 2);
    const std::size_t data = 116 + 72 * 14;
    ASSERT_EQ(settings.size(), data + 60);
    EXPECT_EQ(wordIn(settings, data), 1);
    EXPECT_EQ(settings.substr(data + 4), std::string(56, '\0'));

    const ToolResult dump = tool({"dump", path("设置.edb"), "--password", kPassword});
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(dump.out,
              "{\"record\":1,\"id\":1,\"deleted\":false,\"values\":[\"\",false,false,false,false,"
              "false,false,false,false,false,false,false,false,0]}\n");
}

TEST_F(EdbtoolTest, InitLeavesExistingTablesAlone) {
    // A customer table already there under a lower-case extension counts.
    writeBytes(path("客户.edb"), "not a table, but the keeper's");
    ASSERT_EQ(tool({"init", dir_}).status, 0);
    ASSERT_EQ(tool({"append", path("项目.edb"), "--password", kPassword, "[\"相框\"]"}).status, 0);
    std::map<std::string, std::string> before;
    for (const auto& name : entries(dir_)) before[name] = readBytes(path(name));
    EXPECT_EQ(before.size(), 4u);
    EXPECT_EQ(before["客户.edb"], "not a table, but the keeper's");

    const ToolResult again = tool({"init", dir_});
    EXPECT_EQ(again.status, 0) << again.err;
    std::map<std::string, std::string> after;
    for (const auto& name : entries(dir_)) after[name] = readBytes(path(name));
    EXPECT_EQ(after, before);
}

TEST_F(EdbtoolTest, InitNeedsAnExistingFolder) {
    const std::string missing = path("no such folder");
    const ToolResult r = tool({"init", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, failureLine(missing, -4));
    EXPECT_FALSE(std::filesystem::exists(u8path(missing)));
}

}  // namespace
