// Loads arbitrary bytes as a WAV file; a loaded document is read and saved again.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "audio/wav.h"
#include "base/IoError.h"

namespace {

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        auto p = std::filesystem::temp_directory_path() / ("sonivar-fuzz-wav-" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        return p;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = Folder() / "in.wav";
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    sv::TWaveEnv env;
    env.WorkFolder = Folder();
    try {
        auto wave = sv::TWave::CreateFromFile(in, env);
        if (wave->HasData()) {
            std::int32_t v = 0;
            wave->ReadRaw(&v, wave->Channels() * sv::MarginFrames, 1);
            wave->SaveToFile(Folder() / "out.wav");
        }
    } catch (const sv::IoError&) {
        // a clear error is a fine answer to a damaged file
    }
    // Every document removes its swap file.
    for (const auto& e : std::filesystem::directory_iterator(Folder()))
        if (e.path().extension() == ".tmp") __builtin_trap();
    return 0;
}
