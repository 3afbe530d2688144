#pragma once
// The RIFF/WAVE file layout: reading a file's format and chunks, and the bytes written before and
// after the samples. Knows nothing of the document or its store.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "audio/FileMetadata.h"
#include "audio/SampleEncoding.h"

namespace sv {

// What a fmt chunk says, plus the conversion its samples take.
struct WavFormat {
    std::uint16_t FormatTag = WavePcmTag;
    std::uint16_t Channels = 0;
    std::int32_t SampleRate = 0;
    std::uint16_t BitsPerSample = 0;
    std::uint32_t FmtSize = 16;
    // The fmt bytes after the first 16, kept for WAVE_FORMAT_EXTENSIBLE only (others save zeros).
    std::vector<unsigned char> Extension;
    SampleEncoding Encoding = SampleEncoding::Signed16;

    int BytesPerSample() const { return BitsPerSample / 8; }
    std::uint64_t FrameBytes() const {
        return static_cast<std::uint64_t>(Channels) * BytesPerSample();
    }
};

// Files beyond these limits are refused as not PCM. Above 256 channels every per-channel block
// read sweeps the store's window many times over (cost grows with the square of the channel
// count) and margins alone need 64 KiB of swap per channel.
inline constexpr int MaxWavChannels = 256;
inline constexpr std::uint32_t MaxWavSampleRate = 4000000;
inline constexpr std::uint32_t MaxFmtSize = 65536;

// The format a new file of this shape gets (WAVE_FORMAT_EXTENSIBLE gets its PCM extension), or
// why its header fields cannot be represented (block align above 16 bits, byte rate or data size
// above 32 bits, no channels or bits).
struct NewWavFormat {
    std::optional<WavFormat> Format;
    std::string Problem;
};
NewWavFormat MakeWavFormat(std::uint16_t formatTag, std::uint16_t channels, std::int32_t sampleRate,
                           std::uint16_t bitsPerSample, std::int64_t frameCount);

// Frames beyond this cannot be written with 32-bit RIFF and data sizes.
std::int64_t MostWavFrames(const WavFormat& format);

// Where a readable file keeps its samples, and what else it holds.
struct WavFileLayout {
    WavFormat Format;
    std::uint64_t DataStart = 0;  // offset of the first sample byte
    std::uint32_t DataSize = 0;   // whole frames only, so saved sizes agree with saved samples
    FileMetadata Metadata;
};

// The layout, or no layout and, when it is known, why the file is refused.
struct WavFileLayoutResult {
    std::optional<WavFileLayout> Layout;
    std::string RefusalReason;
};

// Walks every chunk of an open WAV file: reads fmt, finds data and keeps the others (up to
// FileMetadata::MaxKeptBytes; the ones beyond are named). Headers the conversions cannot serve
// are refused instead of read out of step. Throws IoError when reading fails.
WavFileLayoutResult ReadWavFileLayout(int fd, const std::filesystem::path& fileName,
                                      std::uint64_t fileSize);

// The bytes before the samples: RIFF and fmt headers, the chunks that stood before the data, and
// the data header. Header fields that describe the samples are derived from the format, never
// copied from the file. Throws IoError (EFBIG) when the sizes exceed 32 bits.
std::vector<unsigned char> WavFileHeader(const WavFormat& format, std::uint32_t dataSize,
                                         const std::vector<RiffChunk>& chunks);
// The bytes after the samples: the data chunk's pad byte when another chunk follows, and the
// chunks that stood after the data.
std::vector<unsigned char> WavFileTrailer(std::uint32_t dataSize,
                                          const std::vector<RiffChunk>& chunks);

}  // namespace sv
