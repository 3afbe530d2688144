#include "audio/SoundFileImport.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "audio/SoundFileTags.h"
#include "base/IoError.h"
#include "base/WorkFolder.h"
#include "text/Language.h"

namespace sv {

namespace {

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

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
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SoundFileCloser> file(sf_open(fileName.c_str(), SFM_READ, &info));
    if (!file)
        throw IoError("Cannot read " + fileName.string() + ": " + sf_strerror(nullptr), EINVAL);
    if (info.channels < 1 || info.channels > Wave::MaxChannels || info.samplerate < 1 ||
        static_cast<std::uint32_t>(info.samplerate) > Wave::MaxSampleRate || info.frames < 0)
        throw IoError("Cannot read " + fileName.string() + ": unsupported layout", EINVAL);
    const int ch = info.channels;
    const StoreFormat format = StoreFormatFor(info.format);
    // A length no WAV document could hold (or libsndfile's "unknown") is refused before any
    // size is computed from it.
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(ch) * (format.bits / 8);
    if (static_cast<std::uint64_t>(info.frames) > (0xFFFFFFFFu - 60) / frameBytes)
        throw IoError("Cannot read " + fileName.string() + ": " + std::to_string(info.frames) +
                          " frames are more than a document holds",
                      EFBIG);
    LoadResult result;
    if (info.frames * ch < Wave::MinimumValues) {
        result.Outcome = LoadOutcome::TooShort;
        return result;
    }
    // The store and the engine's output document beside it, as for WAV files.
    if (2 * static_cast<unsigned __int128>(Wave::StoreBytes(ch, info.frames)) >=
        FreeBytes(env.WorkFolder)) {
        result.Outcome = LoadOutcome::LowDiskSpace;
        return result;
    }
    std::unique_ptr<Wave> wave;
    try {
        wave = Wave::CreateEmpty(format.tag, static_cast<std::uint16_t>(ch), info.samplerate,
                                 format.bits, info.frames, env);
    } catch (const std::invalid_argument& error) {
        throw IoError("Cannot read " + fileName.string() + ": " + error.what(), EFBIG);
    }
    wave->Metadata().Tags = ReadSoundFileTags(file.get());
    auto progress = env.Ports.MakeProgress();
    progress->EnableCancel(false);
    progress->SetCaption(Texts().CaReading);
    const std::int64_t blockFrames = Wave::TransferBlock / ch;
    progress->SetTotal(info.frames / blockFrames);
    progress->Show();
    Int32Array values(static_cast<std::size_t>(blockFrames * ch));
    // Float samples are read as floats, so values beyond full scale keep the store's headroom
    // as in float WAV files (integer reads would cut them, or give 0 and ±1 unscaled).
    const bool floats = format.tag == WaveFloatTag;
    std::vector<float> floatValues(floats ? values.size() : 0);
    std::int64_t done = 0;
    // A stream that ends before its announced length is damaged: refused, not padded silently.
    while (done < info.frames) {
        const sf_count_t want = std::min<sf_count_t>(blockFrames, info.frames - done);
        const sf_count_t got = floats ? sf_readf_float(file.get(), floatValues.data(), want)
                                      : sf_readf_int(file.get(), values.data(), want);
        if (got <= 0) break;
        if (floats) {
            DecodeFloats(floatValues.data(), values.data(), got * ch);
        } else {
            // Full-scale 32-bit integers to the store's 24-bit scale.
            for (sf_count_t i = 0; i < got * ch; ++i) values[i] >>= 8;
        }
        wave->WriteRaw(values.data(), (MarginFrames + done) * ch, got * ch);
        done += got;
        progress->SetDone(done / blockFrames);
    }
    if (done < info.frames)
        throw IoError("Cannot read " + fileName.string() + ": the stream ends after " +
                          std::to_string(done) + " of its " + std::to_string(info.frames) +
                          " frames (" + sf_strerror(file.get()) + ")",
                      EIO);
    wave->SetSaved(true);
    result.Outcome = LoadOutcome::Loaded;
    result.Document = std::move(wave);
    return result;
}

}  // namespace sv
