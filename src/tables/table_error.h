// Result codes of the table operations and their message texts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tables {

// 0 for success, otherwise one of the negative codes of the message table
// (table_error.cpp holds the texts, in this order). Unscoped so that a code
// still compares with a number, but a bare number never turns into a code.
// Codes the program itself never produces (table creation aside) belong to
// facilities it does not use: index files, aliases, expressions, passwords.
enum TableError : std::int32_t {
    kOk = 0,
    kUnknown = -1,                 // 未知错误
    kCreateFailed = -2,            // 创建数据库失败
    kFileNotFound = -3,            // 指定文件未找到
    kBadPath = -4,                 // 无效的路径
    kTooManyOpenFiles = -5,        // 打开文件过多
    kAccessDenied = -6,            // 指定文件不能被访问
    kBadFileHandle = -7,           // 无效的文件号
    kCannotRemoveCurrentDir = -8,  // 不能删除现行工作目录
    kTooManyDirectories = -9,      // 创建目录过多
    kSeekFailed = -10,             // 文件指针定位失败
    kHardwareFault = -11,          // 访问文件时硬件产生故障
    kSharingViolation = -12,       // 访问文件时产生共享冲突
    kLockViolation = -13,          // 加锁文件失败
    kDiskFull = -14,               // 磁盘空间不够
    kEndOfFile = -15,              // 已经到达文件尾
    kNoFields = -16,               // 字段数目必须大于 0
    kBadFieldType = -17,           // 无效的字段类型
    kBadFieldName = -18,           // 无效的字段名称。……
    kBadFieldSize = -19,           // 无效的字段尺寸
    kDuplicateFieldName = -20,     // 存在重复的字段名称
    kOpenFailed = -21,             // 打开指定数据库失败
    kNotATable = -22,              // 指定文件不是数据库文件
    kVersionTooNew = -23,          // 指定数据库文件版本太高，……
    kBadAlias = -24,               // 无效的别名。……
    kBeforeFirstRecord = -25,      // 已经越过数据库的首记录
    kPastLastRecord = -26,         // 已经越过数据库的末记录
    kTableClosed = -27,            // 当前未打开数据库
    kLockFailed = -28,             // 加锁失败
    kUnlockFailed = -29,           // 解锁失败
    kIndexOpenFailed = -30,        // 打开指定索引文件失败
    kNotAnIndex = -31,             // 指定文件不是数据库索引文件或已被损坏
    kIndexVersionMismatch = -32,   // 索引文件的版本与数据库本身不一致
    kIndexAlreadyOpen = -33,       // 索引文件已经被打开
    kTooManyIndexes = -34,         // 为同一数据库打开索引文件过多
    kMemoOpenFailed = -35,         // 读入数据库辅助文件失败
    kMemoVersionMismatch = -36,    // 数据库辅助文件的版本与数据库本身不一致
    kNotAMemoFile = -37,           // 指定文件不是数据库辅助文件或已被损坏
    kAlreadyOpen = -38,            // 指定数据库已经被打开
    kIndexTooManyFields = -39,     // 索引所使用的字段太多
    kFieldNotFound = -40,          // 未找到指定字段
    kIndexCreateFailed = -41,      // 创建数据库索引文件失败
    kIndexOnMemoField = -42,       // 索引所使用的字段不能为备注或者字节集类型
    kIndexFieldMissing = -43,      // 不能找到索引所使用的字段
    kRecordMissing = -44,          // 指定记录不存在
    kAllocationFailed = -45,       // 分配内存空间失败
    kFieldReadFailed = -46,        // 读指定字段失败
    kFieldWriteFailed = -47,       // 写指定字段失败
    kTableSizeWrong = -48,         // 数据库文件尺寸错误
    kIndexSizeWrong = -49,         // 数据库索引文件尺寸错误
    kMemoCreateFailed = -50,       // 创建数据库辅助文件失败
    kIndexAddFailed = -51,         // 加入索引项目失败
    kIndexAccessFailed = -52,      // 访问索引项目失败
    kIndexFieldSizeMismatch = -53,  // 索引所使用字段的尺寸与数据库内的字段不一致
    kIndexFieldTypeMismatch = -54,  // 索引所使用字段的类型与数据库内的字段不一致
    kOutOfMemory = -55,             // 内存不足
    kIndexKeyTooLarge = -56,        // 索引字段的尺寸过大
    kLastIndexEntry = -57,          // 已到最后一个索引项
    kIndexEntryMissing = -58,       // 找不到指定记录的索引项
    kMemoAccessFailed = -59,        // 访问数据库的辅助文件失败
    kNoCurrentRecord = -60,         // 现行记录不存在
    kNoSuchField = -61,             // 指定字段不存在
    kRecordReadFailed = -62,        // 读记录失败
    kRecordWriteFailed = -63,       // 写记录失败
    kIndexUpdateFailed = -64,       // 更改索引失败
    kCountReadFailed = -65,         // 取数据库记录数失败
    kTableNotOpen = -66,            // 未打开指定数据库
    kNoCurrentTable = -67,          // 未设置当前数据库
    kIndexNotFound = -68,           // 找不到指定的索引
    kNoCurrentIndex = -69,          // 未设置当前索引
    kWrongFieldType = -70,          // 字段类型错误
    kFieldOrTypeMissing = -71,      // 未指定字段或者字段类型错误
    kValueKindMismatch = -72,       // 所提供数据的类型与字段类型不匹配
    kKeyCountMismatch = -73,  // 所提供欲查找数据的数目与当前索引的索引字段数不相等
    kNotExclusive = -74,         // 数据库的共享打开方式不是“#禁止读写”
    kExpressionFailed = -75,     // 计算表达式出错
    kExpressionTypeWrong = -76,  // 表达式类型错误
    // -77 has no text of its own.
    kWrongPassword = -78,         // 未提供数据库访问密码或提供了错误的密码
    kPasswordChangeFailed = -79,  // 修改访问密码时更新数据库数据失败
    kBadPasswordText = -80,       // 无效的密码文本
};

// The text of a result code (UTF-8), from the message table; "未知错误" for any
// code without its own text. Code 0 gives an empty text.
std::string_view errorText(TableError code);

// The calling thread's last table error: every operation sets it, kOk on success.
TableError lastTableError();
void setLastTableError(TableError code);

// The fatal run-time error. The library never shows anything: it hands the
// message (UTF-8, e.g. "指定字段不存在") to the handler that the program
// installed. The program's handler shows the message box and ends the process
// with exit code -1; a test handler may throw instead. If a handler returns,
// the process ends with exit code -1.
using FatalHandler = std::function<void(std::string_view message)>;
void setFatalHandler(FatalHandler handler);
[[noreturn]] void fatalError(std::string_view message);

// The fixed messages of the fatal error.
inline constexpr std::string_view kFatalNoCurrentTable = "未指定当前数据库或者指定数据库未打开";
inline constexpr std::string_view kFatalNoSuchField = "指定字段不存在";
inline constexpr std::string_view kFatalKindMismatch = "数据或数组类型不匹配";

}  // namespace tables
