#include "playback/LevelMatch.h"

#include <algorithm>
#include <cmath>

namespace sv {

LevelMatch MatchLevels(std::optional<double> firstLufs, std::optional<double> secondLufs) {
    if (!firstLufs || !secondLufs || !std::isfinite(*firstLufs) || !std::isfinite(*secondLufs))
        return {};
    const double quieter = std::min(*firstLufs, *secondLufs);
    return {quieter - *firstLufs, quieter - *secondLufs, true};
}

}  // namespace sv
