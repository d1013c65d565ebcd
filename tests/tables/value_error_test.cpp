// Table values, result texts, the per-thread last error and the fatal error.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "support/table_fixture.h"
#include "table_value.h"

namespace tables::testing {
namespace {

using ValueTest = TableTest;

TEST_F(ValueTest, KindsAndReaders) {
    EXPECT_TRUE(TableValue().isAbsent());
    EXPECT_EQ(TableValue::integer(-5).kind(), ValueKind::Number);
    EXPECT_TRUE(TableValue::integer(-5).isIntegral());
    EXPECT_FALSE(TableValue::number(2.0).isIntegral());
    EXPECT_EQ(TableValue::integer(std::numeric_limits<std::int64_t>::min()).asInteger(),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(TableValue::integer(7).asNumber(), 7.0);
    EXPECT_EQ(TableValue::number(-2.9).asInteger(), -2);
    EXPECT_EQ(TableValue::number(2.9).asInteger(), 2);
    EXPECT_EQ(TableValue::number(1e300).asInteger(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(TableValue::number(-1e300).asInteger(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(TableValue::number(std::nan("")).asInteger(), 0);
    EXPECT_TRUE(TableValue::boolean(true).asBool());
    EXPECT_EQ(TableValue::dateTime(45000.25).asDateTime(), 45000.25);
    EXPECT_EQ(TableValue::text("abc").asText(), "abc");
    EXPECT_EQ(TableValue::bytes(std::string("\0x", 2)).asBytes(), std::string("\0x", 2));
    EXPECT_EQ(TableValue::subRef(-3).asSubRef(), -3);
    EXPECT_NE(TableValue::text("a"), TableValue::bytes("a"));
    EXPECT_NE(TableValue::dateTime(1), TableValue::number(1));
}

TEST_F(ValueTest, ReadingAnotherKindIsTheFatalError) {
    const TableValue values[] = {TableValue(),
                                 TableValue::integer(1),
                                 TableValue::boolean(true),
                                 TableValue::dateTime(1),
                                 TableValue::text("t"),
                                 TableValue::bytes("b"),
                                 TableValue::subRef(1)};
    int fatal = 0;
    for (const TableValue& v : values) {
        auto check = [&](auto reader, ValueKind kind) {
            if (v.kind() == kind) {
                EXPECT_NO_THROW(reader());
                return;
            }
            try {
                reader();
                ADD_FAILURE() << "no fatal error";
            } catch (const FatalCalled& e) {
                EXPECT_EQ(std::string(e.what()), std::string(kFatalKindMismatch));
                ++fatal;
            }
        };
        check([&] { (void)v.asNumber(); }, ValueKind::Number);
        check([&] { (void)v.asInteger(); }, ValueKind::Number);
        check([&] { (void)v.asBool(); }, ValueKind::Bool);
        check([&] { (void)v.asDateTime(); }, ValueKind::DateTime);
        check([&] { (void)v.asText(); }, ValueKind::Text);
        check([&] { (void)v.asBytes(); }, ValueKind::Bytes);
        check([&] { (void)v.asSubRef(); }, ValueKind::SubRef);
    }
    EXPECT_EQ(fatal, 7 * 7 - 7);
}

TEST_F(ValueTest, FieldKinds) {
    EXPECT_EQ(kindOf(FieldType::Byte), ValueKind::Number);
    EXPECT_EQ(kindOf(FieldType::Double), ValueKind::Number);
    EXPECT_EQ(kindOf(FieldType::Bool), ValueKind::Bool);
    EXPECT_EQ(kindOf(FieldType::DateTime), ValueKind::DateTime);
    EXPECT_EQ(kindOf(FieldType::SubRef), ValueKind::SubRef);
    EXPECT_EQ(kindOf(FieldType::Text), ValueKind::Text);
    EXPECT_EQ(kindOf(FieldType::Memo), ValueKind::Text);
    EXPECT_EQ(kindOf(FieldType::Bytes), ValueKind::Bytes);
    EXPECT_EQ(fieldSize({"x", FieldType::Text, 0, 33}), 33);
    EXPECT_EQ(fieldSize({"x", FieldType::Long, 0, 33}), 8);
    EXPECT_EQ(fieldSize({"x", FieldType::Memo, 0, 0}), 4);
    EXPECT_EQ(fieldSize({"x", FieldType::Bool, 0, 0}), 1);
}

TEST(ErrorTextTest, EveryNamedCodeHasItsNumberAndText) {
    // The documented numbers and texts, written out here so that a name bound
    // to the wrong number, or a text in the wrong place, shows.
    const struct {
        TableError code;
        int number;
        std::string_view text;
    } table[] = {
        {kUnknown, -1, "未知错误"},
        {kCreateFailed, -2, "创建数据库失败"},
        {kFileNotFound, -3, "指定文件未找到"},
        {kBadPath, -4, "无效的路径"},
        {kTooManyOpenFiles, -5, "打开文件过多"},
        {kAccessDenied, -6, "指定文件不能被访问"},
        {kBadFileHandle, -7, "无效的文件号"},
        {kCannotRemoveCurrentDir, -8, "不能删除现行工作目录"},
        {kTooManyDirectories, -9, "创建目录过多"},
        {kSeekFailed, -10, "文件指针定位失败"},
        {kHardwareFault, -11, "访问文件时硬件产生故障"},
        {kSharingViolation, -12, "访问文件时产生共享冲突"},
        {kLockViolation, -13, "加锁文件失败"},
        {kDiskFull, -14, "磁盘空间不够"},
        {kEndOfFile, -15, "已经到达文件尾"},
        {kNoFields, -16, "字段数目必须大于 0 "},  // the trailing space belongs to it
        {kBadFieldType, -17, "无效的字段类型"},
        {kBadFieldName, -18,
         "无效的字段名称。名称首字符必须为全半角字母或汉字，其他字符必须为全半角字母、全半角数字或"
         "汉字"
         "。名称长度必须小于 16 字符"},
        {kBadFieldSize, -19, "无效的字段尺寸"},
        {kDuplicateFieldName, -20, "存在重复的字段名称"},
        {kOpenFailed, -21, "打开指定数据库失败"},
        {kNotATable, -22, "指定文件不是数据库文件"},
        {kVersionTooNew, -23, "指定数据库文件版本太高，无法读入，请升级系统软件"},
        {kBadAlias, -24,
         "无效的别名。别名首字符必须为全半角字母或汉字，其他字符必须为全半角字母、全半角数字或汉"
         "字"},
        {kBeforeFirstRecord, -25, "已经越过数据库的首记录"},
        {kPastLastRecord, -26, "已经越过数据库的末记录"},
        {kTableClosed, -27, "当前未打开数据库"},
        {kLockFailed, -28, "加锁失败"},
        {kUnlockFailed, -29, "解锁失败"},
        {kIndexOpenFailed, -30, "打开指定索引文件失败"},
        {kNotAnIndex, -31, "指定文件不是数据库索引文件或已被损坏"},
        {kIndexVersionMismatch, -32, "索引文件的版本与数据库本身不一致"},
        {kIndexAlreadyOpen, -33, "索引文件已经被打开"},
        {kTooManyIndexes, -34, "为同一数据库打开索引文件过多"},
        {kMemoOpenFailed, -35, "读入数据库辅助文件失败"},
        {kMemoVersionMismatch, -36, "数据库辅助文件的版本与数据库本身不一致"},
        {kNotAMemoFile, -37, "指定文件不是数据库辅助文件或已被损坏"},
        {kAlreadyOpen, -38, "指定数据库已经被打开"},
        {kIndexTooManyFields, -39, "索引所使用的字段太多"},
        {kFieldNotFound, -40, "未找到指定字段"},
        {kIndexCreateFailed, -41, "创建数据库索引文件失败"},
        {kIndexOnMemoField, -42, "索引所使用的字段不能为备注或者字节集类型"},
        {kIndexFieldMissing, -43, "不能找到索引所使用的字段"},
        {kRecordMissing, -44, "指定记录不存在"},
        {kAllocationFailed, -45, "分配内存空间失败"},
        {kFieldReadFailed, -46, "读指定字段失败"},
        {kFieldWriteFailed, -47, "写指定字段失败"},
        {kTableSizeWrong, -48, "数据库文件尺寸错误"},
        {kIndexSizeWrong, -49, "数据库索引文件尺寸错误"},
        {kMemoCreateFailed, -50, "创建数据库辅助文件失败"},
        {kIndexAddFailed, -51, "加入索引项目失败"},
        {kIndexAccessFailed, -52, "访问索引项目失败"},
        {kIndexFieldSizeMismatch, -53, "索引所使用字段的尺寸与数据库内的字段不一致"},
        {kIndexFieldTypeMismatch, -54, "索引所使用字段的类型与数据库内的字段不一致"},
        {kOutOfMemory, -55, "内存不足"},
        {kIndexKeyTooLarge, -56, "索引字段的尺寸过大"},
        {kLastIndexEntry, -57, "已到最后一个索引项"},
        {kIndexEntryMissing, -58, "找不到指定记录的索引项"},
        {kMemoAccessFailed, -59, "访问数据库的辅助文件失败"},
        {kNoCurrentRecord, -60, "现行记录不存在"},
        {kNoSuchField, -61, "指定字段不存在"},
        {kRecordReadFailed, -62, "读记录失败"},
        {kRecordWriteFailed, -63, "写记录失败"},
        {kIndexUpdateFailed, -64, "更改索引失败"},
        {kCountReadFailed, -65, "取数据库记录数失败"},
        {kTableNotOpen, -66, "未打开指定数据库"},
        {kNoCurrentTable, -67, "未设置当前数据库"},
        {kIndexNotFound, -68, "找不到指定的索引"},
        {kNoCurrentIndex, -69, "未设置当前索引"},
        {kWrongFieldType, -70, "字段类型错误"},
        {kFieldOrTypeMissing, -71, "未指定字段或者字段类型错误"},
        {kValueKindMismatch, -72, "所提供数据的类型与字段类型不匹配"},
        {kKeyCountMismatch, -73, "所提供欲查找数据的数目与当前索引的索引字段数不相等"},
        {kNotExclusive, -74, "数据库的共享打开方式不是“#禁止读写”"},
        {kExpressionFailed, -75, "计算表达式出错"},
        {kExpressionTypeWrong, -76, "表达式类型错误"},
        {kWrongPassword, -78, "未提供数据库访问密码或提供了错误的密码"},
        {kPasswordChangeFailed, -79, "修改访问密码时更新数据库数据失败"},
        {kBadPasswordText, -80, "无效的密码文本"},
    };
    std::set<int> seen;
    for (const auto& c : table) {
        EXPECT_EQ(c.code, c.number) << c.text;
        EXPECT_EQ(errorText(c.code), c.text) << c.number;
        EXPECT_TRUE(seen.insert(c.number).second) << c.number;
    }
    EXPECT_EQ(seen.size(), 79u);  // -1 … -80 without -77
    EXPECT_EQ(kOk, 0);
    EXPECT_EQ(errorText(kOk), "");
    // Numbers without a text of their own.
    for (int number : {-77, -81, 5, std::numeric_limits<int>::min()})
        EXPECT_EQ(errorText(static_cast<TableError>(number)), "未知错误") << number;
}

TEST(ErrorTextTest, LastErrorBelongsToTheThread) {
    setLastTableError(kLockViolation);
    TableError seen = TableError(1);
    std::thread other([&] {
        seen = lastTableError();
        setLastTableError(kCountReadFailed);
    });
    other.join();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(lastTableError(), kLockViolation);
    setLastTableError(kOk);
}

#if GTEST_HAS_DEATH_TEST
// Exit code -1, as the platform reports it.
bool endedWithMinusOne(int status) {
#ifdef _WIN32
    return status == -1;
#else
    return WIFEXITED(status) && WEXITSTATUS(status) == 255;
#endif
}

TEST(FatalErrorDeathTest, WithoutAHandlerTheProcessEndsWithMinusOne) {
    setFatalHandler(nullptr);
    EXPECT_EXIT(fatalError(kFatalNoSuchField), endedWithMinusOne, "指定字段不存在");
    // A handler that returns does not keep the process alive either.
    EXPECT_EXIT(
        {
            setFatalHandler([](std::string_view) {});
            fatalError(kFatalNoCurrentTable);
        },
        endedWithMinusOne, "");
}
#endif

}  // namespace
}  // namespace tables::testing
