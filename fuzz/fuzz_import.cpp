// Reads arbitrary bytes as a FLAC, Ogg, AIFF or MP3 file through the import path; a file that
// loads must save and load again with the same shape.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "audio/AudioFileFormats.h"
#include "base/IoError.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_import: %s\n", what);
    std::abort();
}

const std::filesystem::path& Folder() {
    static const auto folder = [] {
        auto f = std::filesystem::temp_directory_path() /
                 ("sonivar-fuzz-import-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the extension, so one corpus reaches every decoder.
    static const char* const extensions[] = {".flac", ".ogg", ".aiff", ".mp3"};
    if (size < 1) return 0;
    const auto in = Folder() / (std::string("in") + extensions[data[0] % 4]);
    const auto out = Folder() / "out.flac";
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    sv::WaveEnvironment env;
    env.WorkFolder = Folder();
    try {
        auto loaded = sv::OpenAudioFile(in, env);
        if (loaded.Document) {
            sv::Wave& wave = *loaded.Document;
            if (wave.FrameCount() < sv::Wave::MinimumFrames)
                Fail("loaded a document with fewer frames than any that opens");
            if (sv::SaveAudioFile(wave, out).Saved()) {
                auto again = sv::OpenAudioFile(out, env).Document;
                if (!again || again->FrameCount() != wave.FrameCount() ||
                    again->Channels() != wave.Channels())
                    Fail("saved file does not load as the same document");
            }
        } else if (loaded.Outcome == sv::LoadOutcome::Loaded) {
            Fail("loaded without a document");
        }
    } catch (const sv::IoError&) {
        // a clear error is a fine answer to a damaged file
    }
    // Every document removes its swap file and every save its temporary file.
    std::filesystem::remove(out);
    std::filesystem::remove(in);
    if (!std::filesystem::is_empty(Folder())) Fail("a swap or temporary file was left behind");
    return 0;
}
