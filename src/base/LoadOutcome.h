#pragma once
// How opening a sound file ended. The core reports it; the front ends word it.
namespace sv {

enum class LoadOutcome { Loaded, NotPcm, TooShort, LowDiskSpace };

}  // namespace sv
