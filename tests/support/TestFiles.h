#pragma once
// Test helpers: temporary folders and WAV files written by the tests themselves.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "audio/Wave.h"
#include "base/FileDescriptor.h"

namespace sv::test {

// A fresh folder removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sonivar-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Files in the folder whose name ends with suffix.
    int CountFiles(const std::string& suffix = "") const {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            const auto name = e.path().filename().string();
            if (name.size() >= suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                ++n;
        }
        return n;
    }

  private:
    std::filesystem::path path_;
};

struct WavLayout {
    std::uint16_t formatTag = 1;
    std::uint16_t channels = 1;
    std::int32_t rate = 44100;
    std::uint16_t bits = 16;
    std::int64_t frames = 0;
    std::uint32_t fmtSize = 16;
    std::vector<std::pair<std::string, std::string>> chunksBeforeData;  // tag, body
    std::int64_t dataSizeOverride = -1;  // write this DataSize instead of the true one
};

inline void PutLe(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// sample(frame, channel) gives the file sample: -32768..32767 for 16 bits, 0..255 for 8 bits.
inline std::string WavBytes(const WavLayout& s,
                            const std::function<int(std::int64_t, int)>& sample) {
    const int b = s.bits / 8;
    const std::uint64_t dataSize = static_cast<std::uint64_t>(s.frames) * s.channels * b;
    std::string out = "RIFF";
    std::string chunks;
    for (const auto& [tag, body] : s.chunksBeforeData) {
        chunks += tag;
        PutLe(chunks, body.size(), 4);
        chunks += body;
        if (body.size() & 1) chunks.push_back('\0');
    }
    PutLe(out, 20 + s.fmtSize + chunks.size() + dataSize, 4);
    out += "WAVEfmt ";
    PutLe(out, s.fmtSize, 4);
    PutLe(out, s.formatTag, 2);
    PutLe(out, s.channels, 2);
    PutLe(out, static_cast<std::uint32_t>(s.rate), 4);
    PutLe(out, static_cast<std::uint32_t>(std::int64_t{s.rate} * s.channels * b), 4);
    PutLe(out, s.channels * b, 2);
    PutLe(out, s.bits, 2);
    for (std::uint32_t i = 16; i < s.fmtSize; ++i) out.push_back('\0');
    out += chunks;
    out += "data";
    PutLe(out, s.dataSizeOverride >= 0 ? static_cast<std::uint64_t>(s.dataSizeOverride) : dataSize,
          4);
    // Stored in place: appending byte by byte costs more than the samples themselves.
    std::size_t at = out.size();
    out.resize(at + dataSize);
    for (std::int64_t f = 0; f < s.frames; ++f)
        for (int c = 0; c < s.channels; ++c) {
            const std::uint64_t v = static_cast<std::uint32_t>(sample(f, c));
            for (int i = 0; i < b; ++i) out[at++] = static_cast<char>((v >> (8 * i)) & 0xff);
        }
    return out;
}

// Written over in place and then cut to length: ext4 flushes a file that was truncated to
// nothing to disk when it is closed, which costs milliseconds per rewritten file.
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    const FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!file.Valid()) return;
    WriteFully(file.Get(), bytes.data(), bytes.size(), path);
    (void)::ftruncate(file.Get(), static_cast<off_t>(bytes.size()));  // FIFOs: fails harmlessly
}

// Sized first: growing the string character by character costs copies and page faults.
// Without an access-time update: tests poll files a program is writing, and each update of a
// changed file's access time is a journal write that waits behind other processes' syncs.
inline std::string ReadFile(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const FileDescriptor file(fd);
    if (!file.Valid()) return {};
    const off_t size = ::lseek(fd, 0, SEEK_END);
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    bytes.resize(ReadFullyAt(fd, bytes.data(), bytes.size(), 0, path));
    return bytes;
}

inline void WriteWav(const std::filesystem::path& path, const WavLayout& s,
                     const std::function<int(std::int64_t, int)>& sample) {
    WriteFile(path, WavBytes(s, sample));
}

// A deterministic pseudo-random 16-bit sample pattern.
inline int Noise16(std::int64_t f, int c) {
    std::uint32_t x = static_cast<std::uint32_t>(f * 2654435761u + c * 40503u + 12345u);
    x ^= x >> 13;
    x *= 0x5bd1e995u;
    x ^= x >> 15;
    return static_cast<int>(x % 65536) - 32768;
}

// A 24-bit sample pattern with both extremes first and every bit in use, also the low byte,
// where a wrong shift would show.
inline int Pattern24(std::int64_t f, int c) {
    if (f == 0) return -8388608;
    if (f == 1) return 8388607;
    return static_cast<int>(((f * 2654435761LL + c * 40503) % 16777216) - 8388608);
}

// Marks the 40-byte fmt chunk of WavBytes(..., fmtSize 40) as EXTENSIBLE with the sub-format.
inline void MakeExtensible(std::string& bytes, std::uint16_t subFormat, std::uint16_t bits) {
    static const unsigned char tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::string ext;
    PutLe(ext, 0xFFFE, 2);
    bytes.replace(20, 2, ext);
    ext.clear();
    PutLe(ext, 22, 2);
    PutLe(ext, bits, 2);
    PutLe(ext, 0x3, 4);  // front left and right
    PutLe(ext, subFormat, 2);
    ext.append(reinterpret_cast<const char*>(tail), 14);
    bytes.replace(36, 24, ext);
}

// Records messages; answers questions from a script.
class RecordingDialogs final : public UserDialogs {
  public:
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answer = false;
    int busy = 0;
    void Message(const std::string& text) override { messages.push_back(text); }
    bool Question(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    void SetBusy(bool b) override { busy += b ? 1 : -1; }
};

// Results never depend on the store's window; a small one spares every store zeroing (and
// page-faulting) megabytes.
inline constexpr std::int64_t SmallStoreWindow = 65536;

inline WaveEnvironment MakeEnv(const std::filesystem::path& work, UserDialogs* dialogs = nullptr,
                               SampleWriteListener* writeListener = nullptr) {
    WaveEnvironment env;
    env.WorkFolder = work;
    env.Ports.dialogs = dialogs;
    env.WriteListener = writeListener;
    env.StoreWindowValues = SmallStoreWindow;
    return env;
}

// A document of the given format whose values are value(frame, channel).
inline std::unique_ptr<Wave> MakeDocument(
    const WaveEnvironment& env, int channels, std::int32_t rate, std::int64_t frames,
    const std::function<std::int32_t(std::int64_t, int)>& value) {
    auto wave = Wave::CreateEmpty(1, static_cast<std::uint16_t>(channels), rate, 16, frames, env);
    std::vector<std::int32_t> raw(static_cast<std::size_t>(frames * channels));
    for (std::int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            raw[static_cast<std::size_t>(f * channels + c)] = value(f, c);
    wave->WriteRaw(raw.data(), channels * MarginFrames, frames * channels);
    return wave;
}

// Every value of the document's store, margins included.
inline std::vector<std::int32_t> StoreValues(Wave& wave) {
    std::vector<std::int32_t> raw(static_cast<std::size_t>(wave.Memory().Length()));
    wave.ReadRaw(raw.data(), 0, static_cast<std::int64_t>(raw.size()));
    return raw;
}

}  // namespace sv::test
