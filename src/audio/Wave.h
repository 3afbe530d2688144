#pragma once
// The audio document: its file format and metadata plus its samples as 32-bit values in a
// file-backed store framed by silent margins of MarginFrames frames.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "audio/FileMemory.h"
#include "audio/FileMetadata.h"
#include "audio/SampleEncoding.h"
#include "audio/SampleIndex.h"
#include "audio/SampleWriteListener.h"
#include "audio/SaveResult.h"
#include "audio/WavFile.h"
#include "base/CoreTypes.h"
#include "base/LoadOutcome.h"
#include "base/Progress.h"

namespace sv {

class AtomicFileWriter;

class Wave;

// What a document needs from its surroundings.
struct WaveEnvironment {
    std::filesystem::path WorkFolder;
    FrontEndPorts Ports;
    // Told of every write and of the end of every document made with this environment (the
    // waveform overview watches); null: nobody watches.
    SampleWriteListener* WriteListener = nullptr;
    // Loaded samples are read from their file until the document first changes, instead of
    // being copied to the swap file at once. For short-lived programs only: another program
    // changing the file meanwhile makes every later read fail.
    bool SamplesStayInSourceFile = false;
    // Decoders may print notes on damaged streams to stderr (libmpg123 does).
    bool ShowDecoderNotes = true;
    // Saves refuse (EEXIST) instead of replacing a file, also one another program creates
    // meanwhile.
    bool KeepExistingFiles = false;
    // Told of the values every save of a document writes (its gains applied), in file order;
    // first is the interleaved index of values[0]. For figures that would cost another pass.
    std::function<void(const Wave& document, const std::int32_t* values, std::int64_t first,
                       std::int64_t count)>
        SavedValues;
    // Told of a loaded document's samples as the file gives them (decoded, before any change):
    // first is the interleaved index of values[0]. A file read in place tells its samples as
    // they are first read, and again when read again; the listener keeps what it lacks.
    std::function<void(const Wave& document, const std::int32_t* values, std::int64_t first,
                       std::int64_t count)>
        SourceValues;
    // The progress windows' captions while a file is read in and while one is saved, worded
    // by the front end.
    std::string ReadingCaption;
    std::string SavingCaption;
    // The in-memory window of every store made for the documents (FileMemory's windowValues).
    std::int64_t StoreWindowValues = FileMemory::WindowValues;
};

// True when fileName exists and must not be written: no write permission for this user, or no
// write bit at all (the read-only attribute, which holds even for root).
bool IsWriteProtected(const std::filesystem::path& fileName);

class Wave;

// What opening a file gives: a document, or the outcome that refused it.
struct LoadResult {
    LoadOutcome Outcome = LoadOutcome::NotPcm;
    std::unique_ptr<Wave> Document;  // only when Loaded
    std::string Reason;              // NotPcm: why the format is refused, when it is known
};

// Swap bytes a document of this shape holds in its store.
std::uint64_t StoreBytes(int channels, std::int64_t frameCount);

class Wave {
  public:
    static constexpr std::int64_t TransferBlock = 163840;
    // A recording needs one frame to open; the stages that need more say so themselves.
    static constexpr std::int64_t MinimumFrames = 1;
    // Sample values long enough for every stage at the start-up settings.
    static constexpr std::int64_t MinimumValues = 491520;
    static constexpr int MaxChannels = MaxWavChannels;
    static constexpr std::uint32_t MaxSampleRate = MaxWavSampleRate;

    // Reads a PCM WAV file; a refused file gives its outcome and no document. Shows nothing
    // itself: the front end words a refusal. Throws IoError.
    static LoadResult CreateFromFile(const std::filesystem::path& fileName,
                                     const WaveEnvironment& env);
    // Throws std::invalid_argument for a format MakeWavFormat refuses; formats that come from
    // outside are checked with it first.
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
    ~Wave();
    Wave(const Wave&) = delete;
    Wave& operator=(const Wave&) = delete;

    // Writes the whole file beside the target and renames it into place only when complete, so
    // a failure leaves an existing file untouched. With a gain per channel the file holds the
    // document normalizing with those gains would make (ScaledValue), header included.
    SaveResult SaveToFile(const std::filesystem::path& fileName,
                          std::span<const float> channelGains = {});
    // The file format the document was read in and is saved in.
    const WavFormat& Format() const { return format_; }
    std::uint16_t Channels() const { return format_.Channels; }
    std::int32_t SampleRate() const { return format_.SampleRate; }
    std::int64_t FrameCount() const;
    // For a document filled by a decoder whose stream did not say its length: grows or cuts it
    // to frameCount frames, the trailing margin silent. Throws std::invalid_argument for a
    // length whose sizes do not fit the WAV header.
    void SetFrameCount(std::int64_t frameCount);
    // Infinite float samples met while loading, stored as the store's limit (±256.0).
    std::int64_t InfiniteSamples() const { return infiniteSamples_; }
    void SetInfiniteSamples(std::int64_t count) { infiniteSamples_ = count; }
    bool HasData() const { return FrameCount() >= 1; }
    const WaveEnvironment& Env() const { return env_; }
    // Full scale in internal values: 2^15 for 8-bit documents, 2^23 for every other depth.
    std::int64_t FullScale() const { return StoreFullScale(format_.Encoding); }

    // Block access in the store's own positions, margins included, for the engine's walks that
    // read and write the margins: store frames (frame + MarginFrames) for the channel forms,
    // raw indices (store frame x channels + channel) for the raw forms.
    void ReadChannel(std::int32_t* buffer, std::int64_t storeFrame, int channel,
                     std::int64_t count);
    void ReadRaw(std::int32_t* buffer, std::int64_t rawIndex, std::int64_t count);
    // AheadOfReads: a run written ahead of its reads (FileMemory::WriteAhead).
    enum class RunKind { Anywhere, AheadOfReads };
    void WriteRaw(const std::int32_t* buffer, std::int64_t rawIndex, std::int64_t count,
                  RunKind kind = RunKind::Anywhere);
    void WriteChannel(const std::int32_t* buffer, std::int64_t storeFrame, int channel,
                      std::int64_t count);
    // Adds buffer into one channel; the stored sums go to sums when it is not null.
    void AddChannel(const std::int32_t* buffer, std::int64_t storeFrame, int channel,
                    std::int64_t count, std::int32_t* sums = nullptr);
    // The store; its FileName() is the swap file. Before writing a file, StopReadingThrough it:
    // samples still read from that very file are copied to the swap file first, since the save
    // may write it in place.
    FileMemory& Memory() { return *memory_; }
    // Tells documents apart for as long as the program runs (never reused, unlike an address),
    // so figures gathered from one are not taken for another's.
    std::uint64_t Identity() const { return identity_; }
    // The file's other chunks and tags; saving writes them back.
    const FileMetadata& Metadata() const { return metadata_; }
    FileMetadata& Metadata() { return metadata_; }

  private:
    explicit Wave(const WaveEnvironment& env);
    void CreateStore(std::unique_ptr<FileMemory> reused = nullptr);
    // Reads the file's layout, refuses what cannot be loaded and reads the rest. The result
    // carries no document: the caller hands this one on.
    LoadResult Load(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize);
    void LoadSamples(int fd, const std::filesystem::path& fileName, std::uint64_t dataStart);
    void CopySamplesIn(int fd, const std::filesystem::path& fileName, std::uint64_t dataStart);
    void SaveSamples(AtomicFileWriter& writer, Progress& progress, std::span<const float> gains,
                     bool& cancelled);
    void TellWritten(std::int64_t rawIndex, std::int64_t stride, const std::int32_t* values,
                     std::int64_t count) const;
    void WriteSilence(std::int64_t rawIndex, std::int64_t count);
    // The kept chunks as this save writes them: fact, coding history and tags brought up to
    // date.
    std::vector<RiffChunk> ChunksToSave(const std::vector<std::string>& processing) const;

    WaveEnvironment env_;
    std::uint64_t identity_;
    WavFormat format_;
    std::uint32_t dataSize_ = 0;
    FileMetadata metadata_;
    std::int64_t infiniteSamples_ = 0;
    std::unique_ptr<FileMemory> memory_;
};

// Block access in the recording's own positions: interleaved values, or one channel.
void ReadInterleaved(Wave& wave, std::int32_t* buffer, SampleIndex first, std::int64_t count);
void WriteInterleaved(Wave& wave, const std::int32_t* buffer, SampleIndex first,
                      std::int64_t count);
// WriteInterleaved for a run written ahead of its reads: a stream into a new document, or
// changes in place to values read just before (FileMemory::WriteAhead).
void WriteInterleavedAhead(Wave& wave, const std::int32_t* buffer, SampleIndex first,
                           std::int64_t count);
// For loaders: tells the environment's SourceValues of the file's samples first ..
// first + count - 1 as they are read.
void TellSourceValues(const Wave& wave, const std::int32_t* values, SampleIndex first,
                      std::int64_t count);
void ReadChannel(Wave& wave, std::int32_t* buffer, FrameIndex first, int channel,
                 std::int64_t count);

// Removes document frames firstFrame .. endFrame - 1 (cut to the recording).
void DeleteBlock(Wave& wave, std::int64_t firstFrame, std::int64_t endFrame);

}  // namespace sv
