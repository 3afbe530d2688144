#pragma once
// The processing settings of the main window's controls, with their start-up defaults. The
// desktop program reads them from its controls; the command line from its options.
#include <cstdint>

namespace sv {

struct TRemasterSettings {
    // Stages of "Remaster It", run in this order.
    bool RemoveNoise = false;  // ChRemNoise
    bool Remastering = false;  // ChRemastering
    bool PeakDown = false;     // ChPeekDown
    bool Normalize = false;    // ChExtDyn

    int NoiseParts = 1;      // SpPocDil 1..64
    int NoiseSeconds = 1;    // SpSec 1..9
    int NoisePercent = 100;  // SpProcNois 0..200

    int Bands = 60;         // SpPrecize 3..255
    int Limit = 10;         // SpLimit 2..128
    int ChannelMode = 3;    // 0..4
    int BandLevelMode = 1;  // 0..4

    bool HighPass = false;  // ChHiPass
    int HighPassHz = 20;    // SpHiPass 16..250
    int HighPassSlope = 6;  // SpHiDrop 1..64
    bool LowPass = false;   // ChLoPass
    int LowPassKHz = 16;    // SpLoPass 8..20
    int LowPassSlope = 6;   // SpLoDrop 1..64

    int PeakCount = 100;       // SpPeekDown 5..999
    int PeakBlockSize = 4096;  // 512, 1024, 2048, 4096, 8192

    int NormalizeDb = 0;      // SpNormal -48..0
    bool PerChannel = false;  // ChExtDynEq

    // What the levelling stage passes on when a pass filter is off.
    int EffectiveHighPassHz() const { return HighPass ? HighPassHz : 5; }
    int EffectiveLowPassKHz() const { return LowPass ? LowPassKHz : 25; }
};

}  // namespace sv
