#include "audio/Wave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>
#include <utility>

#include "audio/GainScaling.h"
#include "audio/RiffChunkEdits.h"
#include "base/AtomicFileWriter.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "base/WorkFolder.h"
#include "text/Language.h"

namespace sv {

namespace {

std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Every chunk body is followed by a pad byte when its size is odd.
std::uint64_t NextChunk(std::uint64_t chunkPos, std::uint32_t size) {
    return chunkPos + 8 + static_cast<std::uint64_t>(size) + (size & 1);
}

// The tail of every WAVE_FORMAT_EXTENSIBLE sub-format GUID after its 2-byte format code.
constexpr unsigned char GuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::vector<unsigned char> ExtensionFor(std::uint16_t subFormat, std::uint16_t bits) {
    std::vector<unsigned char> extension(24, 0);
    Put16(&extension[0], 22);
    Put16(&extension[2], bits);
    Put16(&extension[8], subFormat);
    std::memcpy(&extension[10], GuidTail, sizeof GuidTail);
    return extension;
}

std::optional<SampleEncoding> EncodingFor(std::uint16_t format, std::uint16_t bits) {
    if (format == WaveFloatTag) {
        if (bits == 32) return SampleEncoding::Float32;
        return std::nullopt;
    }
    switch (bits) {
        case 8:
            return SampleEncoding::Unsigned8;
        case 16:
            return SampleEncoding::Signed16;
        case 24:
            return SampleEncoding::Signed24;
        case 32:
            return SampleEncoding::Signed32;
        default:
            return std::nullopt;
    }
}

std::string UnsupportedFormatReason(std::uint16_t format, std::uint16_t bits) {
    switch (format) {
        case WavePcmTag:
            return std::to_string(bits) + "-bit integer samples are not supported";
        case WaveFloatTag:
            return std::to_string(bits) + "-bit float samples are not supported";
        case 6:
            return "A-law samples are not supported";
        case 7:
            return "mu-law samples are not supported";
        default:
            return "compressed WAV (format " + std::to_string(format) + ") is not supported";
    }
}

}  // namespace

bool IsWriteProtected(const std::filesystem::path& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0) return false;
    return (info.st_mode & 0222) == 0 || ::access(fileName.c_str(), W_OK) != 0;
}

Wave::Wave(const WaveEnvironment& env) : env_(env) {}

Wave::~Wave() = default;

std::int64_t Wave::FrameCount() const {
    if (channels_ == 0 || BytesPerSample() == 0) return 0;
    return static_cast<std::int64_t>(dataSize_) / channels_ / BytesPerSample();
}

void Wave::ResizeOverview() {
    overview_.assign(static_cast<std::size_t>(channels_) * 2 * OverviewColumns, 0);
}

// Named recognizably and locked while in use, so that a later start can sweep what a killed
// run left behind.
void Wave::CreateStore(const std::string&, const std::string&, std::unique_ptr<FileMemory> reused) {
    if (reused) {
        reused->Recycle();
        memory_ = std::move(reused);
    } else {
        memory_ = FileMemory::CreateInFolder(env_.WorkFolder);
    }
    swapFileName_ = memory_->FileName();
}

std::uint64_t Wave::StoreBytes(int channels, std::int64_t frameCount) {
    const std::int64_t values =
        static_cast<std::int64_t>(channels) * (frameCount + 2 * MarginFrames);
    return 4 * static_cast<std::uint64_t>(std::max(values, FileMemory::WindowValues));
}

std::unique_ptr<Wave> Wave::CreateEmpty(std::uint16_t formatTag, std::uint16_t channels,
                                        std::int32_t sampleRate, std::uint16_t bitsPerSample,
                                        std::int64_t frameCount, const WaveEnvironment& env,
                                        std::unique_ptr<FileMemory> reusedStore) {
    const std::uint64_t b = bitsPerSample / 8;
    const std::uint64_t blockAlign = channels * b;
    if (blockAlign == 0 || blockAlign > 0xFFFF)
        throw std::invalid_argument("WAV format: block align out of range");
    if (sampleRate < 0 || static_cast<std::uint64_t>(sampleRate) * blockAlign > 0x7FFFFFFF)
        throw std::invalid_argument("WAV format: byte rate out of range");
    if (frameCount < 0 || static_cast<std::uint64_t>(frameCount) > (0xFFFFFFFFu - 36) / blockAlign)
        throw std::invalid_argument("WAV format: data size out of range");

    std::unique_ptr<Wave> wave(new Wave(env));
    wave->fmtSize_ = 16;
    wave->formatTag_ = formatTag;
    wave->channels_ = channels;
    wave->sampleRate_ = sampleRate;
    wave->bitsPerSample_ = bitsPerSample;
    wave->dataSize_ =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(frameCount) * blockAlign);
    wave->riffSize_ = wave->dataSize_ + 36;
    // Depths no conversion serves keep the 16-bit conversion they always had.
    wave->encoding_ =
        EncodingFor(formatTag == WaveExtensibleTag ? WavePcmTag : formatTag, bitsPerSample)
            .value_or(bitsPerSample <= 8 ? SampleEncoding::Unsigned8 : SampleEncoding::Signed16);
    if (formatTag == WaveExtensibleTag) {
        wave->fmtExtension_ = ExtensionFor(WavePcmTag, bitsPerSample);
        wave->fmtSize_ = 40;
        wave->riffSize_ = wave->dataSize_ + 60;
    }
    wave->CreateStore("", ".tmp", std::move(reusedStore));
    wave->memory_->SetLength(channels * (frameCount + 2 * MarginFrames));
    wave->ResizeOverview();
    wave->saved_ = true;
    wave->hasData_ = frameCount >= 1;
    wave->overviewValid_ = false;
    return wave;
}

LoadResult Wave::CreateFromFile(const std::filesystem::path& fileName, const WaveEnvironment& env) {
    std::unique_ptr<Wave> wave(new Wave(env));
    std::uint64_t fileSize = 0;
    const FileDescriptor fd = OpenRegularFileForReading(fileName, &fileSize);
    wave->Load(fd.Get(), fileName, fileSize);
    LoadResult result;
    result.Outcome = wave->outcome_;
    result.Reason = wave->refusalReason_;
    if (result.Outcome == LoadOutcome::Loaded) result.Document = std::move(wave);
    return result;
}

std::string LoadRefusalMessage(const LoadResult& result, const std::filesystem::path& workFolder) {
    const auto& t = Texts();
    switch (result.Outcome) {
        case LoadOutcome::Loaded:
            return {};
        case LoadOutcome::TooShort:
            return t.TooShortMessage;
        case LoadOutcome::LowDiskSpace: {
            // A relative folder ("tfs/") would read as a word of the sentence.
            std::error_code ec;
            const auto absolute = std::filesystem::absolute(workFolder, ec);
            std::string folder = (ec ? workFolder : absolute.lexically_normal()).string();
            if (folder.empty() || folder.back() != '/') folder += '/';
            return t.LowDiskSpacePrefix + " " + folder + " " + t.LowDiskSpaceSuffix;
        }
        case LoadOutcome::NotPcm:
            break;
    }
    return result.Reason.empty() ? t.NotPcmMessage : t.NotPcmMessage + ": " + result.Reason;
}

std::unique_ptr<Wave> Wave::CreateEmptyLike(const Wave& source, std::int64_t frameCount,
                                            std::unique_ptr<FileMemory> reusedStore) {
    auto wave = CreateEmpty(source.formatTag_, source.channels_, source.sampleRate_,
                            source.bitsPerSample_, frameCount, source.env_, std::move(reusedStore));
    wave->encoding_ = source.encoding_;
    wave->fmtSize_ = source.fmtSize_;
    wave->fmtExtension_ = source.fmtExtension_;
    wave->riffSize_ = wave->dataSize_ + 20 + wave->fmtSize_;
    wave->metadata_ = source.metadata_;
    wave->metadata_.NoteProcessing("remaster");
    return wave;
}

void Wave::RefuseLowDiskSpace() { outcome_ = LoadOutcome::LowDiskSpace; }

bool Wave::ReadFormatChunk(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize,
                           std::uint64_t pos, std::uint32_t fmtSize) {
    // A fmt chunk larger than the file, or than any real format needs, is damage.
    if (fmtSize < 16 || fmtSize > MaxFmtSize || pos + 8 + fmtSize > fileSize) return false;
    fmtSize_ = fmtSize;
    std::vector<unsigned char> fmt(fmtSize);
    if (ReadFullyAt(fd, fmt.data(), fmtSize, pos + 8, fileName) < fmtSize) return false;
    return AcceptFormat(fmt.data(), std::vector<unsigned char>(fmt.begin() + 16, fmt.end()));
}

// Headers the conversions cannot serve are refused as damaged instead of read out of step.
bool Wave::AcceptFormat(const unsigned char* fmt, const std::vector<unsigned char>& extension) {
    formatTag_ = Le16(fmt);
    channels_ = Le16(fmt + 2);
    const std::uint32_t rate = Le32(fmt + 4);
    bitsPerSample_ = Le16(fmt + 14);
    std::uint16_t format = formatTag_;
    if (formatTag_ == WaveExtensibleTag) {
        if (extension.size() < 24 || Le16(&extension[0]) < 22 ||
            std::memcmp(&extension[10], GuidTail, sizeof GuidTail) != 0)
            return false;
        format = Le16(&extension[8]);
        fmtExtension_ = extension;
    }
    if (format != WavePcmTag && format != WaveFloatTag) {
        refusalReason_ = UnsupportedFormatReason(format, bitsPerSample_);
        return false;
    }
    const auto encoding = EncodingFor(format, bitsPerSample_);
    if (!encoding) {
        if (bitsPerSample_ != 0) refusalReason_ = UnsupportedFormatReason(format, bitsPerSample_);
        return false;
    }
    encoding_ = *encoding;
    if (channels_ == 0 || channels_ > MaxChannels || rate == 0 || rate > MaxSampleRate)
        return false;
    sampleRate_ = static_cast<std::int32_t>(rate);
    return true;
}

bool Wave::AcceptDataSize(std::uint32_t size) {
    // Only whole frames are kept, so the saved sizes agree with the saved samples.
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(channels_) * BytesPerSample();
    const std::uint64_t wholeFrames = size / frameBytes;
    if (20 + fmtSize_ + (fmtSize_ & 1) + wholeFrames * frameBytes > 0xFFFFFFFFu)
        return false;  // could never be saved with a 32-bit RIFF size
    dataSize_ = static_cast<std::uint32_t>(wholeFrames * frameBytes);
    return true;
}

// Chunks are kept in memory up to a total, so that a hostile file cannot exhaust it; the ones
// beyond are named for the front end to report.
void Wave::KeepChunk(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize,
                     std::uint64_t pos, const unsigned char* header, bool afterData,
                     std::uint64_t& kept) {
    RiffChunk chunk;
    std::memcpy(chunk.Id.data(), header, 4);
    const std::uint32_t size = Le32(header + 4);
    if (pos + 8 + size > fileSize || kept + 8 + size > FileMetadata::MaxKeptBytes) {
        if (metadata_.DroppedChunks.size() < 16)  // enough to tell; a hostile file has millions
            metadata_.DroppedChunks.push_back(std::string(chunk.Id.data(), 4) + " (" +
                                              std::to_string(size) + " bytes)");
        return;
    }
    chunk.Body.resize(size);
    if (ReadFullyAt(fd, chunk.Body.data(), size, pos + 8, fileName) < size)
        throw IoError("Cannot read " + fileName.string() + ": unexpected end of file");
    kept += 8 + size;
    chunk.AfterData = afterData;
    if (metadata_.Tags.empty()) metadata_.Tags = TagsOfInfoList(chunk);
    metadata_.Chunks.push_back(std::move(chunk));
}

bool Wave::ReadChunks(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize,
                      std::uint64_t& dataStart) {
    bool haveFmt = false;
    bool haveData = false;
    std::uint64_t kept = 0;
    unsigned char header[8];
    // Past the end the RIFF header gives, bytes are read only while fmt or data is missing.
    for (std::uint64_t pos = 12; pos + 8 <= fileSize;) {
        if (haveFmt && haveData && pos >= 8 + static_cast<std::uint64_t>(riffSize_)) break;
        if (ReadFullyAt(fd, header, 8, pos, fileName) < 8) break;
        const std::uint32_t size = Le32(header + 4);
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (!haveFmt && !ReadFormatChunk(fd, fileName, fileSize, pos, size)) return false;
            haveFmt = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveData) {
                dataStart = pos + 8;
                dataSize_ = size;
            }
            haveData = true;
        } else {
            KeepChunk(fd, fileName, fileSize, pos, header, haveData, kept);
        }
        // An odd chunk's pad byte may be missing at the end of the file: the loop just ends.
        pos = NextChunk(pos, size);
    }
    return haveFmt && haveData && AcceptDataSize(dataSize_);
}

void Wave::Load(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize) {
    hasData_ = false;
    outcome_ = LoadOutcome::NotPcm;
    unsigned char head[12];
    if (ReadFullyAt(fd, head, 12, 0, fileName) < 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        refusalReason_ = "not a WAV file";
        return;
    }
    riffSize_ = Le32(head + 4);
    std::uint64_t pos = 0;
    if (!ReadChunks(fd, fileName, fileSize, pos)) return;
    if (5 * static_cast<unsigned __int128>(fileSize) >= FreeBytes(env_.WorkFolder))
        return RefuseLowDiskSpace();

    const std::int64_t total = FrameCount() * channels_;
    if (total < MinimumValues) {
        outcome_ = LoadOutcome::TooShort;
        return;
    }
    if (pos + static_cast<std::uint64_t>(total) * BytesPerSample() > fileSize) {
        refusalReason_ =
            "the file ends before its " + std::to_string(dataSize_) + " bytes of sample data";
        return;
    }
    // The store (margins included) and the engine's output document beside it.
    if (2 * static_cast<unsigned __int128>(StoreBytes(channels_, FrameCount())) >=
        FreeBytes(env_.WorkFolder))
        return RefuseLowDiskSpace();
    ReadSamples(fd, fileName, pos);
}

void Wave::ReadSamples(int fd, const std::filesystem::path& fileName, std::uint64_t dataStart) {
    const int ch = channels_;
    const std::int64_t n = FrameCount();
    const std::int64_t total = n * ch;
    ResizeOverview();
    CreateStore("sv", "swp.tmp");
    memory_->SetLength(ch * (n + 2 * MarginFrames));
    // An overview to fill, or infinite floats to count, need every sample now.
    if (env_.SamplesStayInSourceFile && !env_.View && encoding_ != SampleEncoding::Float32) {
        // The margins read as silence without being written.
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) ThrowIoError("Cannot read " + fileName.string());
        memory_->ReadThrough(
            {FileDescriptor(copy), fileName, dataStart, encoding_, ch * MarginFrames, total});
    } else {
        CopySamplesIn(fd, fileName, dataStart);
    }
    saved_ = true;
    hasData_ = true;
    outcome_ = LoadOutcome::Loaded;
}

void Wave::CopySamplesIn(int fd, const std::filesystem::path& fileName, std::uint64_t dataStart) {
    const int ch = channels_;
    const std::int64_t total = FrameCount() * ch;
    WriteSilence(0, ch * MarginFrames);
    Int32Array values(static_cast<std::size_t>(TransferBlock), 0);

    const std::int64_t blocks = total / TransferBlock;
    auto progress = env_.Ports.MakeProgress();
    progress->EnableCancel(false);
    progress->SetCaption(Texts().ReadingTitle);
    progress->SetTotal(blocks);
    progress->Show();

    const int bytes = BytesPerSample();
    std::vector<unsigned char> raw(static_cast<std::size_t>(TransferBlock * bytes));
    auto loadBlock = [&](std::int64_t first, std::int64_t count) {
        const std::size_t want = static_cast<std::size_t>(count * bytes);
        if (ReadFullyAt(fd, raw.data(), want, dataStart + static_cast<std::uint64_t>(first) * bytes,
                        fileName) < want)
            throw IoError("Cannot read " + fileName.string() + ": unexpected end of file");
        infiniteSamples_ += DecodeSamples(encoding_, raw.data(), values.data(), count);
        WriteRaw(values.data(), first + ch * MarginFrames, count);
    };
    for (std::int64_t b = 0; b < blocks; ++b) {
        loadBlock(b * TransferBlock, TransferBlock);
        progress->SetDone(b);
    }
    loadBlock(blocks * TransferBlock, total - blocks * TransferBlock);
    WriteSilence(ch * MarginFrames + total, ch * MarginFrames);
    progress->SetDone(blocks);
}

void Wave::WriteSilence(std::int64_t rawIndex, std::int64_t count) {
    static const Int32Array zeros(static_cast<std::size_t>(TransferBlock), 0);
    for (std::int64_t done = 0; done < count; done += TransferBlock)
        memory_->WriteBlock(rawIndex + done, 1, std::min(count - done, TransferBlock),
                            zeros.data());
}

std::vector<RiffChunk> Wave::ChunksToSave(const std::vector<std::string>& processing) const {
    std::vector<RiffChunk> chunks = metadata_.Chunks;
    bool hasInfo = false;
    for (RiffChunk& chunk : chunks) {
        if (chunk.Is("fact")) SetFactFrames(chunk, static_cast<std::uint32_t>(FrameCount()));
        if (chunk.Is("bext") && !processing.empty()) {
            std::string what = "Sonivar " SONIVAR_VERSION;
            for (std::size_t i = 0; i < processing.size(); ++i)
                what += (i ? ", " : " ") + processing[i];
            AppendCodingHistory(chunk,
                                CodingHistoryLine(sampleRate_, bitsPerSample_, channels_, what));
        }
        hasInfo = hasInfo || !TagsOfInfoList(chunk).empty();
    }
    // Tags from another format become a LIST/INFO chunk; a WAV's own one is kept as it was.
    if (!hasInfo) {
        RiffChunk info = InfoListOfTags(metadata_.Tags);
        if (!info.Body.empty()) chunks.push_back(std::move(info));
    }
    return chunks;
}

namespace {

std::uint64_t ChunkBytes(const std::vector<RiffChunk>& chunks, bool afterData) {
    std::uint64_t bytes = 0;
    for (const RiffChunk& c : chunks)
        if (c.AfterData == afterData) bytes += 8 + c.Body.size() + (c.Body.size() & 1);
    return bytes;
}

void AppendChunks(std::vector<unsigned char>& out, const std::vector<RiffChunk>& chunks,
                  bool afterData) {
    for (const RiffChunk& c : chunks) {
        if (c.AfterData != afterData) continue;
        unsigned char size[4];
        Put32(size, static_cast<std::uint32_t>(c.Body.size()));
        out.insert(out.end(), c.Id.begin(), c.Id.end());
        out.insert(out.end(), size, size + 4);
        out.insert(out.end(), c.Body.begin(), c.Body.end());
        if (c.Body.size() & 1) out.push_back(0);
    }
}

}  // namespace

// The bytes before the samples: RIFF and fmt headers, the chunks that stood before the data, and
// the data header. RiffSize is the file's length minus 8; odd chunks are padded, the data chunk
// only when another chunk follows it.
std::vector<unsigned char> Wave::FileHeader(const std::vector<RiffChunk>& chunks) const {
    const std::uint64_t fmtBody = fmtSize_ + (fmtSize_ & 1);
    const std::uint64_t before = ChunkBytes(chunks, false);
    const std::uint64_t after = ChunkBytes(chunks, true);
    std::vector<unsigned char> header(static_cast<std::size_t>(20 + fmtBody), 0);
    const std::uint64_t riffSize =
        20 + fmtBody + before + dataSize_ + (after ? (dataSize_ & 1) + after : 0);
    if (fmtSize_ < 16 || riffSize > 0xFFFFFFFFu) throw IoError("WAV sizes beyond 32 bits", EFBIG);
    std::memcpy(&header[0], "RIFF", 4);
    Put32(&header[4], static_cast<std::uint32_t>(riffSize));
    std::memcpy(&header[8], "WAVE", 4);
    std::memcpy(&header[12], "fmt ", 4);
    Put32(&header[16], fmtSize_);
    Put16(&header[20], formatTag_);
    Put16(&header[22], channels_);
    Put32(&header[24], static_cast<std::uint32_t>(sampleRate_));
    const auto frameBytes = static_cast<std::uint16_t>(channels_ * BytesPerSample());
    Put32(&header[28], static_cast<std::uint32_t>(sampleRate_) * frameBytes);
    Put16(&header[32], frameBytes);
    Put16(&header[34], bitsPerSample_);
    std::copy_n(fmtExtension_.begin(), std::min<std::size_t>(fmtExtension_.size(), fmtSize_ - 16),
                &header[36]);
    if (formatTag_ == WaveExtensibleTag && fmtSize_ >= 20) Put16(&header[38], bitsPerSample_);
    AppendChunks(header, chunks, false);
    const unsigned char data[4] = {'d', 'a', 't', 'a'};
    header.insert(header.end(), data, data + 4);
    header.resize(header.size() + 4);
    Put32(&header[header.size() - 4], dataSize_);
    return header;
}

std::vector<unsigned char> Wave::FileTrailer(const std::vector<RiffChunk>& chunks) const {
    std::vector<unsigned char> trailer;
    AppendChunks(trailer, chunks, true);
    if (!trailer.empty() && (dataSize_ & 1)) trailer.insert(trailer.begin(), 0);
    return trailer;
}

void Wave::WriteSamples(AtomicFileWriter& writer, Progress& progress, std::span<const float> gains,
                        bool& cancelled) {
    const int ch = channels_;
    const int bytes = BytesPerSample();
    const std::int64_t total = FrameCount() * ch;
    const std::int64_t blocks = total / TransferBlock;
    progress.EnableCancel(false);
    progress.Show();
    progress.SetCaption(Texts().SavingTitle);
    progress.SetTotal(blocks);
    Int32Array values(static_cast<std::size_t>(TransferBlock));
    std::vector<unsigned char> raw(static_cast<std::size_t>(TransferBlock * bytes));
    auto saveBlock = [&](std::int64_t first, std::int64_t count) {
        ReadRaw(values.data(), ch * MarginFrames + first, count);
        if (!gains.empty())
            ScaleInterleaved(values.data(), count, static_cast<int>(first % ch), gains);
        EncodeSamples(encoding_, values.data(), raw.data(), count);
        writer.Write(raw.data(), static_cast<std::size_t>(count * bytes));
    };
    for (std::int64_t b = 0; b < blocks; ++b) {
        saveBlock(b * TransferBlock, TransferBlock);
        progress.SetDone(b);
        if (progress.CancelRequested()) {
            cancelled = true;
            return;
        }
    }
    saveBlock(blocks * TransferBlock, total - blocks * TransferBlock);
    progress.ProcessEvents();
    cancelled = progress.CancelRequested();
}

SaveResult Wave::SaveToFile(const std::filesystem::path& requestedName,
                            std::span<const float> channelGains) {
    if (!channelGains.empty() && channelGains.size() != channels_)
        throw std::invalid_argument("one gain per channel");
    if (IsWriteProtected(requestedName))  // a protected target stays as it is
        return SaveResult::Failed(
            "Cannot save " + requestedName.string() + ": " + std::strerror(EACCES), EACCES);
    auto progress = env_.Ports.MakeProgress();
    try {
        PrepareToOverwrite(requestedName);
        AtomicFileWriter writer(
            requestedName, env_.WorkFolder,
            env_.KeepExistingFiles ? ExistingTarget::Keep : ExistingTarget::Replace);
        std::vector<std::string> processing = metadata_.Processing;
        if (!channelGains.empty() && processing.empty()) processing.push_back("remaster");
        const std::vector<RiffChunk> chunks = ChunksToSave(processing);
        const std::vector<unsigned char> header = FileHeader(chunks);
        writer.Write(header.data(), header.size());
        bool cancelled = false;
        WriteSamples(writer, *progress, channelGains, cancelled);
        // Cancel is off in the window; a front end that cancels anyway (a signal) abandons the
        // save with the old file untouched.
        if (cancelled) return SaveResult::Failed("Saving cancelled", ECANCELED);
        const std::vector<unsigned char> trailer = FileTrailer(chunks);
        writer.Write(trailer.data(), trailer.size());
        writer.Commit();
        saved_ = true;
        // The processing is recorded now; a later save of this document repeats the record
        // instead of adding another line.
        if (!metadata_.Processing.empty()) {
            for (std::size_t i = 0; i < metadata_.Chunks.size(); ++i)
                if (metadata_.Chunks[i].Is("bext")) metadata_.Chunks[i] = chunks[i];
            metadata_.Processing.clear();
        }
        progress->SetDone(FrameCount() * channels_ / TransferBlock);
        return SaveResult::Done();
    } catch (const IoError& error) {
        return SaveResult::Failed(error.what(), error.Code());
    }
}

void Wave::ReadChannel(std::int32_t* buffer, std::int64_t storeFrame, int channel,
                       std::int64_t count) {
    memory_->ReadBlock(storeFrame * channels_ + channel, channels_, count, buffer);
}

void Wave::ReadRaw(std::int32_t* buffer, std::int64_t rawIndex, std::int64_t count) {
    memory_->ReadBlock(rawIndex, 1, count, buffer);
}

void Wave::WriteRaw(const std::int32_t* buffer, std::int64_t rawIndex, std::int64_t count) {
    memory_->WriteBlock(rawIndex, 1, count, buffer);
    UpdateOverviewBlock(rawIndex, 1, buffer, count);
}

void Wave::WriteChannel(const std::int32_t* buffer, std::int64_t storeFrame, int channel,
                        std::int64_t count) {
    const std::int64_t raw = storeFrame * channels_ + channel;
    memory_->WriteBlock(raw, channels_, count, buffer);
    UpdateOverviewBlock(raw, channels_, buffer, count);
}

void Wave::AddChannel(const std::int32_t* buffer, std::int64_t storeFrame, int channel,
                      std::int64_t count, std::int32_t* sums) {
    const std::int64_t raw = storeFrame * channels_ + channel;
    if (!env_.View) {
        memory_->AddBlock(raw, channels_, count, buffer, sums);
        return;
    }
    thread_local Int32Array own;
    if (!sums) {
        if (own.size() < static_cast<std::size_t>(count))
            own.resize(static_cast<std::size_t>(count));
        sums = own.data();
    }
    memory_->AddBlock(raw, channels_, count, buffer, sums);
    UpdateOverviewBlock(raw, channels_, sums, count);
}

void Wave::UpdateOverviewBlock(std::int64_t rawIndex, std::int64_t stride, const std::int32_t* v,
                               std::int64_t count) {
    if (!env_.View || overview_.empty()) return;
    const std::int64_t viewStart = env_.View->ViewStart;
    const std::int64_t zoom = std::max<std::int32_t>(env_.View->HorizontalZoom, 1);
    const std::int64_t viewEnd = viewStart + FrameCount() / zoom;
    if (viewEnd == viewStart) return;  // nothing visible
    const double span = static_cast<double>(viewEnd - viewStart);
    const double offset = static_cast<double>(viewStart + MarginFrames);
    const int ch = channels_;
    const std::int64_t limit = static_cast<std::int64_t>(ch) * 2 * OverviewColumns;
    std::int32_t* table = overview_.data();
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t r = rawIndex + i * stride;
        const double x = (static_cast<double>(r) / ch - offset) * OverviewColumns / span;
        const std::int64_t u = std::llrint(x) * ch * 2;  // x is far inside the 64-bit range
        if (u < 0 || u >= limit) continue;
        const std::int32_t value = v[i];
        const std::int64_t c = r % ch;
        if (c == 0) {
            if (value > table[u]) table[u] = value;
            if (value < table[u + ch]) table[u + ch] = value;
        } else if (c == 1 && ch == 2) {
            if (value > table[u + 1]) table[u + 1] = value;
            if (value < table[u + 3]) table[u + 3] = value;
        }
    }
}

void Wave::BuildOverview(std::int64_t firstFrame, std::int64_t lastFrame) {
    const float w =
        static_cast<float>(lastFrame - firstFrame) / static_cast<float>(OverviewColumns);
    const auto cnt = std::max<std::int64_t>(static_cast<std::int64_t>(std::nearbyint(w)), 0);
    const int ch = channels_;
    // Mono and stereo columns are read in one piece, all channels at once; wider documents
    // channel by channel so that the buffer stays one channel's column.
    const bool together = ch <= 2;
    Int32Array buffer(static_cast<std::size_t>(cnt * (together ? ch : 1)));
    // Maxima start at 0 and minima at 0, so no value can raise one and lower the other: the
    // plain max/min gives the same column as testing the maximum first.
    auto extremes = [cnt](const std::int32_t* v, std::int32_t& maximum, std::int32_t& minimum) {
        std::int32_t hi = 0, lo = 0;
        for (std::int64_t i = 0; i < cnt; ++i) {
            hi = std::max(hi, v[i]);
            lo = std::min(lo, v[i]);
        }
        maximum = hi;
        minimum = lo;
    };
    auto stereoExtremes = [cnt](const std::int32_t* v, std::int32_t* maximum,
                                std::int32_t* minimum) {
        std::int32_t hi0 = 0, lo0 = 0, hi1 = 0, lo1 = 0;
        for (std::int64_t i = 0; i < 2 * cnt; i += 2) {
            hi0 = std::max(hi0, v[i]);
            lo0 = std::min(lo0, v[i]);
            hi1 = std::max(hi1, v[i + 1]);
            lo1 = std::min(lo1, v[i + 1]);
        }
        maximum[0] = hi0;
        maximum[1] = hi1;
        minimum[0] = lo0;
        minimum[1] = lo1;
    };
    for (int k = 0; k < OverviewColumns; ++k) {
        const std::int64_t s = firstFrame + MarginFrames +
                               static_cast<std::int64_t>(
                                   std::nearbyint(static_cast<double>(k) * static_cast<double>(w)));
        std::int32_t* maxima = &overview_[static_cast<std::size_t>(2 * k * ch)];
        std::int32_t* minima = &overview_[static_cast<std::size_t>((2 * k + 1) * ch)];
        if (cnt <= 0) {
            std::fill(maxima, maxima + ch, 0);
            std::fill(minima, minima + ch, 0);
            continue;
        }
        if (together) {
            ReadRaw(buffer.data(), s * ch, cnt * ch);
            if (ch == 2) {
                stereoExtremes(buffer.data(), maxima, minima);
            } else {
                extremes(buffer.data(), maxima[0], minima[0]);
            }
            continue;
        }
        for (int c = 0; c < ch; ++c) {
            ReadChannel(buffer.data(), s, c, cnt);
            extremes(buffer.data(), maxima[c], minima[c]);
        }
    }
    overviewValid_ = true;
}

std::int32_t Wave::OverviewValue(int slot, int channel) const {
    return overview_[static_cast<std::size_t>(slot * channels_ + channel)];
}

void Wave::ClearOverview(std::int64_t viewStart, std::int64_t viewEnd, std::int64_t firstRawIndex,
                         std::int64_t count) {
    if (viewEnd == viewStart) return;
    const float m = static_cast<float>(OverviewColumns) / static_cast<float>(viewEnd - viewStart);
    const int ch = channels_;
    const std::int64_t limit = static_cast<std::int64_t>(ch) * 2 * OverviewColumns;
    for (std::int64_t t = firstRawIndex; t < firstRawIndex + count; ++t) {
        const double k = std::nearbyint(
            (static_cast<double>(t) / ch - static_cast<double>(viewStart + MarginFrames)) * m);
        if (!(k >= 0.0) || k * ch * 2 >= static_cast<double>(limit)) continue;
        const std::int64_t u = static_cast<std::int64_t>(k) * ch * 2;
        overview_[u] = 0;
        overview_[u + 1] = 0;
        if (ch == 2) {
            overview_[u + 2] = 0;
            overview_[u + 3] = 0;
        }
    }
}

void Wave::SetFrameCount(std::int64_t frameCount) {
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(channels_) * BytesPerSample();
    if (frameCount < 0 ||
        static_cast<std::uint64_t>(frameCount) > (0xFFFFFFFFu - 20 - fmtSize_) / frameBytes)
        throw std::invalid_argument("WAV format: data size out of range");
    const int ch = channels_;
    dataSize_ = static_cast<std::uint32_t>(static_cast<std::uint64_t>(frameCount) * frameBytes);
    riffSize_ = dataSize_ + 20 + fmtSize_;
    memory_->SetLength(ch * (frameCount + 2 * MarginFrames));
    WriteSilence(ch * (frameCount + MarginFrames), ch * MarginFrames);
    hasData_ = frameCount >= 1;
}

void Wave::DeleteBlock(std::int64_t firstFrame, std::int64_t endFrame) {
    const std::int64_t n = FrameCount();
    firstFrame = std::max<std::int64_t>(firstFrame, 0);
    endFrame = std::min(endFrame, n);
    const std::int64_t removed = endFrame - firstFrame;
    if (removed <= 0 || !memory_) return;
    const int ch = channels_;
    // Ascending chunks: each chunk is read before its destination, which lies below it.
    Int32Array chunk(static_cast<std::size_t>(FileMemory::HalfWindow));
    const std::int64_t end = ch * (n + MarginFrames);
    for (std::int64_t i = ch * (endFrame + MarginFrames); i < end;) {
        const std::int64_t count = std::min<std::int64_t>(end - i, FileMemory::HalfWindow);
        memory_->ReadBlock(i, 1, count, chunk.data());
        memory_->WriteBlock(i - ch * removed, 1, count, chunk.data());
        i += count;
    }
    const std::int64_t remaining = n - removed;
    ShiftMarkersForDelete(metadata_.Chunks, firstFrame, endFrame);
    metadata_.NoteProcessing("block delete");
    dataSize_ = static_cast<std::uint32_t>(remaining * BytesPerSample() * ch);
    WriteSilence(ch * (remaining + MarginFrames), ch * MarginFrames);
    memory_->SetLength(ch * (remaining + 2 * MarginFrames));
    if (remaining <= 0) hasData_ = false;
}

}  // namespace sv
