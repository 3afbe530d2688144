#include "audio/SoundFileExport.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/AudioFileFormats.h"
#include "audio/GainScaling.h"
#include "audio/SoundFileImport.h"
#include "audio/SoundFileTags.h"
#include "base/AtomicFileWriter.h"
#include "base/IoError.h"

namespace sv {

namespace {

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

std::optional<int> ContainerFor(const std::filesystem::path& fileName) {
    const std::string ext = LowerExtension(fileName);
    if (ext == ".flac") return SF_FORMAT_FLAC;
    if (ext == ".aif" || ext == ".aiff") return SF_FORMAT_AIFF;
    if (ext == ".ogg" || ext == ".oga") return SF_FORMAT_OGG;
    return std::nullopt;
}

int SubtypeFor(int container, SampleEncoding encoding) {
    if (container == SF_FORMAT_OGG) return SF_FORMAT_VORBIS;
    switch (encoding) {
        case SampleEncoding::Unsigned8:
            return SF_FORMAT_PCM_S8;
        case SampleEncoding::Signed16:
            return SF_FORMAT_PCM_16;
        case SampleEncoding::Signed24:
            return SF_FORMAT_PCM_24;
        case SampleEncoding::Signed32:
            return container == SF_FORMAT_FLAC ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_32;
        case SampleEncoding::Float32:
            return container == SF_FORMAT_FLAC ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
    }
    return SF_FORMAT_PCM_24;
}

int BitsOf(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
            return 8;
        case SF_FORMAT_PCM_16:
            return 16;
        case SF_FORMAT_PCM_32:
            return 32;
        default:
            return 24;
    }
}

// Store values to full-scale 32-bit integers cut to the file's depth exactly as the WAV writer
// cuts them (truncation towards zero, then saturation), so libsndfile's own narrowing only drops
// zero bits. 8-bit documents hold 16-bit values, so 8 and 16 bits both drop the store's low byte.
void ToFileIntegers(const std::int32_t* values, std::int32_t* out, std::int64_t count, int bits) {
    if (bits >= 24) {  // 32-bit files keep the store's 24 bits on top, as in WAV
        for (std::int64_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int32_t>(
                static_cast<std::uint32_t>(std::clamp(values[i], -8388608, 8388607)) << 8);
        return;
    }
    const std::int32_t high = (1 << (bits - 1)) - 1;
    const int shift = 32 - bits;
    for (std::int64_t i = 0; i < count; ++i)
        out[i] = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(std::clamp(values[i] / 256, -high - 1, high)) << shift);
}

// An output that counts what it is given and keeps none of it.
struct DiscardingSink {
    sf_count_t position = 0;
    sf_count_t length = 0;

    static DiscardingSink& Of(void* user) { return *static_cast<DiscardingSink*>(user); }
    static sf_count_t Length(void* user) { return Of(user).length; }
    static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
        DiscardingSink& sink = Of(user);
        const sf_count_t base = whence == SEEK_SET   ? 0
                                : whence == SEEK_CUR ? sink.position
                                                     : sink.length;
        sink.position = base + offset;
        sink.length = std::max(sink.length, sink.position);
        return sink.position;
    }
    static sf_count_t Read(void*, sf_count_t, void*) { return 0; }
    static sf_count_t Write(const void*, sf_count_t count, void* user) {
        Seek(count, SEEK_CUR, user);
        return count;
    }
    static sf_count_t Tell(void* user) { return Of(user).position; }
};

[[noreturn]] void ThrowEncoderError(const std::filesystem::path& fileName, SNDFILE* file) {
    const int code = errno != 0 ? errno : EIO;
    throw IoError("Cannot save " + fileName.string() + ": " + sf_strerror(file), code);
}

// Writes every sample block by block with the channel gains applied; false when cancelled.
bool EncodeSamples(Wave& wave, SNDFILE* file, int subtype, std::span<const float> channelGains,
                   Progress& progress, const std::filesystem::path& fileName) {
    const int ch = wave.Channels();
    const std::int64_t frames = wave.FrameCount();
    const std::int64_t blockFrames = Wave::TransferBlock / ch;
    progress.EnableCancel(false);
    progress.Show();
    progress.SetCaption(wave.Env().SavingCaption);
    progress.SetTotal(frames / blockFrames);
    const bool asFloat = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_VORBIS;
    const int bits = BitsOf(subtype);
    const double scale = 1.0 / static_cast<double>(wave.FullScale());
    Int32Array values(static_cast<std::size_t>(blockFrames * ch));
    Int32Array integers(asFloat ? 0 : values.size());
    std::vector<float> floats(asFloat ? values.size() : 0);
    for (std::int64_t first = 0, b = 0; first < frames; first += blockFrames, ++b) {
        const std::int64_t count = std::min(blockFrames, frames - first);
        ReadInterleaved(wave, values.data(), SampleIndex{first * ch}, count * ch);
        if (!channelGains.empty()) ScaleInterleaved(values.data(), count * ch, 0, channelGains);
        if (wave.Env().SavedValues)
            wave.Env().SavedValues(wave, values.data(), first * ch, count * ch);
        errno = 0;
        sf_count_t written = 0;
        if (asFloat) {
            std::transform(values.begin(), values.begin() + count * ch, floats.begin(),
                           [scale](std::int32_t v) {
                               return static_cast<float>(static_cast<double>(v) * scale);
                           });
            written = sf_writef_float(file, floats.data(), count);
        } else {
            ToFileIntegers(values.data(), integers.data(), count * ch, bits);
            written = sf_writef_int(file, integers.data(), count);
        }
        if (written != count) ThrowEncoderError(fileName, file);
        progress.SetDone(b);
        if (progress.CancelRequested()) return false;
    }
    return true;
}

}  // namespace

bool IsSoundFileExportExtension(const std::filesystem::path& fileName) {
    return ContainerFor(fileName).has_value();
}

std::string SoundFileLayoutProblem(const std::filesystem::path& fileName, int channels,
                                   int sampleRate, SampleEncoding encoding) {
    const auto container = ContainerFor(fileName);
    if (!container) return {};
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = *container | SubtypeFor(*container, encoding);
    // Some encoders check the layout when opened, Vorbis only with the first samples.
    bool fits = channels > 0 && sf_format_check(&info);
    if (fits) {
        SF_VIRTUAL_IO io{DiscardingSink::Length, DiscardingSink::Seek, DiscardingSink::Read,
                         DiscardingSink::Write, DiscardingSink::Tell};
        DiscardingSink sink;
        SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
        const std::vector<float> silence(static_cast<std::size_t>(channels));
        fits = file && sf_writef_float(file, silence.data(), 1) == 1;
        if (file) fits = sf_close(file) == 0 && fits;
    }
    if (fits) return {};
    return ContainerName(fileName) + " cannot hold " + std::to_string(channels) + " channels at " +
           std::to_string(sampleRate) + " Hz";
}

SaveResult ExportSoundFile(Wave& wave, const std::filesystem::path& fileName,
                           std::span<const float> channelGains) {
    const auto container = ContainerFor(fileName);
    if (!container)
        return SaveResult::Failed(
            "Cannot save " + fileName.string() + ": no format is written under this extension",
            EINVAL);
    if (IsWriteProtected(fileName))
        return SaveResult::Failed("Cannot save " + fileName.string() + ": " + std::strerror(EACCES),
                                  EACCES);
    const int ch = wave.Channels();
    if (!channelGains.empty() && channelGains.size() != static_cast<std::size_t>(ch))
        throw std::invalid_argument("one gain per channel");
    const int subtype = SubtypeFor(*container, wave.Format().Encoding);
    SF_INFO info{};
    info.channels = ch;
    info.samplerate = wave.SampleRate();
    info.format = *container | subtype;
    if (const std::string problem =
            SoundFileLayoutProblem(fileName, ch, wave.SampleRate(), wave.Format().Encoding);
        !problem.empty())
        return SaveResult::Failed("Cannot save " + fileName.string() + ": " + problem, EINVAL);
    auto progress = wave.Env().Ports.MakeProgress();
    try {
        wave.Memory().StopReadingThrough(fileName);
        AtomicFileWriter writer(
            fileName, wave.Env().WorkFolder,
            wave.Env().KeepExistingFiles ? ExistingTarget::Keep : ExistingTarget::Replace);
        errno = 0;
        std::unique_ptr<SNDFILE, SoundFileCloser> file(
            sf_open_fd(writer.Descriptor(), SFM_WRITE, &info, SF_FALSE));
        if (!file) ThrowEncoderError(fileName, nullptr);
        WriteSoundFileTags(file.get(), wave.Metadata().Tags);

        if (!EncodeSamples(wave, file.get(), subtype, channelGains, *progress, fileName))
            return SaveResult::Failed("Saving cancelled", ECANCELED);
        errno = 0;
        if (sf_close(file.release()) != 0) ThrowEncoderError(fileName, nullptr);
        writer.Commit();
        progress->SetDone(wave.FrameCount() / (Wave::TransferBlock / wave.Channels()));
        return SaveResult::Done();
    } catch (const IoError& error) {
        return SaveResult::Failed(error.what(), error.Code());
    }
}

}  // namespace sv
