#include "base/CaseInsensitiveSort.h"

#include <algorithm>

namespace sv {
namespace {

char Lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

}  // namespace

bool LessWithoutCase(const std::string& a, const std::string& b) {
    const auto n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = Lower(a[i]);
        const char y = Lower(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

void SortWithoutCase(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), LessWithoutCase);
}

}  // namespace sv
