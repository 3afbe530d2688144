#include "cli/BatchOrder.h"

#include <algorithm>
#include <numeric>

namespace sv::cli {

std::vector<std::size_t> LargestFirst(const std::vector<std::uint64_t>& fileBytes) {
    std::vector<std::size_t> order(fileBytes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return fileBytes[a] > fileBytes[b]; });
    return order;
}

}  // namespace sv::cli
