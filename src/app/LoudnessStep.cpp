#include "app/LoudnessStep.h"

#include <cmath>
#include <cstdio>

#include "audio/Wave.h"
#include "loudness/LoudnessMeter.h"

namespace sv {

bool NormalizeToLoudness(std::unique_ptr<Wave>& document, const LoudnessTarget& target,
                         bool& held) {
    LoudnessGain gain;
    auto normalized = NormalizeLoudness(*document, target.Lufs, target.TruePeakMax, &gain);
    if (!normalized) return false;
    document = std::move(normalized);
    held = gain.HeldByTruePeak;
    return true;
}

std::string HeldByCeilingNote(const LoudnessTarget& target) {
    // "−1" with a typographic minus, as the note is worded.
    char number[32];
    std::snprintf(number, sizeof number, "%g", std::fabs(target.TruePeakMax));
    return "held by the " + std::string(target.TruePeakMax < 0 ? "\u2212" : "") + number +
           " dBTP ceiling";
}

}  // namespace sv
