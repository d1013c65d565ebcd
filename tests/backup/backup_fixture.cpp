#include "backup_fixture.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "file_ops.h"
#include "gbk.h"
#include "table_error.h"
#include "table_file.h"
#include "table_schema.h"

namespace backup::testing {

std::string g(std::string_view utf8) {
    auto gbk = convert::utf8ToGbk(utf8);
    if (!gbk) throw std::runtime_error("not GBK");
    return *gbk;
}

std::filesystem::path u8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string readBytes(const std::string& path) {
    std::ifstream in(u8(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(u8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// ---------------------------------------------------------------- stopping

namespace {

// Compared with either separator, as the platform may give back either.
bool endsWith(std::string s, std::string suffix) {
    std::replace(s.begin(), s.end(), '\\', '/');
    std::replace(suffix.begin(), suffix.end(), '\\', '/');
    return !suffix.empty() && s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class StoppingFile final : public tables::File {
  public:
    StoppingFile(std::unique_ptr<tables::File> inner, StoppingFileSystem& fs, std::string path)
        : inner_(std::move(inner)), fs_(fs), path_(std::move(path)) {}

    std::int64_t readAt(std::int64_t offset, void* buf, std::size_t n) override {
        return inner_->readAt(offset, buf, n);
    }
    tables::TableError writeAt(std::int64_t offset, const void* buf, std::size_t n) override {
        fs_.change();
        if (fs_.failsWritesTo(path_)) return tables::kDiskFull;
        return inner_->writeAt(offset, buf, n);
    }
    std::int64_t size() override { return inner_->size(); }
    tables::TableError truncate(std::int64_t length) override {
        fs_.change();
        return inner_->truncate(length);
    }
    tables::TableError sync() override {
        fs_.change();
        return inner_->sync();
    }
    tables::TableError lock(std::int64_t offset, std::int64_t length) override {
        return inner_->lock(offset, length);
    }
    tables::TableError unlock(std::int64_t offset, std::int64_t length) override {
        return inner_->unlock(offset, length);
    }

  private:
    std::unique_ptr<tables::File> inner_;
    StoppingFileSystem& fs_;
    std::string path_;
};

}  // namespace

StoppingFileSystem::StoppingFileSystem() {
    tables::setFileSystemForTesting(this);
    setStepHookForTesting([this](std::string_view) { change(); });
}

StoppingFileSystem::~StoppingFileSystem() {
    setStepHookForTesting({});
    tables::setFileSystemForTesting(nullptr);
}

void StoppingFileSystem::change() {
    if (changes++ == stopAt) throw Crash();
}

bool StoppingFileSystem::failsWritesTo(const std::string& path) {
    if (!failWrites || !endsWith(path, failSuffix) || failuresLeft == 0) return false;
    if (failuresLeft > 0) --failuresLeft;
    return true;
}

std::unique_ptr<tables::File> StoppingFileSystem::open(const std::string& path,
                                                       const tables::FileOpenRequest& request,
                                                       tables::TableError* error) {
    auto inner = tables::systemFileSystem().open(path, request, error);
    if (!inner) return nullptr;
    return std::make_unique<StoppingFile>(std::move(inner), *this, path);
}

std::unique_ptr<tables::File> StoppingFileSystem::create(const std::string& path,
                                                         tables::TableError* error) {
    auto inner = tables::systemFileSystem().create(path, error);
    if (!inner) return nullptr;
    return std::make_unique<StoppingFile>(std::move(inner), *this, path);
}

std::string StoppingFileSystem::absolutePath(const std::string& path) {
    return tables::systemFileSystem().absolutePath(path);
}
std::string StoppingFileSystem::resolveCase(const std::string& path) {
    return tables::systemFileSystem().resolveCase(path);
}
std::uint32_t StoppingFileSystem::tickCount() { return tables::systemFileSystem().tickCount(); }
void StoppingFileSystem::sleepMs(std::uint32_t ms) { tables::systemFileSystem().sleepMs(ms); }

// ---------------------------------------------------------------- fixture

void BackupTest::SetUp() {
    static int counter = 0;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("lanhe_backup_" + std::string(test->name()) + "_" + std::to_string(++counter) + "_" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    dir_ = detail::utf8Path(dir);
    tables::setFatalHandler(
        [](std::string_view m) { throw std::runtime_error("fatal: " + std::string(m)); });
}

void BackupTest::TearDown() {
    tables::setFatalHandler({});
    std::error_code ec;
    std::filesystem::remove_all(u8(dir_), ec);
}

std::string BackupTest::at(std::string_view name) const { return detail::join(dir_, name); }

void BackupTest::makeTables(const std::string& dir) {
    const std::string folder = dir.empty() ? dir_ : dir;
    for (const schema::Table& t : schema::kTables) {
        std::string name(t.fileName);
        if (name.find('.') == std::string::npos) name += ".EDB";
        const std::string path = detail::join(folder, name);
        ASSERT_EQ(tables::createTable(path, tables::kAccessPassword, schema::descriptors(t)), 0);
        if (t.fileName != schema::settings::kTable.fileName) continue;
        tables::TableFile table;
        ASSERT_TRUE(table.open(path, tables::kAccessPassword));
        ASSERT_TRUE(table.append({tables::TableValue::text(g("密码"))}));
    }
}

void BackupTest::addEntry(double amount, const std::string& dir) {
    tables::TableFile table;
    ASSERT_TRUE(
        table.open(detail::join(dir.empty() ? dir_ : dir, "记账.edb"), tables::kAccessPassword));
    using tables::TableValue;
    ASSERT_TRUE(table.append({TableValue::dateTime(45352), TableValue::text(g("王小明")),
                              TableValue::text(g("相框")), TableValue::number(amount),
                              TableValue::text(g("第") + std::to_string(int(amount)) + g("笔")),
                              TableValue::boolean(int(amount) % 2 == 0)}));
}

void BackupTest::addCustomer(std::string_view nameUtf8, const std::string& dir) {
    tables::TableFile table;
    ASSERT_TRUE(
        table.open(detail::join(dir.empty() ? dir_ : dir, "客户"), tables::kAccessPassword));
    using tables::TableValue;
    ASSERT_TRUE(table.append({TableValue::text(g(nameUtf8)), TableValue::text("13800000001"),
                              TableValue::text(g("东街12号")), TableValue::text("")}));
}

std::vector<double> BackupTest::amounts(const std::string& ledgerPath) {
    std::vector<double> out;
    for (const auto& r : records(ledgerPath)) out.push_back(r[3].asNumber());
    return out;
}

std::vector<std::vector<tables::TableValue>> BackupTest::records(const std::string& tablePath) {
    std::vector<std::vector<tables::TableValue>> out;
    tables::TableFile table;
    tables::OpenOptions options;
    options.readOnly = true;
    if (!table.open(tablePath, tables::kAccessPassword, options)) {
        ADD_FAILURE() << "cannot open " << tablePath;
        return out;
    }
    const tables::Status walked = table.forEachRecord([&] {
        if (table.isDeleted()) return true;
        auto& values = out.emplace_back();
        for (std::size_t f = 0; f < table.fields().size(); ++f)
            values.push_back(table.read(static_cast<int>(f) + 1));
        return true;
    });
    EXPECT_TRUE(walked.ok()) << walked.message();
    return out;
}

std::map<std::string, std::string> BackupTest::snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(u8(dir))) {
        if (!entry.is_regular_file()) continue;
        const std::string path = detail::utf8Path(entry.path());
        files[detail::baseName(path)] = readBytes(path);
    }
    return files;
}

std::vector<std::string> BackupTest::folders(const std::string& dir) {
    std::vector<std::string> names = detail::subfolders(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace backup::testing
