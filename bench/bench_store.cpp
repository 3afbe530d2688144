// Values per second through the sample store: one call per value against block transfers.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "audio/FileMemory.h"
#include "base/FileDescriptor.h"

namespace {

constexpr std::int64_t Values = 8 * sv::FileMemory::WindowValues;

std::filesystem::path SwapPath() {
    return std::filesystem::temp_directory_path() / "sonivar-bench-store.tmp";
}

void BM_WritePerValue(benchmark::State& state) {
    sv::FileMemory store(SwapPath());
    store.SetLength(Values);
    for (auto _ : state)
        for (std::int64_t i = 0; i < Values; ++i) store.WriteValue(i, static_cast<std::int32_t>(i));
    state.SetItemsProcessed(state.iterations() * Values);
}

void BM_ReadPerValue(benchmark::State& state) {
    sv::FileMemory store(SwapPath());
    store.SetLength(Values);
    std::int64_t sum = 0;
    for (auto _ : state)
        for (std::int64_t i = 0; i < Values; ++i) sum += store.ReadValue(i);
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * Values);
}

void BM_WriteBlock(benchmark::State& state) {
    sv::FileMemory store(SwapPath());
    store.SetLength(Values);
    std::vector<std::int32_t> block(static_cast<std::size_t>(state.range(0)), 7);
    for (auto _ : state)
        for (std::int64_t i = 0; i < Values; i += state.range(0))
            store.WriteBlock(i, 1, state.range(0), block.data());
    state.SetItemsProcessed(state.iterations() * Values);
}

void BM_ReadBlock(benchmark::State& state) {
    sv::FileMemory store(SwapPath());
    store.SetLength(Values);
    std::vector<std::int32_t> block(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        for (std::int64_t i = 0; i < Values; i += state.range(0))
            store.ReadBlock(i, 1, state.range(0), block.data());
    benchmark::DoNotOptimize(block.data());
    state.SetItemsProcessed(state.iterations() * Values);
}

// Long reads as saving and the overview make them, against reading the swap file directly.
void BM_ReadBlockLong(benchmark::State& state) {
    sv::FileMemory store(SwapPath());
    store.SetLength(Values);
    std::vector<std::int32_t> block(static_cast<std::size_t>(state.range(0)), 3);
    for (std::int64_t i = 0; i < Values; i += state.range(0))
        store.WriteBlock(i, 1, state.range(0), block.data());
    for (auto _ : state)
        for (std::int64_t i = 0; i < Values; i += state.range(0))
            store.ReadBlock(i, 1, state.range(0), block.data());
    benchmark::DoNotOptimize(block.data());
    state.SetItemsProcessed(state.iterations() * Values);
}

// One channel of a stereo document, as the engine reads it.
void BM_ReadChannelStride2(benchmark::State& state) {
    sv::FileMemory store(SwapPath());
    store.SetLength(Values);
    std::vector<std::int32_t> block(16384);
    for (auto _ : state)
        for (std::int64_t i = 0; i + 2 * 16384 <= Values; i += 2 * 16384)
            store.ReadBlock(i, 2, 16384, block.data());
    benchmark::DoNotOptimize(block.data());
    state.SetItemsProcessed(state.iterations() * Values / 2);
}

// A load followed by a save, as the document makes them: the whole store written in transfer
// blocks, then read back. Against the same bytes written and read with plain positioned calls.
constexpr std::int64_t PassValues = 64 * sv::FileMemory::WindowValues;
constexpr std::int64_t PassBlock = 163840;

void BM_StoreLoadSavePass(benchmark::State& state) {
    std::vector<std::int32_t> block(PassBlock, 5);
    for (auto _ : state) {
        sv::FileMemory store(SwapPath());
        store.SetLength(PassValues);
        for (std::int64_t i = 0; i < PassValues; i += PassBlock)
            store.WriteBlock(i, 1, PassBlock, block.data());
        for (std::int64_t i = 0; i < PassValues; i += PassBlock)
            store.ReadBlock(i, 1, PassBlock, block.data());
    }
    benchmark::DoNotOptimize(block.data());
    state.SetBytesProcessed(state.iterations() * PassValues * 4);
}

void BM_PlainFileLoadSavePass(benchmark::State& state) {
    std::vector<std::int32_t> block(PassBlock, 5);
    const std::size_t bytes = PassBlock * 4;
    for (auto _ : state) {
        sv::FileDescriptor fd(::open(SwapPath().c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600));
        if (::ftruncate(fd.Get(), PassValues * 4) != 0) state.SkipWithError("ftruncate");
        for (std::int64_t i = 0; i < PassValues; i += PassBlock)
            sv::WriteFullyAt(fd.Get(), block.data(), bytes, i * 4, SwapPath());
        for (std::int64_t i = 0; i < PassValues; i += PassBlock)
            sv::ReadFullyAt(fd.Get(), block.data(), bytes, i * 4, SwapPath());
        ::unlink(SwapPath().c_str());
    }
    benchmark::DoNotOptimize(block.data());
    state.SetBytesProcessed(state.iterations() * PassValues * 4);
}

BENCHMARK(BM_StoreLoadSavePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFileLoadSavePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePerValue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPerValue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBlock)->Arg(16384)->Arg(163840)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBlock)->Arg(16384)->Arg(163840)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBlockLong)->Arg(262144)->Arg(4194304)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadChannelStride2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
