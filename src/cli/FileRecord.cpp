#include "cli/FileRecord.h"

#include "audio/AudioFileFormats.h"
#include "cli/Session.h"

namespace sv::cli {

FileStatus StatusOfExit(int exit) {
    switch (exit) {
        case ExitDone:
            return FileStatus::Done;
        case ExitRefused:
        case ExitUsage:
            return FileStatus::Refused;
        case ExitCancelled:
            return FileStatus::Cancelled;
        default:
            return FileStatus::Failed;
    }
}

const char* StatusName(FileStatus status) {
    switch (status) {
        case FileStatus::Done:
            return "done";
        case FileStatus::Refused:
            return "refused";
        case FileStatus::Failed:
            return "failed";
        case FileStatus::Cancelled:
            return "cancelled";
    }
    return "failed";
}

FileFormat FormatOf(const Wave& wave, const std::filesystem::path& file) {
    FileFormat format;
    format.Container = ContainerName(file);
    format.Name = std::string(wave.Format().Encoding == SampleEncoding::Float32 ? "float" : "PCM") +
                  (wave.Format().FormatTag == WaveExtensibleTag ? " extensible" : "");
    format.Channels = wave.Channels();
    format.SampleRate = wave.SampleRate();
    format.BitsPerSample = wave.Format().BitsPerSample;
    format.Frames = wave.FrameCount();
    format.InfiniteSamples = wave.InfiniteSamples();
    for (const auto& [kind, value] : wave.Metadata().Tags)
        format.Tags.emplace_back(TagName(kind), value);
    return format;
}

}  // namespace sv::cli
