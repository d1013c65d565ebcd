// The result of a table operation: code, context and the message made of both.
#include "status.h"

#include <gtest/gtest.h>

namespace tables::testing {
namespace {

TEST(StatusTest, SuccessCarriesNothing) {
    const Status ok;
    EXPECT_TRUE(ok.ok());
    EXPECT_TRUE(static_cast<bool>(ok));
    EXPECT_EQ(ok.code(), kOk);
    EXPECT_EQ(ok.context(), "");
    EXPECT_EQ(ok.message(), "");
    // A context given with kOk is not kept: success never says where.
    const Status alsoOk(kOk, "记账.edb: write, record 3");
    EXPECT_TRUE(alsoOk.ok());
    EXPECT_EQ(alsoOk.context(), "");
    EXPECT_EQ(alsoOk.message(), "");
}

TEST(StatusTest, FailureSaysWhatAndWhere) {
    const Status failed(kRecordReadFailed, "记账.edb: write, record 12");
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(static_cast<bool>(failed));
    EXPECT_EQ(failed.code(), kRecordReadFailed);
    EXPECT_EQ(failed.context(), "记账.edb: write, record 12");
    EXPECT_EQ(failed.message(), "读记录失败 (记账.edb: write, record 12)");
    // Without a context the message is the code's text alone; a code without
    // a text of its own reads as the unknown error.
    EXPECT_EQ(Status(kNoCurrentTable, "").message(), "未设置当前数据库");
    EXPECT_EQ(Status(static_cast<TableError>(-77), "x").message(), "未知错误 (x)");
}

}  // namespace
}  // namespace tables::testing
