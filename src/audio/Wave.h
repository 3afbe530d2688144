#pragma once
// The audio document: a PCM WAV header plus its samples as 32-bit values in a file-backed store
// framed by silent margins of MarginFrames frames.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "audio/FileMemory.h"
#include "audio/FileMetadata.h"
#include "audio/SampleEncoding.h"
#include "audio/SaveResult.h"
#include "base/CoreTypes.h"
#include "base/Progress.h"

namespace sv {

class AtomicFileWriter;

// The visible span the overview table summarizes: frames ViewStart .. ViewStart +
// FrameCount / HorizontalZoom.
struct ViewPosition {
    std::int64_t ViewStart = 0;
    std::int32_t HorizontalZoom = 1;
};

// What a document needs from its surroundings.
struct WaveEnvironment {
    std::filesystem::path WorkFolder;
    FrontEndPorts Ports;
    const ViewPosition* View = nullptr;  // null: no overview updates
    // Loaded samples are read from their file until the document first changes, instead of
    // being copied to the swap file at once. For short-lived programs only: another program
    // changing the file meanwhile makes every later read fail.
    bool SamplesStayInSourceFile = false;
    // Decoders may print notes on damaged streams to stderr (libmpg123 does).
    bool ShowDecoderNotes = true;
    // Saves refuse (EEXIST) instead of replacing a file, also one another program creates
    // meanwhile.
    bool KeepExistingFiles = false;
};

// True when fileName exists and must not be written: no write permission for this user, or no
// write bit at all (the read-only attribute, which holds even for root).
bool IsWriteProtected(const std::filesystem::path& fileName);

enum class LoadOutcome { Loaded, NotPcm, TooShort, LowDiskSpace };

class Wave;

// What opening a file gives: a document, or the outcome that refused it.
struct LoadResult {
    LoadOutcome Outcome = LoadOutcome::NotPcm;
    std::unique_ptr<Wave> Document;  // only when Loaded
    std::string Reason;              // NotPcm: why the format is refused, when it is known
};

// The message for a refused load, in the user's language: the not-PCM text followed by the
// reason when there is one, the too-short text, or the low-disk-space text naming workFolder.
std::string LoadRefusalMessage(const LoadResult& result, const std::filesystem::path& workFolder);

class Wave {
  public:
    static constexpr int OverviewColumns = 1200;
    static constexpr std::int64_t TransferBlock = 163840;
    static constexpr std::int64_t MinimumValues = 491520;
    // Files beyond these limits are refused as not PCM. Above 256 channels every per-channel
    // block read sweeps the store's window many times over (cost grows with the square of the
    // channel count) and margins alone need 64 KiB of swap per channel.
    static constexpr int MaxChannels = 256;
    static constexpr std::uint32_t MaxSampleRate = 4000000;
    static constexpr std::uint32_t MaxFmtSize = 65536;

    // Reads a PCM WAV file; a refused file gives its outcome and no document. Shows nothing
    // itself: LoadRefusalMessage words a refusal. Throws IoError.
    static LoadResult CreateFromFile(const std::filesystem::path& fileName,
                                     const WaveEnvironment& env);
    // Throws std::invalid_argument for a format whose header fields cannot be represented
    // (block align above 16 bits, byte rate or sizes above 32 bits, no channels or bits).
    // With reusedStore (taken from a document of the same work folder) the new document keeps
    // its values there, emptied, instead of on a new swap file.
    static std::unique_ptr<Wave> CreateEmpty(std::uint16_t formatTag, std::uint16_t channels,
                                             std::int32_t sampleRate, std::uint16_t bitsPerSample,
                                             std::int64_t frameCount, const WaveEnvironment& env,
                                             std::unique_ptr<FileMemory> reusedStore = nullptr);
    // An empty document with the file format of source (extension of the fmt chunk included)
    // and its metadata, noted as remastered.
    static std::unique_ptr<Wave> CreateEmptyLike(const Wave& source, std::int64_t frameCount,
                                                 std::unique_ptr<FileMemory> reusedStore = nullptr);
    // Hands this document's store over for another document; this one may then only be
    // destroyed.
    std::unique_ptr<FileMemory> TakeStore() { return std::move(memory_); }
    // Swap bytes a document of this shape holds in its store.
    static std::uint64_t StoreBytes(int channels, std::int64_t frameCount);
    ~Wave();
    Wave(const Wave&) = delete;
    Wave& operator=(const Wave&) = delete;

    // Writes the whole file beside the target and renames it into place only when complete, so
    // a failure leaves an existing file untouched. With a gain per channel the file holds the
    // document normalizing with those gains would make (ScaledValue), header included.
    SaveResult SaveToFile(const std::filesystem::path& fileName,
                          std::span<const float> channelGains = {});
    // Called before writing fileName: samples still read from that very file are copied to the
    // swap file first, since the save may write it in place.
    void PrepareToOverwrite(const std::filesystem::path& fileName) {
        memory_->StopReadingThrough(fileName);
    }

    std::uint16_t FormatTag() const { return formatTag_; }
    std::uint16_t Channels() const { return channels_; }
    std::int32_t SampleRate() const { return sampleRate_; }
    std::uint16_t BitsPerSample() const { return bitsPerSample_; }
    int BytesPerSample() const { return bitsPerSample_ / 8; }
    std::int64_t FrameCount() const;
    // For a document filled by a decoder whose stream did not say its length: grows or cuts it
    // to frameCount frames, the trailing margin silent. Throws std::invalid_argument for a
    // length whose sizes do not fit the WAV header.
    void SetFrameCount(std::int64_t frameCount);
    // Infinite float samples met while loading, stored as the store's limit (±256.0).
    std::int64_t InfiniteSamples() const { return infiniteSamples_; }
    void SetInfiniteSamples(std::int64_t count) { infiniteSamples_ = count; }
    std::uint32_t DataSize() const { return dataSize_; }
    std::uint32_t FmtSize() const { return fmtSize_; }
    bool Saved() const { return saved_; }
    void SetSaved(bool saved) { saved_ = saved; }
    bool HasData() const { return hasData_; }
    bool OverviewValid() const { return overviewValid_; }
    const std::filesystem::path& SwapFileName() const { return swapFileName_; }
    const WaveEnvironment& Env() const { return env_; }
    SampleEncoding Encoding() const { return encoding_; }
    // Full scale in internal values: 2^15 for 8-bit documents, 2^23 for every other depth.
    std::int64_t FullScale() const { return StoreFullScale(encoding_); }

    // Block access (store frames for the channel forms, raw indices for the raw forms).
    void ReadChannel(std::int32_t* buffer, std::int64_t storeFrame, int channel,
                     std::int64_t count);
    void ReadRaw(std::int32_t* buffer, std::int64_t rawIndex, std::int64_t count);
    void WriteRaw(const std::int32_t* buffer, std::int64_t rawIndex, std::int64_t count);
    void WriteChannel(const std::int32_t* buffer, std::int64_t storeFrame, int channel,
                      std::int64_t count);
    // Adds buffer into one channel; the stored sums go to sums when it is not null.
    void AddChannel(const std::int32_t* buffer, std::int64_t storeFrame, int channel,
                    std::int64_t count, std::int32_t* sums = nullptr);
    void DeleteBlock(std::int64_t firstFrame, std::int64_t endFrame);

    void BuildOverview(std::int64_t firstFrame, std::int64_t lastFrame);
    std::int32_t OverviewValue(int slot, int channel) const;
    void ClearOverview(std::int64_t viewStart, std::int64_t viewEnd, std::int64_t firstRawIndex,
                       std::int64_t count);

    FileMemory& Memory() { return *memory_; }
    // The file's other chunks and tags; saving writes them back.
    const FileMetadata& Metadata() const { return metadata_; }
    FileMetadata& Metadata() { return metadata_; }

  private:
    explicit Wave(const WaveEnvironment& env);
    void CreateStore(const std::string& prefix, const std::string& suffix,
                     std::unique_ptr<FileMemory> reused = nullptr);
    // The load in its steps; each false return means the file was refused (outcome set).
    void Load(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize);
    // Walks every chunk: reads fmt, finds data (its body's offset goes to dataStart) and keeps
    // the others. False when the file is refused.
    bool ReadChunks(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize,
                    std::uint64_t& dataStart);
    bool ReadFormatChunk(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize,
                         std::uint64_t pos, std::uint32_t fmtSize);
    bool AcceptFormat(const unsigned char* fmt, const std::vector<unsigned char>& extension);
    bool AcceptDataSize(std::uint32_t size);
    void KeepChunk(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize,
                   std::uint64_t pos, const unsigned char* header, bool afterData,
                   std::uint64_t& kept);
    void ReadSamples(int fd, const std::filesystem::path& fileName, std::uint64_t dataStart);
    void CopySamplesIn(int fd, const std::filesystem::path& fileName, std::uint64_t dataStart);
    void RefuseLowDiskSpace();
    void WriteSamples(AtomicFileWriter& writer, Progress& progress, std::span<const float> gains,
                      bool& cancelled);
    void UpdateOverviewBlock(std::int64_t rawIndex, std::int64_t stride, const std::int32_t* v,
                             std::int64_t count);
    void ResizeOverview();
    void WriteSilence(std::int64_t rawIndex, std::int64_t count);
    // The kept chunks as this save writes them (fact, coding history and tags brought up to
    // date), and the file's bytes before and after the samples. Header fields that describe the
    // samples are derived from the format, never copied from the file.
    std::vector<RiffChunk> ChunksToSave(const std::vector<std::string>& processing) const;
    std::vector<unsigned char> FileHeader(const std::vector<RiffChunk>& chunks) const;
    std::vector<unsigned char> FileTrailer(const std::vector<RiffChunk>& chunks) const;

    WaveEnvironment env_;
    std::uint32_t riffSize_ = 0;
    std::uint32_t fmtSize_ = 16;
    std::uint16_t formatTag_ = 1;
    std::uint16_t channels_ = 0;
    std::int32_t sampleRate_ = 0;
    std::uint16_t bitsPerSample_ = 0;
    std::uint32_t dataSize_ = 0;
    SampleEncoding encoding_ = SampleEncoding::Signed16;
    // The fmt bytes after the first 16, kept for WAVE_FORMAT_EXTENSIBLE only (others save zeros).
    std::vector<unsigned char> fmtExtension_;
    FileMetadata metadata_;
    std::string refusalReason_;
    std::int64_t infiniteSamples_ = 0;
    std::unique_ptr<FileMemory> memory_;
    std::filesystem::path swapFileName_;
    Int32Array overview_;
    bool saved_ = false;
    bool hasData_ = false;
    bool overviewValid_ = false;
    LoadOutcome outcome_ = LoadOutcome::Loaded;
};

}  // namespace sv
