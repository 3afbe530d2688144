#pragma once
// Loudness of a document after ITU-R BS.1770 / EBU R 128: integrated loudness, loudness range
// and true peak, measured through libebur128.
#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "audio/Wave.h"
#include "base/Progress.h"

namespace sv {

struct LoudnessFigures {
    double IntegratedLufs = -HUGE_VAL;  // -inf for silence
    double RangeLu = 0.0;
    double TruePeakDbtp = -HUGE_VAL;  // the highest of all channels
};

// The titles of the progress windows, worded by the front end (empty: no title).
struct LoudnessCaptions {
    std::string Measuring;
    std::string Normalizing;
};

// The measuring library takes neither this channel count nor this sample rate.
class LoudnessUnavailable : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the whole document block by block, with a progress window whose Cancel gives nothing;
// throws LoudnessUnavailable when the measuring library refuses the format.
std::optional<LoudnessFigures> MeasureLoudness(Wave& wave, const LoudnessCaptions& captions = {});
// The same, reporting to progress (a window, or a silent one whose cancel the caller keeps).
std::optional<LoudnessFigures> MeasureLoudness(Wave& wave, Progress& progress);

// The gain of loudness normalizing, and whether the true-peak ceiling kept the loudness below
// its target (a front end says so: the target was not reached).
struct LoudnessGain {
    double GainDb = 0.0;
    double ReachedLufs = -HUGE_VAL;  // the integrated loudness after the gain
    bool HeldByTruePeak = false;
};

// The gain that brings measured to targetLufs, lowered where needed so that its true peak stays
// at most truePeakMaxDbtp. 0 dB for silence.
LoudnessGain ChooseLoudnessGain(const LoudnessFigures& measured, double targetLufs,
                                double truePeakMaxDbtp);

// A new document with every value of wave scaled by ChooseLoudnessGain's gain. A silent
// document is copied unchanged. gain receives the gain applied. Null when cancelled.
std::unique_ptr<Wave> NormalizeLoudness(Wave& wave, double targetLufs, double truePeakMaxDbtp,
                                        LoudnessGain* gain = nullptr,
                                        const LoudnessCaptions& captions = {});

// "-14.2 LUFS  LRA 5.1 LU  TP -1.3 dBTP", with "-inf" for silence.
std::string LoudnessText(const LoudnessFigures& figures);

}  // namespace sv
