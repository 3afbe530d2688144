#include "cli/SignalLevels.h"

#include <cmath>
#include <cstdlib>

#include "audio/AudioFileFormats.h"

namespace sv::cli {

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
    // Channel by channel with the figures in registers: this runs beside a save.
    for (std::int64_t start = 0; start < std::min<std::int64_t>(channels, count); ++start) {
        const auto c = static_cast<std::size_t>((first + start) % channels);
        std::uint64_t peak = static_cast<std::uint64_t>(peaks_[c]);
        unsigned __int128 sum = sums_[c];
        for (std::int64_t i = start; i < count; i += channels) {
            const std::int64_t v = values[i];
            const auto magnitude = static_cast<std::uint64_t>(v < 0 ? -v : v);
            peak = std::max(peak, magnitude);
            sum += magnitude * magnitude;  // at most 2^62: a 32-bit value squared
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
