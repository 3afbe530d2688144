#include <gtest/gtest.h>

#include "dsp/RemasterChain.h"
#include "support/TestFiles.h"
#include "view/Timbres.h"

namespace sv {
namespace {

// The whole chain run once with block transfers and once with one store call per value must
// write the same file, bit for bit.
TEST(BlockTransfers, EngineResultsDoNotDependOnThem) {
    test::TTempDir dir;
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 260000}, [](std::int64_t f, int c) {
        return static_cast<int>(9000 * std::sin(f * 0.013 * (c + 1)) + (test::Noise16(f, c) >> 5));
    });
    TRemasterSettings settings;
    settings.RemoveNoise = settings.Remastering = settings.PeakDown = settings.Normalize = true;
    settings.PeakBlockSize = 1024;
    auto run = [&](bool blocks, const char* out) {
        TFileMemory::UseBlockTransfers(blocks);
        TViewPosition view{1000, 2};  // exercises the overview updates as the window does
        TWaveEnv env = test::MakeEnv(dir.path(), nullptr, &view);
        TEngineFlags flags;
        TFiltr engine(flags, env.Ports);
        auto spectra = std::make_unique<TSpectra>();
        BandsToSpectrum(BuiltInTable(TTimbre::Pop), spectra->Target);
        auto wave = TWave::CreateFromFile(dir / "in.wav", env);
        EXPECT_TRUE(RunRemasterIt(engine, wave, settings, *spectra));
        EXPECT_TRUE(wave->SaveToFile(dir / out));
        std::vector<std::int32_t> overview;
        for (int slot = 0; slot < 2 * TWave::OverviewColumns; ++slot)
            for (int c = 0; c < 2; ++c) overview.push_back(wave->OverviewValue(slot, c));
        TFileMemory::UseBlockTransfers(true);
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
