// The waveform view's costs: a repaint with nothing changed and a play-cursor tick (both from the
// renderer's cache) at 1920 x 1080, and rebuilding the overview of a 60-minute stereo document
// against reading its swap file once from start to end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "audio/Wave.h"
#include "view/RasterCanvas.h"
#include "view/WaveformRenderer.h"

namespace {

constexpr int Width = 1920, Height = 1080;

std::filesystem::path WorkFolder() {
    if (const char* dir = std::getenv("SONIVAR_BENCH_DIR")) return dir;
    return std::filesystem::temp_directory_path();
}

// A stereo document of the given length filled with a ramp, written block by block.
std::unique_ptr<sv::Wave> MakeDocument(std::int64_t frames) {
    sv::WaveEnvironment env;
    env.WorkFolder = WorkFolder();
    auto wave = sv::Wave::CreateEmpty(1, 2, 44100, 16, frames, env);
    std::vector<std::int32_t> block(1 << 20);
    const std::int64_t total = frames * 2;
    for (std::int64_t i = 0; i < total; i += static_cast<std::int64_t>(block.size())) {
        const std::int64_t count =
            std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), total - i);
        for (std::int64_t j = 0; j < count; ++j)
            block[static_cast<std::size_t>(j)] =
                static_cast<std::int32_t>(((i + j) * 7919) % 8000000 - 4000000);
        WriteInterleaved(*wave, block.data(), sv::SampleIndex{i}, count);
    }
    return wave;
}

struct DrawnView {
    std::unique_ptr<sv::Wave> wave = MakeDocument(44100 * 60);
    sv::WaveView view;
    sv::ViewPosition position;
    sv::WaveOverview overview{position};
    sv::WaveformRenderer renderer{overview};
    sv::RasterCanvas canvas{Width, Height};
    DrawnView() {
        overview.Build(*wave, 0, wave->FrameCount());
        bool redraw = true;
        renderer.DrawWave(canvas, Width, redraw, *wave, Height, view);
    }
};

void BM_RepaintFromCache(benchmark::State& state) {
    DrawnView v;
    for (auto _ : state) {
        bool redraw = false;
        v.renderer.DrawWave(v.canvas, Width, redraw, *v.wave, Height, v.view);
    }
}

void BM_CursorTick(benchmark::State& state) {
    DrawnView v;
    const std::int64_t step = v.wave->FrameCount() / 1000;
    for (auto _ : state) {
        v.view.PlayPosition = (v.view.PlayPosition + step) % v.wave->FrameCount();
        v.renderer.DrawCursors(v.canvas, Width, *v.wave, Height, v.view);
    }
}

// One shared 60-minute document for the two whole-length measurements.
sv::Wave& LongDocument() {
    static const std::unique_ptr<sv::Wave> wave = MakeDocument(std::int64_t{44100} * 3600);
    return *wave;
}

void BM_BuildOverview60MinStereo(benchmark::State& state) {
    sv::Wave& wave = LongDocument();
    const sv::ViewPosition position;
    sv::WaveOverview overview{position};
    for (auto _ : state) overview.Build(wave, 0, wave.FrameCount());
    state.SetBytesProcessed(state.iterations() * wave.FrameCount() * 2 * 4);
}

void BM_ReadSwapFile60MinStereo(benchmark::State& state) {
    sv::Wave& wave = LongDocument();
    benchmark::DoNotOptimize(
        wave.Memory().ReadValue(0));  // writes the last window back to the file
    std::vector<char> buffer(std::size_t{1} << 22);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const int fd = ::open(wave.Memory().FileName().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open the swap file");
            return;
        }
        ssize_t n;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) bytes += n;
        ::close(fd);
    }
    state.SetBytesProcessed(bytes);
}

}  // namespace

BENCHMARK(BM_RepaintFromCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CursorTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadSwapFile60MinStereo)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BuildOverview60MinStereo)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadSwapFile60MinStereo)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
