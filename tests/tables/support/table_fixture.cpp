#include "support/table_fixture.h"

#include <atomic>
#include <random>

namespace tables::testing {

void TableTest::SetUp() {
    // A name of its own per run and test, so that runs side by side never meet.
    static const unsigned run = std::random_device{}();
    static std::atomic<int> serial{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::temp_directory_path() / std::string("lanhe-tables-")
                                                       .append(std::to_string(run))
                                                       .append("-")
                                                       .append(std::to_string(serial++))
                                                       .append("-")
                                                       .append(info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    setFatalHandler([](std::string_view message) { throw FatalCalled(std::string(message)); });
    setLastTableError(kOk);
}

void TableTest::TearDown() { setFatalHandler(nullptr); }

TableTest::~TableTest() {
    // Runs after the derived fixtures' tables are closed, so that every file
    // can go (Windows keeps open files).
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::vector<FieldDescriptor> TableTest::ledgerFields() {
    return {
        {gbk::kDate, FieldType::DateTime, 0, 0}, {gbk::kCustomer, FieldType::Text, 0, 40},
        {gbk::kEvent, FieldType::Text, 0, 100},  {gbk::kAmount, FieldType::Double, 0, 0},
        {gbk::kRemark, FieldType::Text, 0, 200}, {gbk::kStatus, FieldType::Bool, 0, 0},
    };
}

TableShape TableTest::ledgerShape(std::string password) {
    TableShape s;
    s.password = std::move(password);
    s.recordSize = 4 + 8 + 40 + 100 + 8 + 200 + 1;
    s.fields = {
        {gbk::kDate, 8, 4, 0},     {gbk::kCustomer, 10, 12, 40}, {gbk::kEvent, 10, 52, 100},
        {gbk::kAmount, 6, 152, 0}, {gbk::kRemark, 10, 160, 200}, {gbk::kStatus, 7, 360, 0},
    };
    return s;
}

void TableTest::writeTable(const std::string& name, const TableShape& shape, const Bytes& slots) {
    writePlain(dir / name, concat({headerBytes(shape), slots}), shape.password);
}

}  // namespace tables::testing
