#include "audio/SoundFileImport.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audio/Mp3Stream.h"
#include "audio/SoundFileTags.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "base/WorkFolder.h"

namespace sv {

namespace {

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;

// The WAV format a decoded file is kept in: its own depth where WAV has it; lossy streams,
// whose decoders give more than 16 bits, at 24.
struct StoreFormat {
    std::uint16_t tag = WavePcmTag;
    std::uint16_t bits = 24;
};

StoreFormat StoreFormatFor(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
            return {WavePcmTag, 16};
        case SF_FORMAT_PCM_32:
            return {WavePcmTag, 32};
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
            return {WaveFloatTag, 32};
        default:
            return {WavePcmTag, 24};
    }
}

// A stream being decoded: its shape, and a reader that gives up to n frames of store values
// (0 at the end or on an error).
struct DecodedStream {
    int channels = 0;
    int sampleRate = 0;
    StoreFormat format;
    std::int64_t frames = -1;  // the length the stream states, -1 when it does not
    std::function<std::int64_t(std::int32_t* values, std::int64_t n)> read;
    std::function<std::string()> error;  // why decoding stopped early, empty when it did not
    std::int64_t infinite = 0;           // infinite float samples met
    std::vector<std::pair<TagKind, std::string>> tags;
};

LoadResult Refused(std::string reason) {
    LoadResult result;
    result.Outcome = LoadOutcome::NotPcm;
    result.Reason = std::move(reason);
    return result;
}

// libsndfile's words without its "Error : " prefix and final full stop.
std::string DecoderWords(const char* text) {
    std::string words = text;
    if (words.rfind("Error : ", 0) == 0) words.erase(0, 8);
    while (!words.empty() && (words.back() == '.' || words.back() == ' ')) words.pop_back();
    return words;
}

// Why libsndfile could not open a regular file, in this program's words: its own say "possibly
// a pipe?" of a text file and "(No Error.)" of some damage.
std::string OpenRefusalReason(int code, const char* text) {
    const std::string words = DecoderWords(text);
    if (code == SF_ERR_UNSUPPORTED_ENCODING) return "its encoding is not supported";
    if (code == SF_ERR_MALFORMED_FILE) return "its header is malformed";
    if (words.find("decoder") != std::string::npos) return "the decoder reports: " + words;
    return "not a sound file of a known format";
}

LoadResult Outcome(LoadOutcome outcome) {
    LoadResult result;
    result.Outcome = outcome;
    return result;
}

const char* const TooLong = "longer than a document holds (4 GiB of samples)";

// Frames beyond this could never be saved with 32-bit WAV sizes.
std::uint64_t MostFrames(const DecodedStream& stream) {
    const std::uint64_t frameBytes =
        static_cast<std::uint64_t>(stream.channels) * (stream.format.bits / 8);
    return (0xFFFFFFFFu - 60) / frameBytes;
}

// Why the stream is refused before decoding, if it is.
std::optional<LoadResult> RefusalBeforeDecoding(const DecodedStream& stream,
                                                const WaveEnvironment& env) {
    const int ch = stream.channels;
    if (ch < 1 || ch > Wave::MaxChannels || stream.sampleRate < 1 ||
        static_cast<std::uint32_t>(stream.sampleRate) > Wave::MaxSampleRate)
        return Refused("unsupported layout (" + std::to_string(ch) + " channels at " +
                       std::to_string(stream.sampleRate) + " Hz)");
    // A format whose WAV header fields cannot be represented is refused like any other.
    if (const NewWavFormat made = MakeWavFormat(stream.format.tag, static_cast<std::uint16_t>(ch),
                                                stream.sampleRate, stream.format.bits, 0);
        !made.Format)
        return Refused(made.Problem);
    if (stream.frames < 0) return std::nullopt;
    if (static_cast<std::uint64_t>(stream.frames) > MostFrames(stream)) return Refused(TooLong);
    if (stream.frames < Wave::MinimumFrames) return Outcome(LoadOutcome::TooShort);
    // The store and the engine's output document beside it, as for WAV files.
    if (2 * static_cast<unsigned __int128>(StoreBytes(ch, stream.frames)) >=
        FreeBytes(env.WorkFolder))
        return Outcome(LoadOutcome::LowDiskSpace);
    return std::nullopt;
}

// Decodes every frame into wave, which grows when the stream did not state its length. Returns
// the frames decoded, or nothing when the stream outgrows what a document holds.
std::optional<std::int64_t> DecodeFrames(DecodedStream& stream, Wave& wave,
                                         const WaveEnvironment& env) {
    const int ch = stream.channels;
    const bool stated = stream.frames >= 0;
    std::int64_t capacity = stated ? stream.frames : 0;
    auto progress = env.Ports.MakeProgress();
    progress->EnableCancel(false);
    progress->SetCaption(env.ReadingCaption);
    const std::int64_t blockFrames = Wave::TransferBlock / ch;
    progress->SetTotal(stated ? stream.frames / blockFrames : 0);
    progress->Show();
    Int32Array values(static_cast<std::size_t>(blockFrames * ch));
    std::int64_t done = 0;
    for (;;) {
        if (!stated && done + blockFrames > capacity) {
            if (static_cast<std::uint64_t>(done) >= MostFrames(stream)) return std::nullopt;
            capacity = static_cast<std::int64_t>(std::min<std::uint64_t>(
                std::max<std::int64_t>(2 * capacity, done + 16 * blockFrames), MostFrames(stream)));
            wave.SetFrameCount(capacity);
        }
        const std::int64_t want = std::min(blockFrames, (stated ? stream.frames : capacity) - done);
        if (want <= 0) break;
        const std::int64_t got = stream.read(values.data(), want);
        if (got <= 0) break;
        WriteInterleaved(wave, values.data(), SampleIndex{done * ch}, got * ch);
        TellSourceValues(wave, values.data(), SampleIndex{done * ch}, got * ch);
        done += got;
        if (stated) progress->SetDone(done / blockFrames);
    }
    return done;
}

// Fills a new document from the stream. A stated length is trusted for the checks before
// decoding and must be reached; without one the document grows as frames arrive and its length
// is what was decoded.
LoadResult DecodeInto(DecodedStream& stream, const WaveEnvironment& env) {
    if (auto refused = RefusalBeforeDecoding(stream, env)) return std::move(*refused);
    const int ch = stream.channels;
    const bool stated = stream.frames >= 0;
    auto wave =
        Wave::CreateEmpty(stream.format.tag, static_cast<std::uint16_t>(ch), stream.sampleRate,
                          stream.format.bits, stated ? stream.frames : 0, env);
    wave->Metadata().Tags = std::move(stream.tags);
    const std::optional<std::int64_t> decoded = DecodeFrames(stream, *wave, env);
    if (!decoded) return Refused(TooLong);
    const std::int64_t done = *decoded;
    if (const std::string error = stream.error(); !error.empty())
        return Refused("decoding stopped after " + std::to_string(done) + " frames (" + error +
                       ")");
    if (stated && done < stream.frames)
        return Refused("the stream ends after " + std::to_string(done) + " of its " +
                       std::to_string(stream.frames) + " frames");
    if (!stated) {
        if (done == 0) return Refused("it holds no sound that could be decoded");
        if (done < Wave::MinimumFrames) return Outcome(LoadOutcome::TooShort);
        wave->SetFrameCount(done);
        // The overview was kept for the growing length; the view shows the final one.
        if (env.WriteListener) env.WriteListener->Renewed(*wave);
    }
    wave->SetInfiniteSamples(stream.infinite);
    LoadResult result = Outcome(LoadOutcome::Loaded);
    result.Document = std::move(wave);
    return result;
}

LoadResult ImportMp3(int fd, const std::filesystem::path& fileName, const WaveEnvironment& env) {
    if (::lseek(fd, 0, SEEK_SET) != 0) ThrowIoError("Cannot read " + fileName.string());
    Mp3Stream mp3(fd, env.ShowDecoderNotes);
    if (!mp3.Open()) return Refused("not a sound file of a known format");
    DecodedStream stream;
    stream.channels = mp3.Channels();
    stream.sampleRate = mp3.SampleRate();
    std::vector<float> floats;
    stream.read = [&](std::int32_t* values, std::int64_t n) {
        floats.resize(static_cast<std::size_t>(n * stream.channels));
        const std::int64_t got = mp3.Read(floats.data(), n);
        stream.infinite += DecodeFloats(floats.data(), values, got * stream.channels);
        return got;
    };
    stream.error = [&] { return mp3.Error(); };
    return DecodeInto(stream, env);
}

}  // namespace

std::string LowerExtension(const std::filesystem::path& fileName) {
    std::string ext = fileName.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool IsSoundFileExtension(const std::filesystem::path& fileName) {
    const std::string ext = LowerExtension(fileName);
    return ext == ".flac" || ext == ".ogg" || ext == ".oga" || ext == ".aif" || ext == ".aiff" ||
           ext == ".mp3";
}

LoadResult ImportSoundFile(const std::filesystem::path& fileName, const WaveEnvironment& env) {
    // Never blocks on a FIFO or device named like a sound file.
    const FileDescriptor fd = OpenRegularFileForReading(fileName, nullptr);
    // libsndfile would probe an MP3 with a libmpg123 that prints its notes.
    if (LowerExtension(fileName) == ".mp3") return ImportMp3(fd.Get(), fileName, env);
    SF_INFO info{};
    SoundFile file(sf_open_fd(fd.Get(), SFM_READ, &info, SF_FALSE));
    if (!file) {
        const int code = sf_error(nullptr);
        if (code == SF_ERR_SYSTEM)
            throw IoError(
                "Cannot read " + fileName.string() + ": " + DecoderWords(sf_strerror(nullptr)),
                EIO);
        return Refused(OpenRefusalReason(code, sf_strerror(nullptr)));
    }
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        file.reset();
        return ImportMp3(fd.Get(), fileName, env);
    }
    DecodedStream stream;
    stream.channels = info.channels;
    stream.sampleRate = info.samplerate;
    stream.format = StoreFormatFor(info.format);
    // Streams written to a pipe (FLAC) or cut off (Ogg) do not state their length.
    stream.frames = info.frames == SF_COUNT_MAX ? -1 : info.frames;
    stream.tags = ReadSoundFileTags(file.get());
    // Float samples are read as floats, so values beyond full scale keep the store's headroom
    // as in float WAV files (integer reads would cut them, or give 0 and ±1 unscaled).
    const bool floats = stream.format.tag == WaveFloatTag;
    std::vector<float> floatValues;
    stream.read = [&](std::int32_t* values, std::int64_t n) -> std::int64_t {
        const int ch = stream.channels;
        if (floats) {
            floatValues.resize(static_cast<std::size_t>(n * ch));
            const sf_count_t got = sf_readf_float(file.get(), floatValues.data(), n);
            stream.infinite += DecodeFloats(floatValues.data(), values, got * ch);
            return got;
        }
        const sf_count_t got = sf_readf_int(file.get(), values, n);
        // Full-scale 32-bit integers to the store's 24-bit scale.
        for (sf_count_t i = 0; i < got * ch; ++i) values[i] >>= 8;
        return got;
    };
    stream.error = [&]() -> std::string {
        if (sf_error(file.get()) == SF_ERR_NO_ERROR) return {};
        return DecoderWords(sf_strerror(file.get()));
    };
    return DecodeInto(stream, env);
}

}  // namespace sv
