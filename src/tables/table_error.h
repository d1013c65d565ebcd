// Result codes of the table operations and their message texts.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tables {

// 0 for success, otherwise one of the negative codes of the message table.
using TableError = int;

// The text of a result code (UTF-8), from the message table; "未知错误" for any
// code without its own text. Code 0 gives an empty text.
std::string_view errorText(TableError code);

// The calling thread's last table error: every operation sets it, 0 on success.
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
inline constexpr std::string_view kNoCurrentTable = "未指定当前数据库或者指定数据库未打开";
inline constexpr std::string_view kNoSuchField = "指定字段不存在";
inline constexpr std::string_view kKindMismatch = "数据或数组类型不匹配";

}  // namespace tables
