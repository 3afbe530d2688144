// Opening a WAV file the way the window does (its overview told of every sample) with the
// samples read in place or copied to the swap file, for the files named by SONIVAR_OPEN_FILES
// (separated by colons; bench/compare-open.sh makes a 12-second and a 60-minute one).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "audio/Wave.h"
#include "view/WaveOverview.h"

namespace {

void Open(benchmark::State& state, const std::string& file, bool inPlace) {
    sv::ViewPosition view;
    sv::WaveOverview overview(view);
    sv::WaveEnvironment env;
    const char* dir = std::getenv("SONIVAR_BENCH_DIR");
    env.WorkFolder = dir ? dir : std::filesystem::temp_directory_path();
    env.WriteListener = &overview;
    env.SamplesStayInSourceFile = inPlace;
    for (auto _ : state) {
        auto loaded = sv::Wave::CreateFromFile(file, env);
        if (!loaded.Document) state.SkipWithError("not loaded");
        benchmark::DoNotOptimize(overview.Value(*loaded.Document, 0, 0));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* files = std::getenv("SONIVAR_OPEN_FILES");
    std::stringstream list(files ? files : "");
    for (std::string file; std::getline(list, file, ':');) {
        const std::string name = std::filesystem::path(file).filename().string();
        benchmark::RegisterBenchmark(("OpenInPlace/" + name).c_str(), Open, file, true)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("OpenCopied/" + name).c_str(), Open, file, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
