#include "status.h"

namespace tables {

std::string Status::message() const {
    if (ok()) return {};
    std::string text(errorText(code_));
    if (!context_.empty()) text.append(" (").append(context_).append(")");
    return text;
}

}  // namespace tables
