#include <gtest/gtest.h>

#include "dsp/RemasterChain.h"
#include "support/TestFiles.h"
#include "timbre/Timbres.h"
#include "view/WaveOverview.h"

namespace sv {
namespace {

// The whole chain run once with block transfers and once with one store call per value must
// write the same file, bit for bit; its stages reuse each other's swap files.
TEST(BlockTransfers, EngineResultsDoNotDependOnThem) {
    test::TempDir dir;
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 260000}, [](std::int64_t f, int c) {
        return static_cast<int>(9000 * std::sin(f * 0.013 * (c + 1)) + (test::Noise16(f, c) >> 5));
    });
    RemasterSettings settings;
    settings.RemoveNoise = settings.Levelling = settings.FitPeaks = settings.Normalize = true;
    settings.PeakBlockSize = 1024;
    auto run = [&](bool blocks, const char* out) {
        FileMemory::UseBlockTransfers(blocks);
        ViewPosition view{1000, 2};  // exercises the overview updates as the window does
        WaveOverview watched{view};
        WaveEnvironment env = test::MakeEnv(dir.path(), nullptr, &watched);
        Engine engine(env.Ports);
        auto spectra = std::make_unique<SharedSpectra>();
        BandsToSpectrum(BuiltInTable(BuiltInTimbre::Pop), spectra->Target);
        auto wave = Wave::CreateFromFile(dir / "in.wav", env).Document;
        EXPECT_NE(wave, nullptr);
        EXPECT_TRUE(RunChain(engine, wave, settings, *spectra).Replaced);
        // The stages pass swap files on to each other; after the chain only the document's is left.
        EXPECT_EQ(dir.CountFiles(".swap"), 1);
        EXPECT_TRUE(wave->SaveToFile(dir / out).Saved());
        std::vector<std::int32_t> overview;
        for (int slot = 0; slot < 2 * WaveOverview::Columns; ++slot)
            for (int c = 0; c < 2; ++c) overview.push_back(watched.Value(*wave, slot, c));
        FileMemory::UseBlockTransfers(true);
        return overview;
    };
    const auto fast = run(true, "fast.wav");
    const auto slow = run(false, "slow.wav");
    EXPECT_EQ(fast, slow);
    const std::string a = test::ReadFile(dir / "fast.wav");
    ASSERT_EQ(a.size(), 44u + 260000 * 4);
    EXPECT_EQ(a, test::ReadFile(dir / "slow.wav"));
    EXPECT_NE(a, test::ReadFile(dir / "in.wav"));
}

}  // namespace
}  // namespace sv
