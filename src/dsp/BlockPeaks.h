#pragma once
// The largest |value| of every block of a document's raw values: what peak fitting measures
// before it fits. A stage that writes the document can gather them as it stores the values,
// which spares the fitting its measuring pass over the store. Kept per channel as well, they
// also give the channel peaks of the blocks an in-place fitting leaves alone.
#include <cstdint>
#include <vector>

namespace sv {

class BlockPeaks {
  public:
    // valueCount / blockSize full blocks of blockSize raw values and a last partial (or empty)
    // one, every peak 0. With channels above 0 the peaks are kept per channel too.
    BlockPeaks(std::int64_t valueCount, std::int64_t blockSize, int channels = 0);

    // Takes count raw values starting at raw value first of the document (0 = its first value,
    // not the store's).
    void Take(const std::int32_t* values, std::int64_t first, std::int64_t count);
    // Takes count values of channel c only, of frames firstFrame, firstFrame + 1, ... of the
    // document. Needs channels; two threads may take two different channels at once.
    void TakeChannel(int c, const std::int32_t* values, std::int64_t firstFrame,
                     std::int64_t count);
    // Once every channel's values are taken with TakeChannel: each block's peak from its
    // channels'.
    void Complete();
    std::int64_t BlockSize() const { return blockSize_; }
    const std::vector<std::int64_t>& Peaks() const { return peaks_; }
    // 0 when the peaks are not kept per channel.
    int Channels() const { return static_cast<int>(channelPeaks_.size()); }
    // Channel c's largest |value| in each block (32 bits: the magnitudes fit, and long documents
    // with small blocks have many).
    const std::vector<std::uint32_t>& ChannelPeaks(int c) const {
        return channelPeaks_[static_cast<std::size_t>(c)];
    }

  private:
    std::int64_t blockSize_;
    std::vector<std::int64_t> peaks_;
    std::vector<std::vector<std::uint32_t>> channelPeaks_;
    std::vector<std::int64_t> scratch_;  // one Take's channel peaks of one block
};

}  // namespace sv
