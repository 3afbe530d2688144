// sonivar-cli on short recordings, its plot command and the gain curve of its JSON records.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "dsp/Engine.h"
#include "dsp/LevellingPreview.h"
#include "support/CommandOutput.h"
#include "support/TestFiles.h"
#include "text/Language.h"
#include "timbre/Timbres.h"

namespace sv {
namespace {

struct CliResult {
    int exit;
    std::string out, err;
};

CliResult Cli(const test::TempDir& dir, const std::string& args) {
    const auto err = dir / "err.txt";
    std::filesystem::create_directories(dir / "swap");
    const std::string out =
        test::CommandOutput(std::string(SONIVAR_CLI_PATH) + " " + args + " --work-folder '" +
                            (dir / "swap").string() + "' 2>'" + err.string() + "'; echo \"$?\"");
    const auto last = out.find_last_of('\n');
    return {std::stoi(out.substr(last == std::string::npos ? 0 : last + 1)),
            last == std::string::npos ? "" : out.substr(0, last), test::ReadFile(err)};
}

int Tone(std::int64_t f, int c) {
    return static_cast<int>(4000.0 * std::sin(0.03 * f * (c + 1)) + 900.0 * std::sin(0.9 * f));
}

TEST(PlotCli, ShortRecordingsAreRefusedOnlyByTheStagesThatNeedMoreLength) {
    test::TempDir dir;
    const auto in = (dir / "short.wav").string();
    test::WriteWav(in, {.channels = 2, .frames = 1}, test::Noise16);
    struct Case {
        std::string args;
        int exit;
        std::string err;
    };
    const Case cases[] = {
        {"info " + in, 0, ""},
        {"remaster " + in + " " + (dir / "n.wav").string() + " --normalize", 0, ""},
        {"remaster " + in + " " + (dir / "f.wav").string() + " --normalize --fit-peaks", 3,
         "Sample is too short for this method (at least 4.644 s): fit-peaks"},
        {"remaster " + in + " " + (dir / "l.wav").string() + " --level", 3,
         "Sample is too short for this method (at least 0.372 s): level"},
        {"detect " + in + " " + (dir / "d.sts").string(), 3, "(at least 0.372 s): detect"},
        {"plot " + in + " " + (dir / "p.png").string(), 3, "(at least 0.372 s)"},
    };
    for (const Case& c : cases) {
        const CliResult run = Cli(dir, c.args);
        EXPECT_EQ(run.exit, c.exit) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << "\n" << run.err;
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "n.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "f.wav"));

    // A batch refuses the short file for the stage and processes the long one.
    std::filesystem::create_directories(dir / "src");
    std::filesystem::create_directories(dir / "dst");
    std::filesystem::rename(in, dir / "src" / "short.wav");
    test::WriteWav(dir / "src" / "long.wav", {.channels = 2, .frames = 300000}, Tone);
    const CliResult batch = Cli(dir, "batch '" + (dir / "src").string() + "' '" +
                                         (dir / "dst").string() + "' --fit-peaks --json");
    EXPECT_EQ(batch.exit, 3) << batch.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "dst" / "_long.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "dst" / "_short.wav"));
    EXPECT_NE(batch.out.find("\"status\":\"refused\""), std::string::npos) << batch.out;
    EXPECT_NE(batch.out.find("fit-peaks"), std::string::npos) << batch.out;
}

TEST(PlotCli, PlotsAndTheJsonGainCurveIsTheOneTheWindowShows) {
    test::TempDir dir;
    const auto in = (dir / "in.wav").string();
    const std::int64_t frames = 100000;
    test::WriteWav(in, {.channels = 2, .frames = frames}, Tone);
    const CliResult plot =
        Cli(dir, "plot " + in + " " + (dir / "p.png").string() + " --timbre pop");
    ASSERT_EQ(plot.exit, 0) << plot.err;
    EXPECT_EQ(test::ReadFile(dir / "p.png").substr(1, 3), "PNG");

    const CliResult remaster =
        Cli(dir, "remaster " + in + " " + (dir / "o.wav").string() +
                     " --level --timbre pop --bands 20 --json --plot " + (dir / "q.png").string());
    ASSERT_EQ(remaster.exit, 0) << remaster.err;
    EXPECT_EQ(test::ReadFile(dir / "q.png").substr(1, 3), "PNG");
    const auto record = nlohmann::json::parse(remaster.out);
    const auto& curve = record.at("gain_curve");

    // The window's figures: the long-term spectrum of the same recording, the same settings.
    const WaveEnvironment env = test::MakeEnv(dir.path());
    auto wave = test::MakeDocument(env, 2, 44100, frames,
                                   [](std::int64_t f, int c) { return 256 * Tone(f, c); });
    Engine engine(env.Ports);
    auto spectrum = std::make_unique<LongTermSpectrum>();
    ASSERT_EQ(engine.MeasureLongTermSpectrum(*wave, *spectrum), WalkResult::Completed);
    auto target = std::make_unique<BinSpectrum>();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Pop), *target);
    RemasterSettings settings;
    settings.Bands = 20;
    const auto preview =
        std::make_unique<LevellingPreview>(PreviewLevelling(*spectrum, *target, settings));
    const GainBands bands = BandsOfGains(preview->Gains, 2, 44100, 20);
    ASSERT_EQ(curve.at("band_hz").size(), 20u);
    ASSERT_EQ(curve.at("db").size(), 2u);
    for (std::size_t i = 0; i < 20; ++i) {
        EXPECT_DOUBLE_EQ(curve["band_hz"][i].get<double>(), bands.CentreHz[i]);
        for (std::size_t c = 0; c < 2; ++c)
            EXPECT_DOUBLE_EQ(curve["db"][c][i].get<double>(), bands.Db[c][i]) << i;
    }

    // The picture takes the spectra the chain measured: a pass of its own only where no stage
    // measured the recording before or gathered it after.
    struct Passes {
        std::string stages;
        int measuringWindows;
    };
    const std::string measuring = Texts().LevellingDetectionTitle + ": 0%";
    for (const Passes& c :
         {Passes{"--level", 1}, Passes{"--level --normalize", 2}, Passes{"--denoise --level", 2}}) {
        const CliResult run = Cli(dir, "remaster " + in + " " + (dir / "r.wav").string() + " " +
                                           c.stages + " --plot " + (dir / "r.png").string());
        ASSERT_EQ(run.exit, 0) << run.err;
        int windows = 0;
        for (auto at = run.err.find(measuring); at != std::string::npos;
             at = run.err.find(measuring, at + 1))
            ++windows;
        EXPECT_EQ(windows, c.measuringWindows) << c.stages << "\n" << run.err;
    }
}

}  // namespace
}  // namespace sv
