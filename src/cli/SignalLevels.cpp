#include "cli/SignalLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "audio/AudioFileFormats.h"

namespace sv::cli {

namespace {

// Peak and exact sum of squares of every stride-th value from values[0]: magnitude m = h*2^16 + l
// splits m*m into h*h*2^32 + 2*h*l*2^16 + l*l, three products that fit 32 bits and sums that fit
// 64 bits, so the loop runs in vector registers; a fixed stride lets it load channels from
// interleaved values.
struct ChannelFigures {
    std::uint32_t peak = 0;
    std::uint64_t highs = 0, mixed = 0, lows = 0;
    unsigned __int128 SumOfSquares() const {
        return (static_cast<unsigned __int128>(highs) << 32) +
               (static_cast<unsigned __int128>(mixed) << 17) + lows;
    }
};

template <int Stride>
[[gnu::always_inline]] inline ChannelFigures Gather(const std::int32_t* values, std::int64_t n,
                                                    int stride) {
    if constexpr (Stride > 0) stride = Stride;
    ChannelFigures f;
    for (std::int64_t k = 0; k < n; ++k) {
        const std::int32_t v = values[k * stride];
        const std::uint32_t sign = static_cast<std::uint32_t>(v >> 31);
        const std::uint32_t m = (static_cast<std::uint32_t>(v) ^ sign) - sign;
        f.peak = std::max(f.peak, m);
        const std::uint32_t h = m >> 16, l = m & 0xffff;
        f.highs += h * h;
        f.mixed += h * l;
        f.lows += l * l;
    }
    return f;
}

[[gnu::always_inline]] inline ChannelFigures GatherAny(const std::int32_t* values, std::int64_t n,
                                                       int stride) {
    if (stride == 1) return Gather<1>(values, n, stride);
    if (stride == 2) return Gather<2>(values, n, stride);
    return Gather<0>(values, n, stride);
}

ChannelFigures GatherPortable(const std::int32_t* values, std::int64_t n, int stride) {
    return GatherAny(values, n, stride);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] ChannelFigures GatherAvx2(const std::int32_t* values, std::int64_t n,
                                                  int stride) {
    return GatherAny(values, n, stride);
}
#endif

using GatherFunction = ChannelFigures (*)(const std::int32_t*, std::int64_t, int);

GatherFunction Widest() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) return GatherAvx2;
#endif
    return GatherPortable;
}

}  // namespace

double Dbfs(double level, double fullScale) {
    return level > 0 ? 20.0 * std::log10(level / fullScale) : -HUGE_VAL;
}

void LevelsGatherer::Add(int channels, const std::int32_t* values, std::int64_t first,
                         std::int64_t count) {
    const auto ch = static_cast<std::size_t>(channels);
    if (peaks_.size() != ch) {
        peaks_.assign(ch, 0);
        sums_.assign(ch, 0);
    }
    static const GatherFunction gather = Widest();
    // Channel by channel over pieces that stay in the cache: this runs beside a save.
    const std::int64_t piece = std::max<std::int64_t>(channels, 8192 - 8192 % channels);
    for (std::int64_t from = 0; from < count; from += piece) {
        const std::int64_t size = std::min(piece, count - from);
        for (std::int64_t start = 0; start < std::min<std::int64_t>(channels, size); ++start) {
            const auto c = static_cast<std::size_t>((first + from + start) % channels);
            const std::int64_t n = (size - start + channels - 1) / channels;
            const std::int32_t* at = values + from + start;
            const ChannelFigures f = gather(at, n, channels);
            peaks_[c] = std::max<std::int64_t>(peaks_[c], f.peak);
            sums_[c] += f.SumOfSquares();
        }
    }
    samples_ += count;
}

SignalLevels LevelsGatherer::Levels(double fullScale) const {
    SignalLevels levels;
    const auto channels = static_cast<std::int64_t>(peaks_.size());
    const std::int64_t frames = channels > 0 ? samples_ / channels : 0;
    for (std::size_t c = 0; c < peaks_.size(); ++c) {
        levels.PeakDbfs.push_back(Dbfs(static_cast<double>(peaks_[c]), fullScale));
        const double rms =
            frames > 0 ? std::sqrt(static_cast<double>(static_cast<long double>(sums_[c]) / frames))
                       : 0.0;
        levels.RmsDbfs.push_back(Dbfs(rms, fullScale));
    }
    return levels;
}

std::vector<double> PeakDbfs(Engine& engine, Wave& wave) {
    std::vector<double> peaks;
    for (int c = 0; c < wave.Channels(); ++c)
        peaks.push_back(Dbfs(static_cast<double>(engine.FindChannelPeak(wave, c)),
                             static_cast<double>(wave.FullScale())));
    return peaks;
}

namespace {

// Interleaved samples first .. end - 1 of wave into gatherer.
void GatherRange(Wave& wave, LevelsGatherer& gatherer, std::int64_t first, std::int64_t end) {
    const int channels = wave.Channels();
    Int32Array block(static_cast<std::size_t>(Wave::TransferBlock));
    for (; first < end; first += Wave::TransferBlock) {
        const std::int64_t count = std::min(Wave::TransferBlock, end - first);
        ReadInterleaved(wave, block.data(), SampleIndex{first}, count);
        gatherer.Add(channels, block.data(), first, count);
    }
    gatherer.Add(channels, nullptr, end, 0);  // one figure per channel even when empty
}

}  // namespace

SignalLevels MeasureLevels(Wave& wave) {
    LevelsGatherer gatherer;
    GatherRange(wave, gatherer, 0, wave.FrameCount() * wave.Channels());
    return gatherer.Levels(static_cast<double>(wave.FullScale()));
}

LoadedLevels::LoadedLevels(WaveEnvironment& env, bool on) : env_(env), on_(on) {
    if (!on_) return;
    env_.SourceValues = [this](const Wave& document, const std::int32_t* values, std::int64_t first,
                               std::int64_t count) {
        if (finishing_ || (identity_ != 0 && document.Identity() != identity_)) return;
        // Only what continues the samples told so far: each once, in order from the first.
        const std::int64_t told = gatherer_.Samples();
        if (first > told || first + count <= told) return;
        gatherer_.Add(document.Channels(), values + (told - first), told, first + count - told);
    };
}

LoadedLevels::~LoadedLevels() {
    if (on_) env_.SourceValues = nullptr;
}

void LoadedLevels::Opened(const Wave& document) {
    identity_ = document.Identity();
    channels_ = document.Channels();
    total_ = document.FrameCount() * channels_;
    fullScale_ = static_cast<double>(document.FullScale());
}

std::optional<SignalLevels> LoadedLevels::Levels(Wave& current,
                                                 const std::filesystem::path& input) {
    finishing_ = true;  // the reads below would tell what they gather once more
    const std::int64_t told = gatherer_.Samples();
    if (told < total_ && current.Identity() == identity_) {
        GatherRange(current, gatherer_, told, total_);
    } else if (told < total_) {
        WaveEnvironment quiet = env_;
        quiet.SourceValues = nullptr;
        quiet.SavedValues = nullptr;
        quiet.WriteListener = nullptr;
        const LoadResult again = OpenAudioFile(input, quiet);
        if (!again.Document || again.Document->FrameCount() * channels_ != total_)
            return std::nullopt;
        GatherRange(*again.Document, gatherer_, told, total_);
    } else if (total_ == 0) {
        gatherer_.Add(channels_, nullptr, 0, 0);
    }
    return gatherer_.Levels(fullScale_);
}

}  // namespace sv::cli
