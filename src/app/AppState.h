#pragma once
// The desktop program's state: the current document, its flags, the shared spectra, the modes
// the engine reads and the visible span, in parts that each go only where they are used.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "audio/Wave.h"
#include "dsp/Engine.h"
#include "dsp/RemasterChain.h"
#include "view/WaveOverview.h"

namespace sv {

struct DocumentFlags {
    bool Cancelled = false;  // the batch was cancelled
    bool DataSaved = true;   // cleared by every command that replaces the document
};

// The open document and what goes with it: what the document and processing commands change.
struct DocumentState {
    std::unique_ptr<Wave> Document;
    bool WaveLoaded = false;
    bool RedrawWave = false;
    DocumentFlags Flags;       // Cancelled and DataSaved
    std::string FileName;      // the file the open dialog holds: Return to saved and Save use it
    std::string SaveFileName;  // the save dialog keeps its own
    int ProcessingRuns = 0;    // processing commands that replaced the document

    // Destroys the current document, whatever it holds, so its swap file goes with it. With no
    // document left there is nothing unsaved to ask about.
    void ReleaseDocument() {
        Document.reset();
        WaveLoaded = false;
        Flags.DataSaved = true;
    }
};

// The modes panel's choices the engine reads.
struct EngineModes {
    sv::ChannelMode ChannelMode = DefaultChoice<sv::ChannelMode>("channelMode");
    sv::BandLevelMode BandLevelMode = DefaultChoice<sv::BandLevelMode>("bandLevel");
    int PeakBlockSize = DefaultOf(&RemasterSettings::PeakBlockSize);
};

// The visible span of the document and the overview drawn from it. The overview watches every
// document's writes, so it must outlive them: a base constructed before the document's. The
// waveform view moves the span and owns the rest of what it shows (selection, play cursor).
struct DocumentView {
    ViewPosition Position;
    WaveOverview Overview{Position};  // reads the visible span there
};

// The window's state, owned by the main window, which hands each controller only its parts.
struct AppState : DocumentView, DocumentState, EngineModes {
    std::filesystem::path WorkFolder;
    SharedSpectra SpectraShared;  // target, example, measured, noise profile, ExampleReady
    BinSpectrum FlatSpectrum{};
};

}  // namespace sv
