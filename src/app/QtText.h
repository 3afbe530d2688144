#pragma once
// The core keeps its texts in UTF-8 std::string; Qt wants QString.
#include <QString>
#include <string>

namespace sv {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace sv
