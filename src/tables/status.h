// The outcome of a table operation: a result code and, on failure, where it
// happened ("记账.edb: write, record 12"). Marked [[nodiscard]] so that a
// caller cannot drop a failure without saying so.
#pragma once

#include <string>
#include <utility>

#include "table_error.h"

namespace tables {

class [[nodiscard]] Status {
  public:
    // Success: no context, nothing allocated.
    Status() = default;
    // A failure (or success when code is kOk, which keeps no context).
    Status(TableError code, std::string context)
        : code_(code), context_(code == kOk ? std::string() : std::move(context)) {}

    bool ok() const { return code_ == kOk; }
    explicit operator bool() const { return ok(); }
    TableError code() const { return code_; }
    // Which file (without its folder), which operation and, where it helps,
    // which record: "记账.edb: write, record 12". Empty on success.
    const std::string& context() const { return context_; }
    // The code's text from the message table followed by the context in
    // brackets (UTF-8): "读记录失败 (记账.edb: write, record 12)". Empty on success.
    std::string message() const;

  private:
    TableError code_ = kOk;
    std::string context_;
};

}  // namespace tables
