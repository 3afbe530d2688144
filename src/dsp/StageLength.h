#pragma once
// How long a document must be for each stage: noise removal searches a stretch of its window
// length, levelling and detection measure at least one whole transform, peak fitting needs as
// many blocks as peaks it lowers, loudness normalizing one loudness gating block. Normalizing
// by peak works on any length.
#include <cstdint>
#include <optional>
#include <string>

#include "dsp/RemasterChain.h"

namespace sv {

// The fewest frames stage accepts in a document of this rate and channel count.
std::int64_t MinimumFrames(ChainStage stage, const RemasterSettings& settings,
                           std::int32_t sampleRate, int channels);
// Detection measures as levelling does.
std::int64_t MinimumFramesToMeasure();

struct LengthShortfall {
    ChainStage Stage = ChainStage::Normalize;
    std::int64_t MinimumFrames = 0;
};

// The first stage the settings switch on that wave is too short for.
std::optional<LengthShortfall> FirstTooShortStage(const RemasterSettings& settings,
                                                  const Wave& wave);
// The single stage, when wave is too short for it.
std::optional<LengthShortfall> TooShortFor(ChainStage stage, const RemasterSettings& settings,
                                           const Wave& wave);

// The stage's word on the command line: "denoise", "level", "fit-peaks", ...
const char* StageWord(ChainStage stage);

// "Sample is too short for this method" with the minimum in seconds at this rate.
std::string TooShortMessage(std::int64_t minimumFrames, std::int32_t sampleRate);

}  // namespace sv
