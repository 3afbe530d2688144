#include "audio/Wave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>
#include <utility>

#include "audio/BlockReadAhead.h"
#include "audio/GainScaling.h"
#include "audio/RiffChunkEdits.h"
#include "audio/WavFile.h"
#include "base/AtomicFileWriter.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "base/UsableCores.h"
#include "base/WorkFolder.h"

namespace sv {

namespace {

// Reading a file in cannot be cancelled: a half-read document is of no use.
std::unique_ptr<Progress> ShowReadingProgress(const WaveEnvironment& env, std::int64_t blocks) {
    auto progress = env.Ports.MakeProgress();
    progress->EnableCancel(false);
    progress->SetCaption(env.ReadingCaption);
    progress->SetTotal(blocks);
    progress->Show();
    return progress;
}

}  // namespace

bool IsWriteProtected(const std::filesystem::path& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0) return false;
    return (info.st_mode & 0222) == 0 || ::access(fileName.c_str(), W_OK) != 0;
}

Wave::Wave(const WaveEnvironment& env) : env_(env) {
    static std::atomic<std::uint64_t> lastIdentity{0};
    identity_ = ++lastIdentity;
}

Wave::~Wave() {
    if (env_.WriteListener) env_.WriteListener->Closed(*this);
}

std::int64_t Wave::FrameCount() const {
    if (format_.Channels == 0 || format_.BytesPerSample() == 0) return 0;
    return static_cast<std::int64_t>(dataSize_) / format_.Channels / format_.BytesPerSample();
}

// Named recognizably and locked while in use, so that a later start can sweep what a killed
// run left behind.
void Wave::CreateStore(std::unique_ptr<FileMemory> reused) {
    if (reused) {
        reused->Recycle();
        memory_ = std::move(reused);
    } else {
        memory_ = FileMemory::CreateInFolder(env_.WorkFolder, env_.StoreWindowValues);
    }
}

std::uint64_t StoreBytes(int channels, std::int64_t frameCount) {
    const std::int64_t values =
        static_cast<std::int64_t>(channels) * (frameCount + 2 * MarginFrames);
    return 4 * static_cast<std::uint64_t>(std::max(values, FileMemory::WindowValues));
}

std::unique_ptr<Wave> Wave::CreateEmpty(std::uint16_t formatTag, std::uint16_t channels,
                                        std::int32_t sampleRate, std::uint16_t bitsPerSample,
                                        std::int64_t frameCount, const WaveEnvironment& env,
                                        std::unique_ptr<FileMemory> reusedStore) {
    NewWavFormat made = MakeWavFormat(formatTag, channels, sampleRate, bitsPerSample, frameCount);
    if (!made.Format) throw std::invalid_argument(made.Problem);
    std::unique_ptr<Wave> wave(new Wave(env));
    wave->format_ = std::move(*made.Format);
    wave->dataSize_ = static_cast<std::uint32_t>(static_cast<std::uint64_t>(frameCount) *
                                                 wave->format_.FrameBytes());
    wave->CreateStore(std::move(reusedStore));
    wave->memory_->SetLength(channels * (frameCount + 2 * MarginFrames));
    return wave;
}

LoadResult Wave::CreateFromFile(const std::filesystem::path& fileName, const WaveEnvironment& env) {
    std::unique_ptr<Wave> wave(new Wave(env));
    std::uint64_t fileSize = 0;
    const FileDescriptor fd = OpenRegularFileForReading(fileName, &fileSize);
    LoadResult result = wave->Load(fd.Get(), fileName, fileSize);
    if (result.Outcome == LoadOutcome::Loaded) result.Document = std::move(wave);
    return result;
}

std::unique_ptr<Wave> Wave::CreateEmptyLike(const Wave& source, std::int64_t frameCount,
                                            std::unique_ptr<FileMemory> reusedStore) {
    auto wave =
        CreateEmpty(source.format_.FormatTag, source.Channels(), source.SampleRate(),
                    source.format_.BitsPerSample, frameCount, source.env_, std::move(reusedStore));
    wave->format_ = source.format_;
    wave->metadata_ = source.metadata_;
    wave->metadata_.NoteProcessing("remaster");
    return wave;
}

LoadResult Wave::Load(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize) {
    LoadResult result;
    WavFileLayoutResult read = ReadWavFileLayout(fd, fileName, fileSize);
    result.Reason = std::move(read.RefusalReason);
    if (!read.Layout) return result;
    format_ = std::move(read.Layout->Format);
    dataSize_ = read.Layout->DataSize;
    metadata_ = std::move(read.Layout->Metadata);
    result.Outcome = LoadOutcome::LowDiskSpace;
    if (5 * static_cast<unsigned __int128>(fileSize) >= FreeBytes(env_.WorkFolder)) return result;
    const std::int64_t total = FrameCount() * Channels();
    if (FrameCount() < MinimumFrames) {
        result.Outcome = LoadOutcome::TooShort;
        return result;
    }
    const std::uint64_t dataStart = read.Layout->DataStart;
    if (dataStart + static_cast<std::uint64_t>(total) * format_.BytesPerSample() > fileSize) {
        result.Outcome = LoadOutcome::NotPcm;
        result.Reason =
            "the file ends before its " + std::to_string(dataSize_) + " bytes of sample data";
        return result;
    }
    // The store (margins included) and the engine's output document beside it.
    if (2 * static_cast<unsigned __int128>(StoreBytes(Channels(), FrameCount())) >=
        FreeBytes(env_.WorkFolder))
        return result;
    LoadSamples(fd, fileName, dataStart);
    result.Outcome = LoadOutcome::Loaded;
    return result;
}

void Wave::LoadSamples(int fd, const std::filesystem::path& fileName, std::uint64_t dataStart) {
    const int ch = format_.Channels;
    const std::int64_t n = FrameCount();
    const std::int64_t total = n * ch;
    CreateStore();
    memory_->SetLength(ch * (n + 2 * MarginFrames));
    // Infinite floats to count need every sample now.
    if (env_.SamplesStayInSourceFile && format_.Encoding != SampleEncoding::Float32) {
        // The margins read as silence without being written.
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) ThrowIoError("Cannot read " + fileName.string());
        SourceSamples source{FileDescriptor(copy), fileName, dataStart, format_.Encoding,
                             ch * MarginFrames,    total,    {}};
        if (env_.SourceValues)
            source.Decoded = [this](std::int64_t first, const std::int32_t* values,
                                    std::int64_t count) {
                TellSourceValues(*this, values, SampleIndex{first}, count);
            };
        memory_->ReadThrough(std::move(source));
        // A listener sees the samples as if they had been copied in, in one pass.
        if (env_.WriteListener) {
            const auto progress = ShowReadingProgress(env_, total / TransferBlock);
            Int32Array values(static_cast<std::size_t>(TransferBlock), 0);
            for (std::int64_t b = 0; b * TransferBlock < total; ++b) {
                const std::int64_t raw = ch * MarginFrames + b * TransferBlock;
                const std::int64_t count = std::min(TransferBlock, total - b * TransferBlock);
                memory_->ReadBlock(raw, 1, count, values.data());
                TellWritten(raw, 1, values.data(), count);
                progress->SetDone(b);
            }
        }
    } else {
        CopySamplesIn(fd, fileName, dataStart);
    }
}

void Wave::CopySamplesIn(int fd, const std::filesystem::path& fileName, std::uint64_t dataStart) {
    const int ch = format_.Channels;
    const std::int64_t total = FrameCount() * ch;
    WriteSilence(0, ch * MarginFrames);
    Int32Array values(static_cast<std::size_t>(TransferBlock), 0);

    const std::int64_t blocks = total / TransferBlock;
    const auto progress = ShowReadingProgress(env_, blocks);

    const int bytes = format_.BytesPerSample();
    std::vector<unsigned char> raw(static_cast<std::size_t>(TransferBlock * bytes));
    auto loadBlock = [&](std::int64_t first, std::int64_t count) {
        const std::size_t want = static_cast<std::size_t>(count * bytes);
        if (ReadFullyAt(fd, raw.data(), want, dataStart + static_cast<std::uint64_t>(first) * bytes,
                        fileName) < want)
            throw IoError("Cannot read " + fileName.string() + ": unexpected end of file");
        infiniteSamples_ += DecodeSamples(format_.Encoding, raw.data(), values.data(), count);
        WriteInterleavedAhead(*this, values.data(), SampleIndex{first}, count);
        TellSourceValues(*this, values.data(), SampleIndex{first}, count);
    };
    for (std::int64_t b = 0; b < blocks; ++b) {
        loadBlock(b * TransferBlock, TransferBlock);
        progress->SetDone(b);
    }
    loadBlock(blocks * TransferBlock, total - blocks * TransferBlock);
    WriteSilence(ch * MarginFrames + total, ch * MarginFrames);
    progress->SetDone(blocks);
}

void TellSourceValues(const Wave& wave, const std::int32_t* values, SampleIndex first,
                      std::int64_t count) {
    if (wave.Env().SourceValues) wave.Env().SourceValues(wave, values, first.Value, count);
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
            AppendCodingHistory(chunk, CodingHistoryLine(format_.SampleRate, format_.BitsPerSample,
                                                         format_.Channels, what));
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

void Wave::SaveSamples(AtomicFileWriter& writer, Progress& progress, std::span<const float> gains,
                       bool& cancelled) {
    const int ch = format_.Channels;
    const int bytes = format_.BytesPerSample();
    const std::int64_t total = FrameCount() * ch;
    const std::int64_t blocks = total / TransferBlock;
    progress.EnableCancel(false);
    progress.Show();
    progress.SetCaption(env_.SavingCaption);
    progress.SetTotal(blocks);
    Int32Array values(static_cast<std::size_t>(TransferBlock));
    std::vector<unsigned char> raw(static_cast<std::size_t>(TransferBlock * bytes));
    // Samples saved as they were loaded are copied from the file they are read from, when
    // decoding and encoding them again would give the same bytes.
    const bool copyUnchanged = gains.empty() && !env_.SavedValues &&
                               format_.Encoding != SampleEncoding::Signed32 &&
                               format_.Encoding != SampleEncoding::Float32;
    // The values of a block as they are saved, told in order.
    auto prepare = [&](std::int64_t first, std::int64_t count, std::int32_t* to) {
        sv::ReadInterleaved(*this, to, SampleIndex{first}, count);
        if (!gains.empty()) ScaleInterleaved(to, count, static_cast<int>(first % ch), gains);
        if (env_.SavedValues) env_.SavedValues(*this, to, first, count);
    };
    // With a core to spare the next block is prepared while the one before is encoded and
    // written.
    std::optional<BlockReadAhead> ahead;
    if (!copyUnchanged && blocks > 0 && UsableCores() >= 2)
        ahead.emplace(prepare, total, TransferBlock);
    auto saveBlock = [&](std::int64_t first, std::int64_t count) {
        if (copyUnchanged && memory_->ReadSourceBytes(first + ch * MarginFrames, count,
                                                      format_.Encoding, raw.data())) {
            writer.Write(raw.data(), static_cast<std::size_t>(count * bytes));
            return;
        }
        std::int32_t* read = values.data();
        if (ahead)
            read = ahead->Next().data();
        else
            prepare(first, count, read);
        EncodeSamples(format_.Encoding, read, raw.data(), count);
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
    cancelled = progress.CancelRequested();
}

SaveResult Wave::SaveToFile(const std::filesystem::path& requestedName,
                            std::span<const float> channelGains) {
    if (!channelGains.empty() && channelGains.size() != format_.Channels)
        throw std::invalid_argument("one gain per channel");
    if (IsWriteProtected(requestedName))  // a protected target stays as it is
        return SaveResult::Failed(
            "Cannot save " + requestedName.string() + ": " + std::strerror(EACCES), EACCES);
    auto progress = env_.Ports.MakeProgress();
    try {
        memory_->StopReadingThrough(requestedName);
        AtomicFileWriter writer(
            requestedName, env_.WorkFolder,
            env_.KeepExistingFiles ? ExistingTarget::Keep : ExistingTarget::Replace);
        std::vector<std::string> processing = metadata_.Processing;
        if (!channelGains.empty() && processing.empty()) processing.push_back("remaster");
        const std::vector<RiffChunk> chunks = ChunksToSave(processing);
        const std::vector<unsigned char> header = WavFileHeader(format_, dataSize_, chunks);
        writer.Write(header.data(), header.size());
        bool cancelled = false;
        SaveSamples(writer, *progress, channelGains, cancelled);
        // Cancel is off in the window; a front end that cancels anyway (a signal) abandons the
        // save with the old file untouched.
        if (cancelled) return SaveResult::Failed("Saving cancelled", ECANCELED);
        const std::vector<unsigned char> trailer = WavFileTrailer(dataSize_, chunks);
        writer.Write(trailer.data(), trailer.size());
        writer.Commit();
        // The processing is recorded now; a later save of this document repeats the record
        // instead of adding another line.
        if (!metadata_.Processing.empty()) {
            for (std::size_t i = 0; i < metadata_.Chunks.size(); ++i)
                if (metadata_.Chunks[i].Is("bext")) metadata_.Chunks[i] = chunks[i];
            metadata_.Processing.clear();
        }
        progress->SetDone(FrameCount() * format_.Channels / TransferBlock);
        return SaveResult::Done();
    } catch (const IoError& error) {
        return SaveResult::Failed(error.what(), error.Code());
    }
}

void ReadInterleaved(Wave& wave, std::int32_t* buffer, SampleIndex first, std::int64_t count) {
    wave.ReadRaw(buffer, first.Value + wave.Channels() * MarginFrames, count);
}

void WriteInterleaved(Wave& wave, const std::int32_t* buffer, SampleIndex first,
                      std::int64_t count) {
    wave.WriteRaw(buffer, first.Value + wave.Channels() * MarginFrames, count);
}

void WriteInterleavedAhead(Wave& wave, const std::int32_t* buffer, SampleIndex first,
                           std::int64_t count) {
    wave.WriteRaw(buffer, first.Value + wave.Channels() * MarginFrames, count,
                  Wave::RunKind::AheadOfReads);
}

void ReadChannel(Wave& wave, std::int32_t* buffer, FrameIndex first, int channel,
                 std::int64_t count) {
    wave.ReadChannel(buffer, first.Value + MarginFrames, channel, count);
}

void Wave::ReadChannel(std::int32_t* buffer, std::int64_t storeFrame, int channel,
                       std::int64_t count) {
    memory_->ReadBlock(storeFrame * Channels() + channel, Channels(), count, buffer);
}

void Wave::ReadRaw(std::int32_t* buffer, std::int64_t rawIndex, std::int64_t count) {
    memory_->ReadBlock(rawIndex, 1, count, buffer);
}

void Wave::WriteRaw(const std::int32_t* buffer, std::int64_t rawIndex, std::int64_t count,
                    RunKind kind) {
    if (kind == RunKind::AheadOfReads)
        memory_->WriteAhead(rawIndex, count, buffer);
    else
        memory_->WriteBlock(rawIndex, 1, count, buffer);
    TellWritten(rawIndex, 1, buffer, count);
}

void Wave::WriteChannel(const std::int32_t* buffer, std::int64_t storeFrame, int channel,
                        std::int64_t count) {
    const std::int64_t raw = storeFrame * Channels() + channel;
    memory_->WriteBlock(raw, Channels(), count, buffer);
    TellWritten(raw, Channels(), buffer, count);
}

void Wave::AddChannel(const std::int32_t* buffer, std::int64_t storeFrame, int channel,
                      std::int64_t count, std::int32_t* sums) {
    const std::int64_t raw = storeFrame * Channels() + channel;
    if (!env_.WriteListener) {
        memory_->AddBlock(raw, Channels(), count, buffer, sums);
        return;
    }
    thread_local Int32Array own;
    if (!sums) {
        if (own.size() < static_cast<std::size_t>(count))
            own.resize(static_cast<std::size_t>(count));
        sums = own.data();
    }
    memory_->AddBlock(raw, Channels(), count, buffer, sums);
    TellWritten(raw, Channels(), sums, count);
}

void Wave::TellWritten(std::int64_t rawIndex, std::int64_t stride, const std::int32_t* values,
                       std::int64_t count) const {
    if (env_.WriteListener) env_.WriteListener->Written(*this, rawIndex, stride, values, count);
}

void Wave::SetFrameCount(std::int64_t frameCount) {
    if (frameCount < 0 || frameCount > MostWavFrames(format_))
        throw std::invalid_argument("WAV format: data size out of range");
    const int ch = format_.Channels;
    dataSize_ =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(frameCount) * format_.FrameBytes());
    memory_->SetLength(ch * (frameCount + 2 * MarginFrames));
    WriteSilence(ch * (frameCount + MarginFrames), ch * MarginFrames);
}

void DeleteBlock(Wave& wave, std::int64_t firstFrame, std::int64_t endFrame) {
    const std::int64_t n = wave.FrameCount();
    firstFrame = std::max<std::int64_t>(firstFrame, 0);
    endFrame = std::min(endFrame, n);
    const std::int64_t removed = endFrame - firstFrame;
    if (removed <= 0) return;
    const int ch = wave.Channels();
    FileMemory& memory = wave.Memory();
    // Ascending chunks: each chunk is read before its destination, which lies below it.
    Int32Array chunk(static_cast<std::size_t>(FileMemory::HalfWindow));
    const std::int64_t end = ch * (n + MarginFrames);
    for (std::int64_t i = ch * (endFrame + MarginFrames); i < end;) {
        const std::int64_t count = std::min<std::int64_t>(end - i, FileMemory::HalfWindow);
        memory.ReadBlock(i, 1, count, chunk.data());
        memory.WriteBlock(i - ch * removed, 1, count, chunk.data());
        i += count;
    }
    ShiftMarkersForDelete(wave.Metadata().Chunks, firstFrame, endFrame);
    wave.Metadata().NoteProcessing("block delete");
    wave.SetFrameCount(n - removed);  // with a silent trailing margin
}

}  // namespace sv
