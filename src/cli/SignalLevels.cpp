#include "cli/SignalLevels.h"

#include <cmath>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "audio/AudioFileFormats.h"

namespace sv::cli {

double Dbfs(double level, double fullScale) {
    return level > 0 ? 20.0 * std::log10(level / fullScale) : -HUGE_VAL;
}

namespace {

// |v| for every 32-bit value, also the most negative.
std::uint32_t Magnitude(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return v < 0 ? 0u - u : u;
}

#if defined(__SSE2__)
// Peaks and sums of squares of values in four lanes (lane j: values[4k + j]), the squares summed
// in 64 bits: exact while every magnitude is below 2^24 and a lane gets at most 2^15 of them.
void GatherLanes(const std::int32_t* values, std::int64_t quads, std::uint32_t peaks[4],
                 std::uint64_t sums[4]) {
    const __m128i signBit = _mm_set1_epi32(INT32_MIN);
    __m128i peak = _mm_setzero_si128();  // magnitudes with the sign bit flipped, compared signed
    peak = _mm_xor_si128(peak, signBit);
    __m128i even = _mm_setzero_si128();  // lanes 0 and 2
    __m128i odd = _mm_setzero_si128();   // lanes 1 and 3
    for (std::int64_t k = 0; k < quads; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + 4 * k));
        const __m128i sign = _mm_srai_epi32(v, 31);
        const __m128i m = _mm_sub_epi32(_mm_xor_si128(v, sign), sign);
        const __m128i flipped = _mm_xor_si128(m, signBit);
        const __m128i more = _mm_cmpgt_epi32(flipped, peak);
        peak = _mm_or_si128(_mm_and_si128(more, flipped), _mm_andnot_si128(more, peak));
        even = _mm_add_epi64(even, _mm_mul_epu32(m, m));
        const __m128i high = _mm_srli_epi64(m, 32);
        odd = _mm_add_epi64(odd, _mm_mul_epu32(high, high));
    }
    alignas(16) std::uint32_t p[4];
    alignas(16) std::uint64_t e[2], o[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(p), _mm_xor_si128(peak, signBit));
    _mm_store_si128(reinterpret_cast<__m128i*>(e), even);
    _mm_store_si128(reinterpret_cast<__m128i*>(o), odd);
    for (int j = 0; j < 4; ++j) peaks[j] = p[j];
    sums[0] = e[0];
    sums[1] = o[0];
    sums[2] = e[1];
    sums[3] = o[1];
}
#endif

}  // namespace

void LevelsGatherer::Add(int channels, const std::int32_t* values, std::int64_t first,
                         std::int64_t count) {
    const auto ch = static_cast<std::size_t>(channels);
    if (peaks_.size() != ch) {
        peaks_.assign(ch, 0);
        sums_.assign(ch, 0);
    }
#if defined(__SSE2__)
    // One, two or four channels, the common documents: four values at a time, each lane one
    // channel's for the whole call.
    if (channels == 1 || channels == 2 || channels == 4) {
        constexpr std::int64_t RunQuads = 32768;
        std::int64_t done = 0;
        for (; count - done >= 4;) {
            const std::int64_t quads = std::min(RunQuads, (count - done) / 4);
            std::uint32_t peaks[4];
            std::uint64_t sums[4];
            GatherLanes(values + done, quads, peaks, sums);
            if (std::max({peaks[0], peaks[1], peaks[2], peaks[3]}) >= (1u << 24)) break;
            for (int j = 0; j < 4; ++j) {
                const auto c = static_cast<std::size_t>((first + done + j) % channels);
                peaks_[c] = std::max<std::int64_t>(peaks_[c], peaks[j]);
                sums_[c] += sums[j];
            }
            done += 4 * quads;
        }
        // The rest (a short tail or values beyond 24 bits) one channel at a time.
        values += done;
        first += done;
        count -= done;
        samples_ += done;
    }
#endif
    // Channel by channel with the figures in registers: this runs beside a save.
    for (std::int64_t start = 0; start < std::min<std::int64_t>(channels, count); ++start) {
        const auto c = static_cast<std::size_t>((first + start) % channels);
        std::uint32_t peak = static_cast<std::uint32_t>(peaks_[c]);
        unsigned __int128 sum = sums_[c];
        // Squares summed in 64 bits over runs short enough not to overflow for values up to
        // 2^24 (every integer format); a run with larger values is summed again in 128 bits.
        constexpr std::int64_t Run = 32768;
        for (std::int64_t i = start; i < count; i += channels * Run) {
            const std::int64_t stop = std::min(count, i + channels * Run);
            // Four chains at a time: one would wait for each addition before the next.
            std::uint32_t peaks[4] = {};
            std::uint64_t sums[4] = {};
            std::int64_t k = i;
            for (; k + 3 * channels < stop; k += 4 * channels)
                for (int j = 0; j < 4; ++j) {
                    const std::uint32_t m = Magnitude(values[k + j * channels]);
                    peaks[j] = std::max(peaks[j], m);
                    sums[j] += static_cast<std::uint64_t>(m) * m;
                }
            for (; k < stop; k += channels) {
                const std::uint32_t m = Magnitude(values[k]);
                peaks[0] = std::max(peaks[0], m);
                sums[0] += static_cast<std::uint64_t>(m) * m;
            }
            const std::uint32_t runPeak = std::max({peaks[0], peaks[1], peaks[2], peaks[3]});
            const std::uint64_t runSum = sums[0] + sums[1] + sums[2] + sums[3];
            if (runPeak < (1u << 24)) {
                sum += runSum;
            } else {
                for (std::int64_t k = i; k < stop; k += channels)
                    sum += static_cast<std::uint64_t>(Magnitude(values[k])) * Magnitude(values[k]);
            }
            peak = std::max(peak, runPeak);
        }
        peaks_[c] = static_cast<std::int64_t>(peak);
        sums_[c] = sum;
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
        if (identity_ == 0 || document.Identity() == identity_)
            gatherer_.Add(document.Channels(), values, first, count);
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
