#pragma once
// Loudness normalizing that reaches its target where the true-peak ceiling would hold plain gain
// back: the gain goes up to the target and a look-ahead limiter keeps the true peak under the
// ceiling.
#include <memory>

#include "loudness/LoudnessMeter.h"

namespace sv {

// As NormalizeLoudness, which it is wherever plain gain stays under the ceiling. Otherwise the
// output is limited, measured again, and the gain or the limiter's threshold corrected until the
// output lies within a tenth of a LU of the target with its true peak at most the ceiling (a few
// passes). gain->HeldByTruePeak is set only when the target is still missed by more than half a
// LU. Null when cancelled.
std::unique_ptr<Wave> NormalizeLoudnessLimited(Wave& wave, double targetLufs,
                                               double truePeakMaxDbtp, LoudnessGain* gain = nullptr,
                                               const LoudnessCaptions& captions = {});

}  // namespace sv
