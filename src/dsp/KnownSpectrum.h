#pragma once
// A long-term spectrum with the document it was measured of, so that whoever holds a document
// can tell whether the spectrum still describes it and spare a pass over the store.
#include <cstdint>
#include <memory>

#include "audio/Wave.h"
#include "dsp/LevellingPreview.h"

namespace sv {

struct KnownSpectrum {
    std::uint64_t Document = 0;  // the document's identity; 0: none
    std::int64_t Frames = 0;
    std::shared_ptr<const LongTermSpectrum> Spectrum;

    bool Describes(std::uint64_t document, std::int64_t frames) const {
        return Spectrum && Document == document && Frames == frames;
    }
    bool Describes(const Wave& wave) const { return Describes(wave.Identity(), wave.FrameCount()); }
};

inline KnownSpectrum KnownSpectrumOf(const Wave& wave,
                                     std::shared_ptr<const LongTermSpectrum> spectrum) {
    return {wave.Identity(), wave.FrameCount(), std::move(spectrum)};
}

}  // namespace sv
