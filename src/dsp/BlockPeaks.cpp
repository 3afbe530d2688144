#include "dsp/BlockPeaks.h"

#include <algorithm>

#include "dsp/LargestMagnitude.h"

namespace sv {

BlockPeaks::BlockPeaks(std::int64_t valueCount, std::int64_t blockSize)
    : blockSize_(blockSize), peaks_(static_cast<std::size_t>(valueCount / blockSize + 1), 0) {}

void BlockPeaks::Take(const std::int32_t* values, std::int64_t first, std::int64_t count) {
    while (count > 0) {
        const std::int64_t block = first / blockSize_;
        const std::int64_t n = std::min(count, (block + 1) * blockSize_ - first);
        auto& peak = peaks_[static_cast<std::size_t>(block)];
        peak = std::max<std::int64_t>(peak, LargestMagnitude(values, n));
        values += n;
        first += n;
        count -= n;
    }
}

}  // namespace sv
