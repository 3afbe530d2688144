#pragma once
// What one stage of a chain hands the next: figures a stage gathered while it wrote a document,
// which spare the next stage a pass over the store, and the swap file of the document a stage
// replaced. Every figure belongs to one document, named by its identity: a stage takes only
// those of the very document it works on. A single command passes an empty context.
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/BlockPeaks.h"
#include "dsp/LevellingPreview.h"
#include "dsp/SpectrumTally.h"

namespace sv {

class FileMemory;
class Wave;

class ChainContext {
  public:
    // What the stages still to come will look at.
    struct Wants {
        bool Tally = false;              // levelling measures the document next
        std::int64_t PeakBlockSize = 0;  // peak fitting with blocks of this size (0: none)
        bool ChannelPeaks = false;       // normalizing scans the document next
        bool SpareStores = false;        // replaced documents' swap files serve the next output
    };

    ChainContext();
    explicit ChainContext(const Wants& wants);
    ~ChainContext();
    ChainContext(const ChainContext&) = delete;
    ChainContext& operator=(const ChainContext&) = delete;

    const Wants& Wanted() const { return wants_; }
    // Set by the chain before each stage.
    void Want(const Wants& wants) { wants_ = wants; }

    // The figures of wave, when a stage gathered them from that very document; else null.
    const SpectrumTally* TallyOf(const Wave& wave) const;
    const BlockPeaks* BlockPeaksOf(const Wave& wave, std::int64_t blockSize) const;
    const std::vector<std::int64_t>* ChannelPeaksOf(const Wave& wave) const;

    // Room for a stage to gather into while it writes, emptied; what is gathered counts once
    // the stage names the document it describes.
    SpectrumTally& GatherTally();
    BlockPeaks& GatherBlockPeaks(const Wave& wave, std::int64_t blockSize);
    void KeepTallyOf(const Wave& wave) { tallyOf_ = Id(wave); }
    void KeepBlockPeaksOf(const Wave& wave) { blockPeaksOf_ = Id(wave); }
    void KeepChannelPeaks(const Wave& wave, std::vector<std::int64_t> peaks);
    // A long-term spectrum measured of wave before the chain, standing in for a tally of it.
    void KeepSpectrum(const Wave& wave, const LongTermSpectrum& spectrum);
    // The long-term spectrum of wave a stage gathered while writing it; null when none.
    std::shared_ptr<LongTermSpectrum> SpectrumOf(const Wave& wave) const;
    // The document was changed in place: nothing gathered of it before holds any longer.
    void Forget(const Wave& wave);

    // The swap file of the document the last stage replaced (null when none is kept), and
    // where a stage offers it; it is kept only when the stages to come want it.
    std::unique_ptr<FileMemory> TakeSpareStore();
    // Whether a stage before replaced a document: the one at hand is then the chain's own.
    bool HasSpareStore() const { return spareStore_ != nullptr; }
    void OfferStore(std::unique_ptr<FileMemory> store);

  private:
    static std::uint64_t Id(const Wave& wave);

    Wants wants_;
    std::unique_ptr<SpectrumTally> tally_;
    std::uint64_t tallyOf_ = 0;  // 0: of no document
    std::unique_ptr<BlockPeaks> blockPeaks_;
    std::uint64_t blockPeaksOf_ = 0;
    std::vector<std::int64_t> channelPeaks_;
    std::uint64_t channelPeaksOf_ = 0;
    std::unique_ptr<FileMemory> spareStore_;
};

}  // namespace sv
