#pragma once
// Positions in a recording, counted from its first frame. The silent margins around it in the
// store are the document's business: callers never add them.
#include <cstdint>

namespace sv {

// A frame: one value per channel; 0 is the recording's first.
struct FrameIndex {
    std::int64_t Value = 0;
};

// One value of the interleaved recording: frame x channels + channel.
struct SampleIndex {
    std::int64_t Value = 0;
};

}  // namespace sv
