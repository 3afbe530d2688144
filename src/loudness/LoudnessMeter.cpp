#include "loudness/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "base/UsableCores.h"
#include "loudness/ParallelRuns.h"
#include "loudness/TruePeakMeter.h"

namespace sv {

namespace {

struct MeterDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using Meter = std::unique_ptr<ebur128_state, MeterDeleter>;

// Frames moved per step, all channels together.
constexpr std::int64_t BlockFrames = 65536;

double Decibels(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

std::string Figure(double value) {
    if (!std::isfinite(value)) return value < 0 ? "-inf" : "inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

LoudnessFigures FiguresOf(const Meter& meter, TruePeakMeter& truePeak) {
    LoudnessFigures figures;
    double value = 0.0;
    if (ebur128_loudness_global(meter.get(), &value) == EBUR128_SUCCESS)
        figures.IntegratedLufs = value;
    if (ebur128_loudness_range(meter.get(), &value) == EBUR128_SUCCESS) figures.RangeLu = value;
    figures.TruePeakDbtp = Decibels(truePeak.Peak());
    return figures;
}

// The meter for wave's layout; throws LoudnessUnavailable when the library refuses it.
Meter OpenMeter(const Wave& wave) {
    const int ch = wave.Channels();
    Meter meter(ebur128_init(static_cast<unsigned>(ch),
                             static_cast<unsigned long>(wave.SampleRate()),
                             EBUR128_MODE_I | EBUR128_MODE_LRA));
    if (!meter)
        throw LoudnessUnavailable("loudness cannot be measured at " + std::to_string(ch) +
                                  " channels and " + std::to_string(wave.SampleRate()) + " Hz");
    return meter;
}

std::optional<LoudnessFigures> Measure(Wave& wave, const Meter& meter, Progress& progress) {
    const int ch = wave.Channels();
    // The loudness library's filters run on one thread for the whole pass, the slowest part;
    // the true peak and the reading of the next block run beside them on the other cores.
    const int cores = UsableCores();
    ParallelRuns beside(std::min(cores, 2));
    TruePeakMeter truePeak(ch, wave.SampleRate(), std::max(1, cores - 1));

    const std::int64_t frames = wave.FrameCount();
    const std::int64_t blocks = frames / BlockFrames;
    progress.SetTotal(blocks);
    progress.Show();

    std::vector<std::int32_t> values(static_cast<std::size_t>(BlockFrames * ch));
    std::vector<float> samples[2];
    const float scale = 1.0f / static_cast<float>(wave.FullScale());
    const auto frameCount = [&](std::int64_t b) {
        return std::max<std::int64_t>(0, std::min(BlockFrames, frames - b * BlockFrames));
    };
    const auto read = [&](std::int64_t b) {
        std::vector<float>& out = samples[b % 2];
        out.resize(static_cast<std::size_t>(frameCount(b) * ch));
        ReadInterleaved(wave, values.data(), SampleIndex{b * BlockFrames * ch},
                        static_cast<std::int64_t>(out.size()));
        std::transform(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(out.size()),
                       out.begin(),
                       [scale](std::int32_t v) { return static_cast<float>(v) * scale; });
    };
    read(0);
    for (std::int64_t b = 0; b <= blocks; ++b) {
        const std::vector<float>& block = samples[b % 2];
        const std::int64_t count = frameCount(b);
        if (count <= 0) break;
        beside.Run(2, [&](int job) {
            if (job == 0) {
                ebur128_add_frames_float(meter.get(), block.data(),
                                         static_cast<std::size_t>(count));
                return;
            }
            truePeak.Add(block.data(), count);
            if (frameCount(b + 1) > 0) read(b + 1);
        });
        progress.SetDone(b);
        if (progress.CancelRequested()) return std::nullopt;
    }
    truePeak.Finish();
    return FiguresOf(meter, truePeak);
}

}  // namespace

std::optional<LoudnessFigures> MeasureLoudness(Wave& wave, const LoudnessCaptions& captions) {
    const Meter meter = OpenMeter(wave);  // a refused layout opens no window
    auto progress = wave.Env().Ports.MakeProgress();
    progress->EnableCancel(true);
    progress->SetCaption(captions.Measuring);
    return Measure(wave, meter, *progress);
}

std::optional<LoudnessFigures> MeasureLoudness(Wave& wave, Progress& progress) {
    return Measure(wave, OpenMeter(wave), progress);
}

LoudnessGain ChooseLoudnessGain(const LoudnessFigures& measured, double targetLufs,
                                double truePeakMaxDbtp) {
    LoudnessGain gain;
    if (!std::isfinite(measured.IntegratedLufs)) return gain;
    gain.GainDb = targetLufs - measured.IntegratedLufs;
    if (std::isfinite(measured.TruePeakDbtp) &&
        truePeakMaxDbtp - measured.TruePeakDbtp < gain.GainDb) {
        gain.GainDb = truePeakMaxDbtp - measured.TruePeakDbtp;
        gain.HeldByTruePeak = true;
    }
    gain.ReachedLufs = measured.IntegratedLufs + gain.GainDb;
    return gain;
}

std::unique_ptr<Wave> NormalizeLoudness(Wave& wave, double targetLufs, double truePeakMaxDbtp,
                                        LoudnessGain* gain, const LoudnessCaptions& captions) {
    const auto figures = MeasureLoudness(wave, captions);
    if (!figures) return nullptr;
    const LoudnessGain chosen = ChooseLoudnessGain(*figures, targetLufs, truePeakMaxDbtp);
    if (gain) *gain = chosen;
    const double factor = std::pow(10.0, chosen.GainDb / 20.0);

    auto output = Wave::CreateEmptyLike(wave, wave.FrameCount());
    const int ch = wave.Channels();
    const std::int64_t frames = wave.FrameCount();
    const std::int64_t blocks = frames / BlockFrames;
    auto progress = wave.Env().Ports.MakeProgress();
    progress->EnableCancel(true);
    progress->SetCaption(captions.Normalizing);
    progress->SetTotal(blocks);
    progress->Show();
    std::vector<std::int32_t> values(static_cast<std::size_t>(BlockFrames * ch));
    for (std::int64_t b = 0; b <= blocks; ++b) {
        const std::int64_t count = std::min(BlockFrames, frames - b * BlockFrames);
        if (count <= 0) break;
        const SampleIndex first{b * BlockFrames * ch};
        ReadInterleaved(wave, values.data(), first, count * ch);
        for (std::int64_t i = 0; i < count * ch; ++i) {
            const double scaled =
                std::clamp(static_cast<double>(values[i]) * factor, -2147483648.0, 2147483647.0);
            values[i] = static_cast<std::int32_t>(std::llrint(scaled));
        }
        WriteInterleaved(*output, values.data(), first, count * ch);
        progress->SetDone(b);
        if (progress->CancelRequested()) return nullptr;
    }
    return output;
}

std::string LoudnessText(const LoudnessFigures& figures) {
    return Figure(figures.IntegratedLufs) + " LUFS  LRA " + Figure(figures.RangeLu) + " LU  TP " +
           Figure(figures.TruePeakDbtp) + " dBTP";
}

}  // namespace sv
