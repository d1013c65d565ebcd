// Table values, result texts, the per-thread last error and the fatal error.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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
                EXPECT_EQ(std::string(e.what()), std::string(kKindMismatch));
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

TEST(ErrorTextTest, TextsOfTheMessageTable) {
    EXPECT_EQ(errorText(0), "");
    EXPECT_EQ(errorText(-1), "未知错误");
    EXPECT_EQ(errorText(-13), "加锁文件失败");
    EXPECT_EQ(errorText(-16), "字段数目必须大于 0 ");  // the trailing space belongs to it
    EXPECT_EQ(errorText(-38), "指定数据库已经被打开");
    EXPECT_EQ(errorText(-72), "所提供数据的类型与字段类型不匹配");
    EXPECT_EQ(errorText(-74), "数据库的共享打开方式不是“#禁止读写”");
    EXPECT_EQ(errorText(-78), "未提供数据库访问密码或提供了错误的密码");
    EXPECT_EQ(errorText(-80), "无效的密码文本");
    // Codes without a text of their own.
    EXPECT_EQ(errorText(-77), "未知错误");
    EXPECT_EQ(errorText(-81), "未知错误");
    EXPECT_EQ(errorText(5), "未知错误");
    EXPECT_EQ(errorText(std::numeric_limits<int>::min()), "未知错误");
    // Every code from -2 to -80 but -77 has its own text.
    for (int code = -2; code >= -80; --code) {
        if (code != -77) {
            EXPECT_NE(errorText(code), "未知错误") << code;
        }
    }
}

TEST(ErrorTextTest, LastErrorBelongsToTheThread) {
    setLastTableError(-13);
    TableError seen = 1;
    std::thread other([&] {
        seen = lastTableError();
        setLastTableError(-65);
    });
    other.join();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(lastTableError(), -13);
    setLastTableError(0);
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
    EXPECT_EXIT(fatalError(kNoSuchField), endedWithMinusOne, "指定字段不存在");
    // A handler that returns does not keep the process alive either.
    EXPECT_EXIT(
        {
            setFatalHandler([](std::string_view) {});
            fatalError(kNoCurrentTable);
        },
        endedWithMinusOne, "");
}
#endif

}  // namespace
}  // namespace tables::testing
