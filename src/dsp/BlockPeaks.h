#pragma once
// The largest |value| of every block of a document's raw values: what peak fitting measures
// before it fits. A stage that writes the document can gather them as it stores the values,
// which spares the fitting its measuring pass over the store.
#include <cstdint>
#include <vector>

namespace sv {

class Wave;

class BlockPeaks {
  public:
    // valueCount / blockSize full blocks of blockSize raw values and a last partial (or empty)
    // one, every peak 0.
    BlockPeaks(std::int64_t valueCount, std::int64_t blockSize);

    // Takes count raw values starting at raw value first of the document (0 = its first value,
    // not the store's).
    void Take(const std::int32_t* values, std::int64_t first, std::int64_t count);
    // Once every value is taken: the peaks are those of document.
    void Complete(const Wave* document) { of_ = document; }

    const Wave* Of() const { return of_; }
    std::int64_t BlockSize() const { return blockSize_; }
    const std::vector<std::int64_t>& Peaks() const { return peaks_; }

  private:
    const Wave* of_ = nullptr;
    std::int64_t blockSize_;
    std::vector<std::int64_t> peaks_;
};

}  // namespace sv
