#include "loudness/LimitedLoudness.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "loudness/TruePeakLimiter.h"

namespace sv {

namespace {

constexpr int MaxPasses = 8;
constexpr double CloseEnoughLu = 0.1;
constexpr double MissedLu = 0.5;
// The limiter aims this far under the ceiling: the smooth gain moves the peaks between samples a
// little, and the output is rounded to whole sample values.
constexpr double FirstMarginDb = 0.1;

double Linear(double db) { return std::pow(10.0, db / 20.0); }

// A new document: wave times gainDb, limited to thresholdDbtp. Null when cancelled.
std::unique_ptr<Wave> GainAndLimit(Wave& wave, double gainDb, double thresholdDbtp,
                                   const std::string& caption) {
    const int ch = wave.Channels();
    const std::int64_t frames = wave.FrameCount();
    TruePeakLimiter limiter(ch, wave.SampleRate(), Linear(thresholdDbtp));
    const std::int64_t latency = limiter.Latency();
    auto output = Wave::CreateEmptyLike(wave, frames);
    auto progress = wave.Env().Ports.MakeProgress();
    progress->EnableCancel(true);
    progress->SetCaption(caption);
    const std::int64_t block = TruePeakLimiter::BlockFrames;
    progress->SetTotal((frames + latency) / block);
    progress->Show();

    const auto size = static_cast<std::size_t>(block * ch);
    std::vector<std::int32_t> values(size);
    std::vector<float> samples(size);
    const double fullScale = static_cast<double>(wave.FullScale());
    const auto toFloat = static_cast<float>(Linear(gainDb) / fullScale);
    // Input frame `in` goes in; output frame `in - latency` comes out.
    for (std::int64_t in = 0, b = 0; in < frames + latency; in += block, ++b) {
        const std::int64_t count = std::min(block, frames + latency - in);
        const std::int64_t real = std::clamp<std::int64_t>(frames - in, 0, count);
        if (real > 0) ReadInterleaved(wave, values.data(), SampleIndex{in * ch}, real * ch);
        for (std::int64_t i = 0; i < real * ch; ++i)
            samples[static_cast<std::size_t>(i)] = static_cast<float>(values[i]) * toFloat;
        std::fill(samples.begin() + real * ch, samples.begin() + count * ch, 0.0f);
        limiter.Process(samples.data(), count);
        const std::int64_t skip = std::clamp<std::int64_t>(latency - in, 0, count);
        for (std::int64_t i = skip * ch; i < count * ch; ++i) {
            const double scaled = std::clamp(samples[static_cast<std::size_t>(i)] * fullScale,
                                             -2147483648.0, 2147483647.0);
            values[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(std::llrint(scaled));
        }
        if (count > skip)
            WriteInterleaved(*output, values.data() + skip * ch,
                             SampleIndex{(in + skip - latency) * ch}, (count - skip) * ch);
        progress->SetDone(b);
        if (progress->CancelRequested()) return nullptr;
    }
    return output;
}

}  // namespace

std::unique_ptr<Wave> NormalizeLoudnessLimited(Wave& wave, double targetLufs,
                                               double truePeakMaxDbtp, LoudnessGain* gain,
                                               const LoudnessCaptions& captions) {
    const auto measured = MeasureLoudness(wave, captions);
    if (!measured) return nullptr;
    if (!ChooseLoudnessGain(*measured, targetLufs, truePeakMaxDbtp).HeldByTruePeak)
        return NormalizeLoudness(wave, targetLufs, truePeakMaxDbtp, gain, captions);

    LoudnessGain chosen;
    chosen.GainDb = targetLufs - measured->IntegratedLufs;
    double marginDb = FirstMarginDb;
    std::unique_ptr<Wave> output;
    // The best output so far that keeps the ceiling, with its loudness.
    std::unique_ptr<Wave> kept;
    LoudnessGain keptGain;
    std::optional<double> lastGainDb;
    double lastLufs = 0.0;
    for (int pass = 0; pass < MaxPasses; ++pass) {
        output =
            GainAndLimit(wave, chosen.GainDb, truePeakMaxDbtp - marginDb, captions.Normalizing);
        if (!output) return nullptr;
        const auto after = MeasureLoudness(*output, captions);
        if (!after) return nullptr;
        chosen.ReachedLufs = after->IntegratedLufs;
        const double over = after->TruePeakDbtp - truePeakMaxDbtp;
        const double shortfall = targetLufs - after->IntegratedLufs;
        if (over <= 0.0 &&
            (!kept || std::abs(shortfall) < std::abs(targetLufs - keptGain.ReachedLufs))) {
            kept = std::move(output);
            keptGain = chosen;
        }
        if (over <= 0.0 && std::abs(shortfall) <= CloseEnoughLu) break;
        if (over > 0.0) {
            marginDb += over + 0.02;
            continue;
        }
        // Limiting takes back part of each step: step along the slope of the last two passes.
        double slope = 1.0;
        if (lastGainDb && chosen.GainDb != *lastGainDb)
            slope = std::clamp((after->IntegratedLufs - lastLufs) / (chosen.GainDb - *lastGainDb),
                               0.25, 1.0);
        // Past some gain the limiter turns everything down alike and the loudness stays put.
        if (lastGainDb && after->IntegratedLufs - lastLufs < CloseEnoughLu) break;
        lastGainDb = chosen.GainDb;
        lastLufs = after->IntegratedLufs;
        chosen.GainDb += shortfall / slope;
    }
    if (!kept) {  // the limiter never kept the ceiling: plain gain does
        return NormalizeLoudness(wave, targetLufs, truePeakMaxDbtp, gain, captions);
    }
    keptGain.HeldByTruePeak = targetLufs - keptGain.ReachedLufs > MissedLu;
    if (gain) *gain = keptGain;
    return kept;
}

}  // namespace sv
