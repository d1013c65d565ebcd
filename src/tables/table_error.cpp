#include "table_error.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace tables {

namespace {

// Texts of codes -1 … -80 in order (kUnknown first); a gap reads as "未知错误".
constexpr const char* kTexts[] = {
    /* -1 kUnknown */ "未知错误",
    /* -2 kCreateFailed */ "创建数据库失败",
    /* -3 kFileNotFound */ "指定文件未找到",
    /* -4 kBadPath */ "无效的路径",
    /* -5 kTooManyOpenFiles */ "打开文件过多",
    /* -6 kAccessDenied */ "指定文件不能被访问",
    /* -7 kBadFileHandle */ "无效的文件号",
    /* -8 kCannotRemoveCurrentDir */ "不能删除现行工作目录",
    /* -9 kTooManyDirectories */ "创建目录过多",
    /* -10 kSeekFailed */ "文件指针定位失败",
    /* -11 kHardwareFault */ "访问文件时硬件产生故障",
    /* -12 kSharingViolation */ "访问文件时产生共享冲突",
    /* -13 kLockViolation */ "加锁文件失败",
    /* -14 kDiskFull */ "磁盘空间不够",
    /* -15 kEndOfFile */ "已经到达文件尾",
    /* -16 kNoFields */ "字段数目必须大于 0 ",
    /* -17 kBadFieldType */ "无效的字段类型",
    /* -18 kBadFieldName */
    "无效的字段名称。名称首字符必须为全半角字母或汉字，其他字符必须为全半角字母、全半角数字或汉字。"
    "名称长度必须小于 16 字符",
    /* -19 kBadFieldSize */ "无效的字段尺寸",
    /* -20 kDuplicateFieldName */ "存在重复的字段名称",
    /* -21 kOpenFailed */ "打开指定数据库失败",
    /* -22 kNotATable */ "指定文件不是数据库文件",
    /* -23 kVersionTooNew */ "指定数据库文件版本太高，无法读入，请升级系统软件",
    /* -24 kBadAlias */
    "无效的别名。别名首字符必须为全半角字母或汉字，其他字符必须为全半角字母、全半角数字或汉字",
    /* -25 kBeforeFirstRecord */ "已经越过数据库的首记录",
    /* -26 kPastLastRecord */ "已经越过数据库的末记录",
    /* -27 kTableClosed */ "当前未打开数据库",
    /* -28 kLockFailed */ "加锁失败",
    /* -29 kUnlockFailed */ "解锁失败",
    /* -30 kIndexOpenFailed */ "打开指定索引文件失败",
    /* -31 kNotAnIndex */ "指定文件不是数据库索引文件或已被损坏",
    /* -32 kIndexVersionMismatch */ "索引文件的版本与数据库本身不一致",
    /* -33 kIndexAlreadyOpen */ "索引文件已经被打开",
    /* -34 kTooManyIndexes */ "为同一数据库打开索引文件过多",
    /* -35 kMemoOpenFailed */ "读入数据库辅助文件失败",
    /* -36 kMemoVersionMismatch */ "数据库辅助文件的版本与数据库本身不一致",
    /* -37 kNotAMemoFile */ "指定文件不是数据库辅助文件或已被损坏",
    /* -38 kAlreadyOpen */ "指定数据库已经被打开",
    /* -39 kIndexTooManyFields */ "索引所使用的字段太多",
    /* -40 kFieldNotFound */ "未找到指定字段",
    /* -41 kIndexCreateFailed */ "创建数据库索引文件失败",
    /* -42 kIndexOnMemoField */ "索引所使用的字段不能为备注或者字节集类型",
    /* -43 kIndexFieldMissing */ "不能找到索引所使用的字段",
    /* -44 kRecordMissing */ "指定记录不存在",
    /* -45 kAllocationFailed */ "分配内存空间失败",
    /* -46 kFieldReadFailed */ "读指定字段失败",
    /* -47 kFieldWriteFailed */ "写指定字段失败",
    /* -48 kTableSizeWrong */ "数据库文件尺寸错误",
    /* -49 kIndexSizeWrong */ "数据库索引文件尺寸错误",
    /* -50 kMemoCreateFailed */ "创建数据库辅助文件失败",
    /* -51 kIndexAddFailed */ "加入索引项目失败",
    /* -52 kIndexAccessFailed */ "访问索引项目失败",
    /* -53 kIndexFieldSizeMismatch */ "索引所使用字段的尺寸与数据库内的字段不一致",
    /* -54 kIndexFieldTypeMismatch */ "索引所使用字段的类型与数据库内的字段不一致",
    /* -55 kOutOfMemory */ "内存不足",
    /* -56 kIndexKeyTooLarge */ "索引字段的尺寸过大",
    /* -57 kLastIndexEntry */ "已到最后一个索引项",
    /* -58 kIndexEntryMissing */ "找不到指定记录的索引项",
    /* -59 kMemoAccessFailed */ "访问数据库的辅助文件失败",
    /* -60 kNoCurrentRecord */ "现行记录不存在",
    /* -61 kNoSuchField */ "指定字段不存在",
    /* -62 kRecordReadFailed */ "读记录失败",
    /* -63 kRecordWriteFailed */ "写记录失败",
    /* -64 kIndexUpdateFailed */ "更改索引失败",
    /* -65 kCountReadFailed */ "取数据库记录数失败",
    /* -66 kTableNotOpen */ "未打开指定数据库",
    /* -67 kNoCurrentTable */ "未设置当前数据库",
    /* -68 kIndexNotFound */ "找不到指定的索引",
    /* -69 kNoCurrentIndex */ "未设置当前索引",
    /* -70 kWrongFieldType */ "字段类型错误",
    /* -71 kFieldOrTypeMissing */ "未指定字段或者字段类型错误",
    /* -72 kValueKindMismatch */ "所提供数据的类型与字段类型不匹配",
    /* -73 kKeyCountMismatch */ "所提供欲查找数据的数目与当前索引的索引字段数不相等",
    /* -74 kNotExclusive */ "数据库的共享打开方式不是“#禁止读写”",
    /* -75 kExpressionFailed */ "计算表达式出错",
    /* -76 kExpressionTypeWrong */ "表达式类型错误",
    /* -77 */ nullptr,
    /* -78 kWrongPassword */ "未提供数据库访问密码或提供了错误的密码",
    /* -79 kPasswordChangeFailed */ "修改访问密码时更新数据库数据失败",
    /* -80 kBadPasswordText */ "无效的密码文本",
};

constexpr std::string_view kUnknownText = "未知错误";

static_assert(std::size(kTexts) == -kBadPasswordText, "one text per code down to the last");

thread_local TableError tLastError = kOk;

std::mutex& handlerMutex() {
    static std::mutex m;
    return m;
}

FatalHandler& handlerSlot() {
    static FatalHandler h;
    return h;
}

}  // namespace

std::string_view errorText(TableError code) {
    if (code == kOk) return {};
    if (code < 0 && code >= -static_cast<int>(std::size(kTexts))) {
        const char* t = kTexts[-code - 1];
        if (t) return t;
    }
    return kUnknownText;
}

TableError lastTableError() { return tLastError; }

void setLastTableError(TableError code) { tLastError = code; }

void setFatalHandler(FatalHandler handler) {
    std::lock_guard lock(handlerMutex());
    handlerSlot() = std::move(handler);
}

void fatalError(std::string_view message) {
    FatalHandler handler;
    {
        std::lock_guard lock(handlerMutex());
        handler = handlerSlot();
    }
    if (handler) {
        handler(message);  // a test handler may throw; the program's never returns
    } else {
        // No program handler (a tool or a test without one): leave a trace for
        // whoever ran it before ending as the program would.
        std::string text = "运行时出错!\n\n错误信息：";
        text.append(message);
        text.push_back('\n');
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
    std::exit(-1);
}

}  // namespace tables
