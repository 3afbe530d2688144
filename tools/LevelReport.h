#pragma once
// Peak and RMS level of every channel of a WAV file, for telling what a run did.
#include <filesystem>
#include <string>
#include <vector>

namespace sv::demo {

struct ChannelLevels {
    double peakDbfs = 0;  // -inf for a silent channel
    double rmsDbfs = 0;
};

// Reads the file through the program's own WAV reader. Throws std::runtime_error when the file
// cannot be read or is refused.
std::vector<ChannelLevels> MeasureLevels(const std::filesystem::path& file,
                                         const std::filesystem::path& workFolder);

// "peak -0.00 dBFS  RMS -17.32 dBFS" per channel, one line each, prefixed by label.
std::string LevelsText(const std::string& label, const std::vector<ChannelLevels>& levels);

}  // namespace sv::demo
