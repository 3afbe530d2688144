#include "dsp/BlockPeaks.h"

#include <algorithm>

#include "dsp/LargestMagnitude.h"

namespace sv {

BlockPeaks::BlockPeaks(std::int64_t valueCount, std::int64_t blockSize, int channels)
    : blockSize_(blockSize),
      peaks_(static_cast<std::size_t>(valueCount / blockSize + 1), 0),
      channelPeaks_(static_cast<std::size_t>(std::max(channels, 0)),
                    std::vector<std::uint32_t>(peaks_.size(), 0)) {}

void BlockPeaks::Take(const std::int32_t* values, std::int64_t first, std::int64_t count) {
    const int channels = Channels();
    std::vector<std::int64_t>& ofChannels = scratch_;
    ofChannels.resize(static_cast<std::size_t>(channels));
    while (count > 0) {
        const std::int64_t block = first / blockSize_;
        const std::int64_t n = std::min(count, (block + 1) * blockSize_ - first);
        auto& peak = peaks_[static_cast<std::size_t>(block)];
        if (channels == 0) {
            peak = std::max<std::int64_t>(peak, LargestMagnitudeOfRun(values, n));
        } else {
            // The block's peak is its channels' largest: one pass gives both.
            std::fill(ofChannels.begin(), ofChannels.end(), 0);
            TakeChannelPeaks(ofChannels, values, first, n);
            for (int c = 0; c < channels; ++c) {
                const std::int64_t ofChannel = ofChannels[static_cast<std::size_t>(c)];
                auto& ofBlock = channelPeaks_[static_cast<std::size_t>(c)][block];
                ofBlock = std::max(ofBlock, static_cast<std::uint32_t>(ofChannel));
                peak = std::max(peak, ofChannel);
            }
        }
        values += n;
        first += n;
        count -= n;
    }
}

void BlockPeaks::TakeChannel(int c, const std::int32_t* values, std::int64_t firstFrame,
                             std::int64_t count) {
    const std::int64_t channels = Channels();
    auto& peaks = channelPeaks_[static_cast<std::size_t>(c)];
    while (count > 0) {
        const std::int64_t block = (firstFrame * channels + c) / blockSize_;
        // The last frame whose channel c value lies in this block.
        const std::int64_t last = ((block + 1) * blockSize_ - 1 - c) / channels;
        const std::int64_t n = std::min(count, last - firstFrame + 1);
        auto& peak = peaks[static_cast<std::size_t>(block)];
        peak = std::max(peak, LargestMagnitudeOfRun(values, n));
        values += n;
        firstFrame += n;
        count -= n;
    }
}

void BlockPeaks::Complete() {
    for (const auto& ofChannel : channelPeaks_)
        for (std::size_t k = 0; k < peaks_.size(); ++k)
            peaks_[k] = std::max<std::int64_t>(peaks_[k], ofChannel[k]);
}

}  // namespace sv
