#pragma once
// What happened to one input file: the facts a script or scheduler reads afterwards.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/SignalLevels.h"
#include "dsp/LevellingPreview.h"
#include "loudness/LoudnessMeter.h"

namespace sv::cli {

enum class FileStatus { Done, Refused, Failed, Cancelled };

// The status that an exit code of one file stands for.
FileStatus StatusOfExit(int exit);
const char* StatusName(FileStatus status);

struct FileFormat {
    std::string Name;       // "PCM", "float", with " extensible" for that header
    std::string Container;  // "WAV", "FLAC", "Ogg Vorbis", "AIFF" or "MP3"
    int Channels = 0;
    int SampleRate = 0;
    int BitsPerSample = 0;
    std::int64_t Frames = 0;
    std::int64_t InfiniteSamples = 0;                       // limited to ±256.0 while loading
    std::vector<std::pair<std::string, std::string>> Tags;  // name, value
};

// file: the name the document was read from, which tells its container.
FileFormat FormatOf(const Wave& wave, const std::filesystem::path& file);

struct FileRecord {
    std::string Input;
    std::string Output;                // empty for info
    std::optional<FileFormat> Format;  // once the input was loaded
    std::optional<SignalLevels> Before;
    std::optional<SignalLevels> After;  // of the document that was saved
    std::optional<LoudnessFigures> Loudness;
    std::optional<bool> HeldByTruePeak;  // once loudness normalizing ran
    std::optional<GainBands> GainCurve;  // once levelling ran
    bool Kept = false;                   // done by an earlier run that did not report it
    FileStatus Status = FileStatus::Done;
    int Exit = 0;         // what the file adds to the exit status of the command
    std::string Message;  // the message shown for the file, empty when none
    double WallSeconds = 0.0;
};

}  // namespace sv::cli
