#pragma once
// The one order of names shown to the user: ASCII letters compared without case.
#include <string>
#include <vector>

namespace sv {

// True when a comes before b; names differing only in case keep a fixed order.
bool LessWithoutCase(const std::string& a, const std::string& b);

void SortWithoutCase(std::vector<std::string>& names);

}  // namespace sv
