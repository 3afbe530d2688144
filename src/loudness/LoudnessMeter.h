#pragma once
// Loudness of a document after ITU-R BS.1770 / EBU R 128: integrated loudness, loudness range
// and true peak, measured through libebur128.
#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "audio/Wave.h"

namespace sv {

struct LoudnessFigures {
    double IntegratedLufs = -HUGE_VAL;  // -inf for silence
    double RangeLu = 0.0;
    double TruePeakDbtp = -HUGE_VAL;  // the highest of all channels
};

// Reads the whole document block by block, with a progress window whose Cancel gives nothing;
// throws std::runtime_error when the measuring library refuses the format.
std::optional<LoudnessFigures> MeasureLoudness(Wave& wave);

// A new document with every value of wave scaled so that its integrated loudness becomes
// targetLufs, the gain lowered where needed to keep the true peak at most truePeakMaxDbtp.
// A silent document is copied unchanged. gainDb receives the gain applied. Null when cancelled.
std::unique_ptr<Wave> NormalizeLoudness(Wave& wave, double targetLufs, double truePeakMaxDbtp,
                                        double* gainDb = nullptr);

// "-14.2 LUFS  LRA 5.1 LU  TP -1.3 dBTP", with "-inf" for silence.
std::string LoudnessText(const LoudnessFigures& figures);

}  // namespace sv
