#include "cli/SignalLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "audio/AudioFileFormats.h"
#include "base/CpuFeatures.h"

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

#if defined(__x86_64__)
// Figures of eight lanes (lane k: values[8i + k]), for channel counts that divide eight, where a
// lane holds one channel's values throughout and interleaved values need no sorting.
struct LaneFigures {
    std::uint32_t peak[8] = {};
    std::uint64_t highs[8] = {};
    unsigned __int128 lows[8] = {};
};

// 64-bit sums of the even and of the odd 32-bit lanes, added to per-lane totals.
template <typename Total>
[[gnu::target("avx2")]] void AddLanes(__m256i even, __m256i odd, Total (&to)[8]) {
    alignas(32) std::uint64_t e[4], o[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(e), even);
    _mm256_store_si256(reinterpret_cast<__m256i*>(o), odd);
    for (int j = 0; j < 4; ++j) {
        to[2 * j] += e[j];
        to[2 * j + 1] += o[j];
    }
}

// Exact for any magnitude m <= 2^31: with h = m >> 16 and l = m & 0xffff,
// m*m = h*h*2^32 + l*(2m - l), and 2m - l fits 32 bits but for m = 2^31, where l = 0. Each
// l*(2m - l) is below 2^48: at most 2^15 octets, so that their sums fit 64 bits.
[[gnu::target("avx2")]] void GatherLanesAnyMagnitude(const std::int32_t* values,
                                                     std::int64_t octets, LaneFigures& f) {
    const __m256i lowHalf = _mm256_set1_epi32(0xffff);
    __m256i highsEven = _mm256_setzero_si256(), highsOdd = _mm256_setzero_si256();
    __m256i lowsEven = _mm256_setzero_si256(), lowsOdd = _mm256_setzero_si256();
    for (std::int64_t i = 0; i < octets; ++i) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + 8 * i));
        const __m256i m = _mm256_abs_epi32(v);  // INT32_MIN gives 2^31, read unsigned
        const __m256i h = _mm256_srli_epi32(m, 16);
        const __m256i l = _mm256_and_si256(m, lowHalf);
        const __m256i t = _mm256_sub_epi32(_mm256_add_epi32(m, m), l);
        // The multiplies take the even 32-bit lanes; the odd ones are shifted down.
        highsEven = _mm256_add_epi64(highsEven, _mm256_mul_epu32(h, h));
        lowsEven = _mm256_add_epi64(lowsEven, _mm256_mul_epu32(l, t));
        const __m256i hOdd = _mm256_srli_epi64(m, 48);
        const __m256i lOdd = _mm256_srli_epi64(l, 32);
        const __m256i tOdd = _mm256_srli_epi64(t, 32);
        highsOdd = _mm256_add_epi64(highsOdd, _mm256_mul_epu32(hOdd, hOdd));
        lowsOdd = _mm256_add_epi64(lowsOdd, _mm256_mul_epu32(lOdd, tOdd));
    }
    AddLanes(highsEven, highsOdd, f.highs);
    AddLanes(lowsEven, lowsOdd, f.lows);
}

// Runs of 2^15 octets. Magnitudes below 2^24 (up to twice full scale) have squares below 2^48,
// summed in 64 bits at once; a run with a larger one is gathered again the long way.
[[gnu::target("avx2")]] void GatherLanesAvx2(const std::int32_t* values, std::int64_t octets,
                                             LaneFigures& f) {
    constexpr std::int64_t Run = 32768;
    const __m256i large = _mm256_set1_epi32(static_cast<std::int32_t>(0xff000000u));
    __m256i peak = _mm256_setzero_si256();
    for (std::int64_t from = 0; from < octets; from += Run) {
        const std::int64_t end = std::min(octets, from + Run);
        __m256i runPeak = _mm256_setzero_si256();
        __m256i even = _mm256_setzero_si256(), odd = _mm256_setzero_si256();
        for (std::int64_t i = from; i < end; ++i) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + 8 * i));
            const __m256i m = _mm256_abs_epi32(v);
            runPeak = _mm256_max_epu32(runPeak, m);
            even = _mm256_add_epi64(even, _mm256_mul_epu32(m, m));
            const __m256i mOdd = _mm256_srli_epi64(m, 32);
            odd = _mm256_add_epi64(odd, _mm256_mul_epu32(mOdd, mOdd));
        }
        if (_mm256_testz_si256(runPeak, large))
            AddLanes(even, odd, f.lows);
        else
            GatherLanesAnyMagnitude(values + 8 * from, end - from, f);
        peak = _mm256_max_epu32(peak, runPeak);
    }
    alignas(32) std::uint32_t peaks[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(peaks), peak);
    for (int k = 0; k < 8; ++k) f.peak[k] = std::max(f.peak[k], peaks[k]);
}

#endif

using GatherFunction = ChannelFigures (*)(const std::int32_t*, std::int64_t, int);

GatherFunction Widest() {
#if defined(__x86_64__)
    if (CpuHasAvx2()) return GatherAvx2;
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
#if defined(__x86_64__)
    if (count >= 8 && 8 % channels == 0 && CpuHasAvx2()) {
        LaneFigures f;
        GatherLanesAvx2(values, count / 8, f);
        for (std::size_t k = 0; k < 8; ++k) {
            const auto c =
                static_cast<std::size_t>((first + static_cast<std::int64_t>(k)) % channels);
            peaks_[c] = std::max<std::int64_t>(peaks_[c], f.peak[k]);
            sums_[c] += (static_cast<unsigned __int128>(f.highs[k]) << 32) + f.lows[k];
        }
        const std::int64_t done = count / 8 * 8;
        values += done;
        first += done;
        count -= done;
        samples_ += done;
    }
#endif
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
