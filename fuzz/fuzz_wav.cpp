// The fuzzer's bytes are the head of a WAV file: chunks up to and including the data chunk's
// header. Generated samples follow it up to the size that chunk declares (at least enough for the
// shortest loadable file), so loading, the margins and saving all see real sample data. A loaded
// document must hold exactly those samples between all-zero margins; its saved file must have
// consistent sizes and load again with the same samples.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "audio/Wave.h"
#include "base/IoError.h"

namespace {

namespace fs = std::filesystem;

// Swap files of documents with more channels hold 8192 x channels values per margin and take
// gigabytes; such headers end the run early so every run stays quick and small on disk.
constexpr unsigned MaxChannels = 2048;
// Values compared at each end of the samples and of each margin.
constexpr std::int64_t Probe = 4096;

const fs::path& Folder() {
    static const fs::path folder = [] {
        auto p = fs::temp_directory_path() / ("sonivar-fuzz-wav-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_wav: %s\n", what);
    std::abort();
}

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void PutLe32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

struct Head {
    unsigned channels = 1;
    unsigned bits = 16;
    std::optional<std::size_t> dataAt;  // offset of the data chunk's header within the bytes
    bool endsAtChunk = false;           // the chunk walk ends exactly at the last byte
};

// Walks the chunks as a WAV reader would: a fmt chunk somewhere after byte 12, then a data chunk.
Head Scan(const std::uint8_t* data, std::size_t size) {
    Head head;
    std::uint64_t pos = 12;
    bool fmtSeen = false;
    while (pos + 8 <= size) {
        const std::uint32_t chunkSize = Le32(data + pos + 4);
        if (!fmtSeen && std::equal(data + pos, data + pos + 4, "fmt ")) {
            fmtSeen = true;
            if (pos + 24 <= size) {
                head.channels = Le16(data + pos + 10);
                head.bits = Le16(data + pos + 22);
            }
        } else if (fmtSeen && std::equal(data + pos, data + pos + 4, "data")) {
            head.dataAt = pos;
            return head;
        }
        pos += 8 + static_cast<std::uint64_t>(chunkSize) + (chunkSize & 1);
    }
    head.endsAtChunk = fmtSeen && pos == size;
    return head;
}

// Deterministic sample bytes: the same head always gets the same samples. Kept out of the
// coverage feedback, which would otherwise cost more than the load itself.
__attribute__((no_sanitize("coverage"))) void AppendSamples(std::vector<std::uint8_t>& file,
                                                            std::uint64_t count,
                                                            std::uint64_t seed) {
    std::uint64_t x = seed | 1;
    const std::size_t from = file.size();
    file.resize(from + count);
    for (std::size_t i = from; i < file.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        file[i] = static_cast<std::uint8_t>(x >> 24);
    }
}

std::vector<std::uint8_t> ReadFile(const fs::path& p) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(fs::file_size(p)));
    std::ifstream(p, std::ios::binary)
        .read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// The internal value of sample i of little-endian file bytes: 8-bit unsigned, 16, 24 and 32-bit
// signed (full scale 2^15 for 8-bit, 2^23 for the rest) or 32-bit float (1.0 is 2^23; the
// store's limits hold ±256.0, NaN is 0).
std::int32_t Expected(const std::uint8_t* samples, int bytes, bool isFloat, std::int64_t i) {
    const std::uint8_t* p = samples + bytes * i;
    switch (bytes) {
        case 1:
            return (p[0] - 128) * 256;
        case 2:
            return static_cast<std::int16_t>(Le16(p)) * 256;
        case 3:
            return static_cast<std::int32_t>((p[0] << 8) | (p[1] << 16) |
                                             (std::uint32_t{p[2]} << 24)) >>
                   8;
        default:
            break;
    }
    if (!isFloat) return static_cast<std::int32_t>(Le32(p)) >> 8;
    float f;
    std::memcpy(&f, p, 4);
    const double scaled = static_cast<double>(f) * 8388608.0;
    if (std::isnan(scaled)) return 0;
    return static_cast<std::int32_t>(std::lrint(std::clamp(scaled, -2147483648.0, 2147483647.0)));
}

// Compares the values of `first .. first + count` of the document with `expect(i)`.
template <typename Expect>
void CheckRange(sv::Wave& wave, std::int64_t first, std::int64_t count, Expect expect,
                const char* what) {
    std::vector<std::int32_t> v(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
    wave.ReadRaw(v.data(), first, count);
    for (std::int64_t i = 0; i < count; ++i)
        if (v[static_cast<std::size_t>(i)] != expect(first + i)) Fail(what);
}

// Margins zero, samples equal to the file's bytes at `samples`, at both ends of each region.
void CheckDocument(sv::Wave& wave, const std::uint8_t* samples) {
    const std::int64_t ch = wave.Channels();
    const int bytes = wave.Format().BytesPerSample();
    const std::int64_t margin = ch * sv::MarginFrames;
    const std::int64_t total = ch * wave.FrameCount();
    const auto zero = [](std::int64_t) { return 0; };
    const bool isFloat = wave.Format().Encoding == sv::SampleEncoding::Float32;
    const auto sample = [&](std::int64_t raw) {
        return Expected(samples, bytes, isFloat, raw - margin);
    };
    const std::int64_t m = std::min(margin, Probe), s = std::min(total, Probe);
    CheckRange(wave, 0, m, zero, "leading margin not silent");
    CheckRange(wave, margin - m, m, zero, "leading margin not silent");
    CheckRange(wave, margin, s, sample, "first samples differ from the file");
    CheckRange(wave, margin + total - s, s, sample, "last samples differ from the file");
    CheckRange(wave, margin + total, m, zero, "trailing margin not silent");
    CheckRange(wave, 2 * margin + total - m, m, zero, "trailing margin not silent");
}

// A saved file: RIFF size = length - 8, whole frames, a data chunk within the file.
void CheckSavedFile(const std::vector<std::uint8_t>& f, const sv::Wave& wave) {
    if (f.size() < 44 || !std::equal(f.begin(), f.begin() + 4, "RIFF"))
        Fail("saved file has no RIFF head");
    if (Le32(f.data() + 4) != f.size() - 8) Fail("saved RIFF size is not the file length - 8");
    const Head head = Scan(f.data(), f.size());
    if (!head.dataAt) Fail("saved file has no data chunk");
    const std::uint64_t dataSize = Le32(f.data() + *head.dataAt + 4);
    if (*head.dataAt + 8 + dataSize > f.size()) Fail("saved data chunk overruns the file");
    const std::uint64_t frame =
        static_cast<std::uint64_t>(wave.Channels()) * wave.Format().BytesPerSample();
    if (dataSize % frame != 0) Fail("saved data chunk holds a partial frame");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 12) return 0;
    const Head head = Scan(data, size);
    // Other sample sizes are refused; sizing their padding by them would make gigabyte files.
    const unsigned bytes = head.bits == 8 || head.bits == 24 || head.bits == 32 ? head.bits / 8 : 2;
    if (head.channels > MaxChannels) return 0;
    // Enough whole frames for the shortest loadable file, more for wide frames.
    const std::uint64_t frameBytes =
        std::max(1u, head.channels) * static_cast<std::uint64_t>(bytes);
    const std::uint64_t minimumFrames =
        (sv::Wave::MinimumValues + std::max(1u, head.channels) - 1) / std::max(1u, head.channels);
    const std::uint64_t enough = minimumFrames * frameBytes;

    std::vector<std::uint8_t> file(data, data + size);
    std::uint64_t seed = 1469598103934665603ull;
    for (std::size_t i = 0; i < size; ++i) seed = (seed ^ data[i]) * 1099511628211ull;
    std::size_t samplesAt = 0;
    if (head.dataAt) {
        // Samples up to the declared size; a declared size far beyond the minimum gets a file
        // that ends early (refused with an error, never read past).
        samplesAt = *head.dataAt + 8;
        const std::uint64_t declared = Le32(data + *head.dataAt + 4);
        const std::uint64_t want = std::min<std::uint64_t>(declared, enough + 65536);
        const std::uint64_t have = size - samplesAt;
        if (want > have) AppendSamples(file, want - have, seed);
    } else if (head.endsAtChunk) {
        // A head without a data chunk gets one of exactly the minimum length.
        file.insert(file.end(), {'d', 'a', 't', 'a'});
        PutLe32(file, static_cast<std::uint32_t>(enough));
        samplesAt = file.size();
        AppendSamples(file, enough, seed);
    }

    const auto in = Folder() / "in.wav";
    const auto out = Folder() / "out.wav";
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    sv::WaveEnvironment env;
    env.WorkFolder = Folder();
    try {
        auto wave = sv::Wave::CreateFromFile(in, env).Document;
        if (wave) {
            if (samplesAt == 0) Fail("loaded a file whose data chunk the walk did not find");
            CheckDocument(*wave, file.data() + samplesAt);
            fs::remove(out);
            if (wave->SaveToFile(out).Saved()) {
                const auto saved = ReadFile(out);
                CheckSavedFile(saved, *wave);
                auto again = sv::Wave::CreateFromFile(out, env).Document;
                if (!again || again->FrameCount() != wave->FrameCount() ||
                    again->Channels() != wave->Channels())
                    Fail("saved file does not load as the same document");
                const Head savedHead = Scan(saved.data(), saved.size());
                CheckDocument(*again, saved.data() + *savedHead.dataAt + 8);
                CheckDocument(*wave, saved.data() + *savedHead.dataAt + 8);
            }
        }
    } catch (const sv::IoError&) {
        // a clear error is a fine answer to a damaged file
    }
    // Every document removes its swap file and every save its temporary file.
    for (const auto& e : fs::directory_iterator(Folder()))
        if (e.path() != in && e.path() != out) Fail("a swap or temporary file was left behind");
    return 0;
}
