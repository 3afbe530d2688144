#include "audio/WavFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/FileDescriptor.h"
#include "base/IoError.h"

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

// One walk over a file's chunks; each false return means the file is refused.
class LayoutReader {
  public:
    LayoutReader(int fd, const std::filesystem::path& fileName, std::uint64_t fileSize)
        : fd_(fd), fileName_(fileName), fileSize_(fileSize) {}

    WavFileLayoutResult Read() {
        WavFileLayoutResult result;
        unsigned char head[12];
        if (ReadFullyAt(fd_, head, 12, 0, fileName_) < 12 || std::memcmp(head, "RIFF", 4) != 0 ||
            std::memcmp(head + 8, "WAVE", 4) != 0) {
            result.RefusalReason = "not a WAV file";
            return result;
        }
        if (ReadChunks(Le32(head + 4))) result.Layout = std::move(layout_);
        result.RefusalReason = std::move(reason_);
        return result;
    }

  private:
    bool ReadChunks(std::uint32_t riffSize) {
        bool haveFmt = false;
        bool haveData = false;
        unsigned char header[8];
        // Past the end the RIFF header gives, bytes are read only while fmt or data is missing.
        for (std::uint64_t pos = 12; pos + 8 <= fileSize_;) {
            if (haveFmt && haveData && pos >= 8 + static_cast<std::uint64_t>(riffSize)) break;
            if (ReadFullyAt(fd_, header, 8, pos, fileName_) < 8) break;
            const std::uint32_t size = Le32(header + 4);
            if (std::memcmp(header, "fmt ", 4) == 0) {
                if (!haveFmt && !ReadFormatChunk(pos, size)) return false;
                haveFmt = true;
            } else if (std::memcmp(header, "data", 4) == 0) {
                if (!haveData) {
                    layout_.DataStart = pos + 8;
                    layout_.DataSize = size;
                }
                haveData = true;
            } else {
                KeepChunk(pos, header, haveData);
            }
            // An odd chunk's pad byte may be missing at the end of the file: the loop just ends.
            pos = NextChunk(pos, size);
        }
        return haveFmt && haveData && AcceptDataSize();
    }

    bool ReadFormatChunk(std::uint64_t pos, std::uint32_t fmtSize) {
        // A fmt chunk larger than the file, or than any real format needs, is damage.
        if (fmtSize < 16 || fmtSize > MaxFmtSize || pos + 8 + fmtSize > fileSize_) return false;
        layout_.Format.FmtSize = fmtSize;
        std::vector<unsigned char> fmt(fmtSize);
        if (ReadFullyAt(fd_, fmt.data(), fmtSize, pos + 8, fileName_) < fmtSize) return false;
        return AcceptFormat(fmt.data(), std::vector<unsigned char>(fmt.begin() + 16, fmt.end()));
    }

    bool AcceptFormat(const unsigned char* fmt, const std::vector<unsigned char>& extension) {
        WavFormat& f = layout_.Format;
        f.FormatTag = Le16(fmt);
        f.Channels = Le16(fmt + 2);
        const std::uint32_t rate = Le32(fmt + 4);
        f.BitsPerSample = Le16(fmt + 14);
        std::uint16_t format = f.FormatTag;
        if (f.FormatTag == WaveExtensibleTag) {
            if (extension.size() < 24 || Le16(&extension[0]) < 22 ||
                std::memcmp(&extension[10], GuidTail, sizeof GuidTail) != 0)
                return false;
            format = Le16(&extension[8]);
            f.Extension = extension;
        }
        if (format != WavePcmTag && format != WaveFloatTag) {
            reason_ = UnsupportedFormatReason(format, f.BitsPerSample);
            return false;
        }
        const auto encoding = EncodingFor(format, f.BitsPerSample);
        if (!encoding) {
            if (f.BitsPerSample != 0) reason_ = UnsupportedFormatReason(format, f.BitsPerSample);
            return false;
        }
        f.Encoding = *encoding;
        if (f.Channels == 0 || f.Channels > MaxWavChannels || rate == 0 || rate > MaxWavSampleRate)
            return false;
        f.SampleRate = static_cast<std::int32_t>(rate);
        return true;
    }

    bool AcceptDataSize() {
        const WavFormat& f = layout_.Format;
        const std::uint64_t wholeFrames = layout_.DataSize / f.FrameBytes();
        if (20 + f.FmtSize + (f.FmtSize & 1) + wholeFrames * f.FrameBytes() > 0xFFFFFFFFu)
            return false;  // could never be saved with a 32-bit RIFF size
        layout_.DataSize = static_cast<std::uint32_t>(wholeFrames * f.FrameBytes());
        return true;
    }

    // Chunks are kept in memory up to a total, so that a hostile file cannot exhaust it; the
    // ones beyond are named for the front end to report.
    void KeepChunk(std::uint64_t pos, const unsigned char* header, bool afterData) {
        FileMetadata& metadata = layout_.Metadata;
        RiffChunk chunk;
        std::memcpy(chunk.Id.data(), header, 4);
        const std::uint32_t size = Le32(header + 4);
        if (pos + 8 + size > fileSize_ || kept_ + 8 + size > FileMetadata::MaxKeptBytes) {
            if (metadata.DroppedChunks.size() < 16)  // enough to tell; a hostile file has millions
                metadata.DroppedChunks.push_back(std::string(chunk.Id.data(), 4) + " (" +
                                                 std::to_string(size) + " bytes)");
            return;
        }
        chunk.Body.resize(size);
        if (ReadFullyAt(fd_, chunk.Body.data(), size, pos + 8, fileName_) < size)
            throw IoError("Cannot read " + fileName_.string() + ": unexpected end of file");
        kept_ += 8 + size;
        chunk.AfterData = afterData;
        if (metadata.Tags.empty()) metadata.Tags = TagsOfInfoList(chunk);
        metadata.Chunks.push_back(std::move(chunk));
    }

    int fd_;
    const std::filesystem::path& fileName_;
    std::uint64_t fileSize_;
    WavFileLayout layout_;
    std::string reason_;
    std::uint64_t kept_ = 0;
};

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

NewWavFormat MakeWavFormat(std::uint16_t formatTag, std::uint16_t channels, std::int32_t sampleRate,
                           std::uint16_t bitsPerSample, std::int64_t frameCount) {
    const std::uint64_t blockAlign = channels * static_cast<std::uint64_t>(bitsPerSample / 8);
    if (blockAlign == 0 || blockAlign > 0xFFFF) return {{}, "WAV format: block align out of range"};
    if (sampleRate < 0 || static_cast<std::uint64_t>(sampleRate) * blockAlign > 0x7FFFFFFF)
        return {{}, "WAV format: byte rate out of range"};
    if (frameCount < 0 || static_cast<std::uint64_t>(frameCount) > (0xFFFFFFFFu - 36) / blockAlign)
        return {{}, "WAV format: data size out of range"};
    WavFormat format;
    format.FormatTag = formatTag;
    format.Channels = channels;
    format.SampleRate = sampleRate;
    format.BitsPerSample = bitsPerSample;
    // Depths no conversion serves keep the 16-bit conversion they always had.
    format.Encoding =
        EncodingFor(formatTag == WaveExtensibleTag ? WavePcmTag : formatTag, bitsPerSample)
            .value_or(bitsPerSample <= 8 ? SampleEncoding::Unsigned8 : SampleEncoding::Signed16);
    if (formatTag == WaveExtensibleTag) {
        format.Extension = ExtensionFor(WavePcmTag, bitsPerSample);
        format.FmtSize = 40;
    }
    return {std::move(format), {}};
}

std::int64_t MostWavFrames(const WavFormat& format) {
    return static_cast<std::int64_t>((0xFFFFFFFFu - 20 - format.FmtSize) / format.FrameBytes());
}

WavFileLayoutResult ReadWavFileLayout(int fd, const std::filesystem::path& fileName,
                                      std::uint64_t fileSize) {
    return LayoutReader(fd, fileName, fileSize).Read();
}

// RiffSize is the file's length minus 8; odd chunks are padded, the data chunk only when another
// chunk follows it.
std::vector<unsigned char> WavFileHeader(const WavFormat& f, std::uint32_t dataSize,
                                         const std::vector<RiffChunk>& chunks) {
    const std::uint64_t fmtBody = f.FmtSize + (f.FmtSize & 1);
    const std::uint64_t before = ChunkBytes(chunks, false);
    const std::uint64_t after = ChunkBytes(chunks, true);
    std::vector<unsigned char> header(static_cast<std::size_t>(20 + fmtBody), 0);
    const std::uint64_t riffSize =
        20 + fmtBody + before + dataSize + (after ? (dataSize & 1) + after : 0);
    if (f.FmtSize < 16 || riffSize > 0xFFFFFFFFu) throw IoError("WAV sizes beyond 32 bits", EFBIG);
    std::memcpy(&header[0], "RIFF", 4);
    Put32(&header[4], static_cast<std::uint32_t>(riffSize));
    std::memcpy(&header[8], "WAVE", 4);
    std::memcpy(&header[12], "fmt ", 4);
    Put32(&header[16], f.FmtSize);
    Put16(&header[20], f.FormatTag);
    Put16(&header[22], f.Channels);
    Put32(&header[24], static_cast<std::uint32_t>(f.SampleRate));
    const auto frameBytes = static_cast<std::uint16_t>(f.FrameBytes());
    Put32(&header[28], static_cast<std::uint32_t>(f.SampleRate) * frameBytes);
    Put16(&header[32], frameBytes);
    Put16(&header[34], f.BitsPerSample);
    std::copy_n(f.Extension.begin(), std::min<std::size_t>(f.Extension.size(), f.FmtSize - 16),
                &header[36]);
    if (f.FormatTag == WaveExtensibleTag && f.FmtSize >= 20) Put16(&header[38], f.BitsPerSample);
    AppendChunks(header, chunks, false);
    const unsigned char data[4] = {'d', 'a', 't', 'a'};
    header.insert(header.end(), data, data + 4);
    header.resize(header.size() + 4);
    Put32(&header[header.size() - 4], dataSize);
    return header;
}

std::vector<unsigned char> WavFileTrailer(std::uint32_t dataSize,
                                          const std::vector<RiffChunk>& chunks) {
    std::vector<unsigned char> trailer;
    AppendChunks(trailer, chunks, true);
    if (!trailer.empty() && (dataSize & 1)) trailer.insert(trailer.begin(), 0);
    return trailer;
}

}  // namespace sv
