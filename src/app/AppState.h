#pragma once
// The desktop program's state: the current document, its flags, the shared spectra, the modes
// the engine reads and the view. One object, owned by the main window.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "audio/wav.h"
#include "dsp/RemasterChain.h"
#include "dsp/filters.h"

namespace sv {

struct TViewState {
    TViewPosition Position;  // every document points here for its overview updates
    std::int32_t VerZoom = 1;
    std::int32_t VerShift = 0;
    std::int64_t BlockStart = 0;
    std::int64_t BlockEnd = 0;
    std::int64_t PlayPosition = 0;
    bool DragFlag = false;

    void Reset() {
        Position.ViewStart = 0;
        Position.HorZoom = 1;
        VerZoom = 1;
        VerShift = 0;
        BlockStart = 0;
        BlockEnd = 0;
        DragFlag = false;
    }
};

struct AppState {
    std::filesystem::path WorkFolder;
    std::unique_ptr<TWave> Wave;
    bool WaveLoaded = false;
    bool NotPcmPending = false;
    bool RedrawWave = false;
    TEngineFlags Flags;  // StornoFlag and DataSaved
    TSpectra Spectra;    // target, example, measured, noise profile, ExampleReady
    TBinSpectrum FlatSpectrum{};
    int ChannelMode = 3;
    int BandLevelMode = 1;
    int PeakBlockSize = 4096;
    TViewState View;
    std::string FileName;      // the file the open dialog holds: Return to saved and Save use it
    std::string SaveFileName;  // the save dialog keeps its own

    // Destroys the current document, whatever it holds, so its swap file goes with it. With no
    // document left there is nothing unsaved to ask about.
    void ReleaseDocument() {
        Wave.reset();
        WaveLoaded = false;
        Flags.DataSaved = true;
    }
};

}  // namespace sv
