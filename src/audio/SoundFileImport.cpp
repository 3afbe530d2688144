#include "audio/SoundFileImport.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>

#include "base/IoError.h"
#include "base/WorkFolder.h"
#include "text/Language.h"

namespace sv {

namespace {

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

int BitsFor(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
            return 16;
        default:
            return 24;
    }
}

}  // namespace

bool IsSoundFileExtension(const std::filesystem::path& fileName) {
    std::string ext = fileName.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".flac" || ext == ".ogg" || ext == ".oga" || ext == ".aif" || ext == ".aiff" ||
           ext == ".mp3";
}

std::unique_ptr<Wave> ImportSoundFile(const std::filesystem::path& fileName,
                                      const WaveEnvironment& env) {
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SoundFileCloser> file(sf_open(fileName.c_str(), SFM_READ, &info));
    if (!file)
        throw IoError("Cannot read " + fileName.string() + ": " + sf_strerror(nullptr), EINVAL);
    if (info.channels < 1 || info.channels > Wave::MaxChannels || info.samplerate < 1 ||
        static_cast<std::uint32_t>(info.samplerate) > Wave::MaxSampleRate || info.frames < 0)
        throw IoError("Cannot read " + fileName.string() + ": unsupported layout", EINVAL);
    const int ch = info.channels;
    const auto bits = static_cast<std::uint16_t>(BitsFor(info.format));
    if (info.frames * ch < Wave::MinimumValues) {
        env.Ports.Message(Texts().CaMaly);
        return Wave::CreateEmpty(WavePcmTag, static_cast<std::uint16_t>(ch), info.samplerate, bits,
                                 0, env);
    }
    // The store and the engine's output document beside it, as for WAV files.
    if (2 * static_cast<unsigned __int128>(Wave::StoreBytes(ch, info.frames)) >=
        FreeBytes(env.WorkFolder)) {
        std::string folder = env.WorkFolder.string();
        if (folder.empty() || folder.back() != '/') folder += '/';
        env.Ports.Message(Texts().CaMmnd + " " + folder + " " + Texts().CaPpv);
        return Wave::CreateEmpty(WavePcmTag, static_cast<std::uint16_t>(ch), info.samplerate, bits,
                                 0, env);
    }
    std::unique_ptr<Wave> wave;
    try {
        wave = Wave::CreateEmpty(WavePcmTag, static_cast<std::uint16_t>(ch), info.samplerate, bits,
                                 info.frames, env);
    } catch (const std::invalid_argument& error) {
        throw IoError("Cannot read " + fileName.string() + ": " + error.what(), EFBIG);
    }
    auto progress = env.Ports.MakeProgress();
    progress->EnableCancel(false);
    progress->SetCaption(Texts().CaReading);
    const std::int64_t blockFrames = Wave::TransferBlock / ch;
    progress->SetTotal(info.frames / blockFrames);
    progress->Show();
    Int32Array values(static_cast<std::size_t>(blockFrames * ch));
    std::int64_t done = 0;
    // A stream that ends before its announced length is damaged: refused, not padded silently.
    while (done < info.frames) {
        const sf_count_t want = std::min<sf_count_t>(blockFrames, info.frames - done);
        const sf_count_t got = sf_readf_int(file.get(), values.data(), want);
        if (got <= 0) break;
        // Full-scale 32-bit integers to the store's 24-bit scale.
        for (sf_count_t i = 0; i < got * ch; ++i) values[i] >>= 8;
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
    return wave;
}

}  // namespace sv
