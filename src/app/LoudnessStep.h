#pragma once
// Loudness normalizing as the window's Normalize, Remaster It and batch run it: the target is
// read from the panel before the work starts, the work runs on the worker thread.
#include <memory>
#include <string>

namespace sv {

class Wave;

struct LoudnessTarget {
    double Lufs = 0;
    double TruePeakMax = 0;
};

// Replaces document with its normalized copy; false when cancelled (the document then stays as
// it was). held tells whether the true-peak ceiling kept the loudness below its target.
bool NormalizeToLoudness(std::unique_ptr<Wave>& document, const LoudnessTarget& target, bool& held);

// The status bar's note after a held normalizing.
std::string HeldByCeilingNote(const LoudnessTarget& target);

}  // namespace sv
