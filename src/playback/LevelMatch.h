#pragma once
// The gains that play two recordings at the same integrated loudness, for comparing them: the
// louder one is lowered to the quieter one's loudness and the quieter one keeps its own, so
// that louder does not pass for better and nothing is raised towards clipping.
#include <optional>

namespace sv {

struct LevelMatch {
    double FirstGainDb = 0.0;
    double SecondGainDb = 0.0;
    bool Matched = false;  // false: a loudness unknown or silent, both gains 0 dB
};

LevelMatch MatchLevels(std::optional<double> firstLufs, std::optional<double> secondLufs);

}  // namespace sv
