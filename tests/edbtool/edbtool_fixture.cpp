#include "edbtool_fixture.h"

#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>

#include "scramble.h"

#ifndef EDBTOOL_PATH
#error "EDBTOOL_PATH must name the built tool"
#endif

std::filesystem::path u8path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string readBytes(const std::string& path) {
    std::ifstream in(u8path(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void putWord(std::string& s, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void putBytes(std::string& s, std::size_t n, char c) { s.append(n, c); }

std::int32_t wordIn(const std::string& bytes, std::size_t offset) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = u << 8 | static_cast<unsigned char>(bytes.at(offset + i));
    return static_cast<std::int32_t>(u);
}

void EdbtoolTest::SetUp() {
    // Builds run their tests side by side, so the folder name is random.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    std::random_device random;
    std::filesystem::path base;
    do {
        base = std::filesystem::temp_directory_path() /
               ("edbtool_" + name + "_" + std::to_string(random()));
    } while (!std::filesystem::create_directories(base));
    const auto u8 = base.u8string();
    dir_.assign(u8.begin(), u8.end());
}

void EdbtoolTest::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(u8path(dir_), ec);
}

std::string EdbtoolTest::path(const std::string& name) const {
    // Called before SetUp there is no folder yet, and the name would land in
    // the root.
    if (dir_.empty()) throw std::logic_error("path() before SetUp()");
    return dir_ + "/" + name;
}

ToolResult EdbtoolTest::tool(const std::vector<std::string>& args) {
    // The captured output lives outside the scratch folder, which some tests
    // list.
    const std::string out = dir_ + ".out", err = dir_ + ".err";
    ToolResult r = runProcess(EDBTOOL_PATH, args, out, err);
    std::error_code ec;
    std::filesystem::remove(u8path(out), ec);
    std::filesystem::remove(u8path(err), ec);
    return r;
}

std::string EdbtoolTest::plainBytes(const std::string& file, const std::string& password) {
    std::string bytes = readBytes(file);
    tables::Scrambler(password).apply(0, bytes.data(), bytes.size());
    return bytes;
}

void EdbtoolTest::patchWord(const std::string& file, std::int64_t offset, std::int32_t value,
                            const std::string& password) {
    std::string bytes = readBytes(file);
    std::string word;
    putWord(word, value);
    tables::Scrambler(password).apply(offset, word.data(), word.size());
    bytes.replace(static_cast<std::size_t>(offset), 4, word);
    writeBytes(file, bytes);
}

std::string EdbtoolTest::failureLine(const std::string& file, int code) {
    // The texts of the message table, written out here so that a wrong text
    // in the tool shows.
    static const std::map<int, std::string> kTexts = {
        {-2, "创建数据库失败"},
        {-3, "指定文件未找到"},
        {-4, "无效的路径"},
        {-16, "字段数目必须大于 0 "},
        {-17, "无效的字段类型"},
        {-18,
         "无效的字段名称。名称首字符必须为全半角字母或汉字，其他字符必须为全半角字母、全半角数字或"
         "汉字。名称长度必须小于 16 字符"},
        {-19, "无效的字段尺寸"},
        {-20, "存在重复的字段名称"},
        {-22, "指定文件不是数据库文件"},
        {-23, "指定数据库文件版本太高，无法读入，请升级系统软件"},
        {-35, "读入数据库辅助文件失败"},
        {-36, "数据库辅助文件的版本与数据库本身不一致"},
        {-37, "指定文件不是数据库辅助文件或已被损坏"},
        {-48, "数据库文件尺寸错误"},
        {-59, "访问数据库的辅助文件失败"},
        {-60, "现行记录不存在"},
        {-72, "所提供数据的类型与字段类型不匹配"},
        {-78, "未提供数据库访问密码或提供了错误的密码"},
    };
    return "edbtool: " + file + ": " + std::to_string(code) + " " + kTexts.at(code) + "\n";
}
