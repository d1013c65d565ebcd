// A file is written beside its place under another name and put in its place
// only when it is complete, so that a failed write leaves an earlier file of
// that name as it was.
#pragma once

#include <string>
#include <string_view>

namespace exporting::detail {

// Where the file for `pathUtf8` is written first (UTF-8).
std::string partPathOf(std::string_view pathUtf8);
// Puts the finished part file in its place; false when it cannot, and the
// part file is removed either way.
bool commitPart(std::string_view pathUtf8);
// Removes a part file that will not be finished.
void dropPart(std::string_view pathUtf8);

}  // namespace exporting::detail
