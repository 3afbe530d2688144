#include "dsp/ChainContext.h"

#include "audio/FileMemory.h"
#include "audio/Wave.h"
#include "dsp/Engine.h"

namespace sv {

ChainContext::ChainContext() = default;
ChainContext::ChainContext(const Wants& wants) : wants_(wants) {}
ChainContext::~ChainContext() = default;

std::uint64_t ChainContext::Id(const Wave& wave) { return wave.Identity(); }

const SpectrumTally* ChainContext::TallyOf(const Wave& wave) const {
    return tally_ && tallyOf_ == Id(wave) ? tally_.get() : nullptr;
}

const BlockPeaks* ChainContext::BlockPeaksOf(const Wave& wave, std::int64_t blockSize) const {
    const std::int64_t values = wave.FrameCount() * wave.Channels();
    const bool fits =
        blockPeaks_ && blockPeaks_->BlockSize() == blockSize &&
        blockPeaks_->Channels() == wave.Channels() &&
        blockPeaks_->Peaks().size() == static_cast<std::size_t>(values / blockSize + 1);
    return fits && blockPeaksOf_ == Id(wave) ? blockPeaks_.get() : nullptr;
}

const std::vector<std::int64_t>* ChainContext::ChannelPeaksOf(const Wave& wave) const {
    const bool fits = channelPeaks_.size() == static_cast<std::size_t>(wave.Channels());
    return fits && channelPeaksOf_ == Id(wave) ? &channelPeaks_ : nullptr;
}

SpectrumTally& ChainContext::GatherTally() {
    tallyOf_ = 0;
    if (!tally_) tally_ = std::make_unique<SpectrumTally>();
    tally_->Reset();
    return *tally_;
}

BlockPeaks& ChainContext::GatherBlockPeaks(const Wave& wave, std::int64_t blockSize) {
    blockPeaksOf_ = 0;
    blockPeaks_ = std::make_unique<BlockPeaks>(wave.FrameCount() * wave.Channels(), blockSize,
                                               wave.Channels());
    return *blockPeaks_;
}

void ChainContext::KeepSpectrum(const Wave& wave, const LongTermSpectrum& spectrum) {
    SpectrumTally& tally = GatherTally();
    for (int c = 0; c < SpectrumTally::Channels; ++c)
        tally.Assign(c, spectrum.Sums[c], spectrum.Peaks[c]);
    KeepTallyOf(wave);
}

std::shared_ptr<LongTermSpectrum> ChainContext::SpectrumOf(const Wave& wave) const {
    const SpectrumTally* tally = TallyOf(wave);
    if (!tally) return nullptr;
    auto spectrum = std::make_shared<LongTermSpectrum>();
    for (int c = 0; c < SpectrumTally::Channels; ++c) {
        spectrum->Sums[c] = tally->Sums(c);
        spectrum->Peaks[c] = tally->Peaks(c);
    }
    spectrum->Hops = wave.FrameCount() / Engine::Hop;
    spectrum->SampleRate = wave.SampleRate();
    spectrum->Channels = wave.Channels();
    return spectrum;
}

void ChainContext::KeepChannelPeaks(const Wave& wave, std::vector<std::int64_t> peaks) {
    channelPeaks_ = std::move(peaks);
    channelPeaksOf_ = Id(wave);
}

void ChainContext::Forget(const Wave& wave) {
    for (std::uint64_t* of : {&tallyOf_, &blockPeaksOf_, &channelPeaksOf_})
        if (*of == Id(wave)) *of = 0;
}

std::unique_ptr<FileMemory> ChainContext::TakeSpareStore() { return std::move(spareStore_); }

void ChainContext::OfferStore(std::unique_ptr<FileMemory> store) {
    if (wants_.SpareStores) spareStore_ = std::move(store);
}

}  // namespace sv
