#include "cli/Commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "audio/wav.h"
#include "base/IoError.h"
#include "base/MyTime.h"
#include "base/WorkFolder.h"
#include "cli/TerminalProgress.h"
#include "text/Language.h"

namespace sv::cli {

namespace {

// Messages go to stderr; the command line never asks, so every question answers No.
class TStderrDialogs final : public TUserDialogs {
public:
    void Message(const std::string& text) override {
        std::fprintf(stderr, "sonivar-cli: %s\n", text.c_str());
    }
    bool Question(const std::string& text) override {
        std::fprintf(stderr, "sonivar-cli: %s (answered No)\n", text.c_str());
        return false;
    }
    void SetBusy(bool) override {}
};

struct TSession {
    TStderrDialogs dialogs;
    TWaveEnv env;
};

void SetUp(TSession& session, const TOptions& options) {
    session.env.WorkFolder =
        options.WorkFolder.empty() ? ChooseWorkFolder() : std::filesystem::path(options.WorkFolder);
    session.env.Ports.progress = TerminalProgressFactory(options.Quiet);
    session.env.Ports.dialogs = &session.dialogs;
    session.env.View = nullptr;
}

// Loads IN; on refusal reports it and returns null with exit set.
std::unique_ptr<TWave> Open(TSession& session, const std::string& path, int& exit) {
    bool notPcm = false;
    auto wave = TWave::CreateFromFile(path, session.env, &notPcm);
    if (wave->HasData()) return wave;
    if (notPcm) session.dialogs.Message(Texts().CaNePCM + ": " + path);
    exit = ExitRefused;
    return nullptr;
}

std::int64_t ChannelPeak(TWave& wave, int channel) {
    const std::int64_t frames = wave.SampleCount();
    TArrayOfLongint block(16384);
    std::int64_t peak = 0;
    for (std::int64_t first = 0; first < frames; first += 16384) {
        const std::int64_t count = std::min<std::int64_t>(16384, frames - first);
        wave.ReadChannel(block.data(), first + MarginFrames, channel, count);
        for (std::int64_t i = 0; i < count; ++i)
            peak = std::max<std::int64_t>(peak, std::abs(static_cast<std::int64_t>(block[i])));
    }
    return peak;
}

int RunInfo(TSession& session, const TOptions& options) {
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return exit;
    std::printf("format: PCM\n");
    std::printf("channels: %d\n", wave->Channels());
    std::printf("sample_rate: %d\n", wave->SampleRate());
    std::printf("bits_per_sample: %d\n", wave->BitsPerSample());
    std::printf("frames: %lld\n", static_cast<long long>(wave->SampleCount()));
    std::printf("duration: %s\n", DurationText(wave->SampleCount(), wave->SampleRate()).c_str());
    std::string peaks;
    for (int c = 0; c < wave->Channels(); ++c) {
        const std::int64_t peak = ChannelPeak(*wave, c);
        char text[32];
        if (peak == 0) {
            std::snprintf(text, sizeof text, "-inf");
        } else {
            std::snprintf(text, sizeof text, "%.2f",
                          20.0 * std::log10(static_cast<double>(peak) / wave->FullScale()));
        }
        peaks += (c ? " " : "") + std::string(text);
    }
    std::printf("peak_dbfs: %s\n", peaks.c_str());
    return ExitDone;
}

int RunRemaster(TSession& session, const TOptions& options) {
    const auto& s = options.Settings;
    if (s.RemoveNoise || s.Remastering || s.PeakDown || s.Normalize) {
        std::fprintf(stderr, "sonivar-cli: processing stages are not built yet\n");
        return ExitUsage;
    }
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return exit;
    if (Interrupted()) return ExitCancelled;
    if (!wave->SaveToFile(options.Output)) {
        session.dialogs.Message(Texts().CaDatNoSave + ": " + options.Output);
        return ExitIoFailure;
    }
    return ExitDone;
}

}  // namespace

int Run(const TOptions& options) {
    TSession session;
    SetUp(session, options);
    switch (options.Command) {
        case TCommand::Help:
            std::fputs(UsageText().c_str(), stdout);
            return ExitDone;
        case TCommand::Version:
            std::printf("sonivar-cli %s\n", SONIVAR_VERSION);
            return ExitDone;
        case TCommand::Info:
            return RunInfo(session, options);
        case TCommand::Remaster:
            return RunRemaster(session, options);
        case TCommand::Detect:
        case TCommand::Batch:
            std::fprintf(stderr, "sonivar-cli: this command is not built yet\n");
            return ExitUsage;
    }
    return ExitUsage;
}

int Main(int argc, const char* const* argv) {
    LoadLanguage();
    std::string error;
    const auto options = ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "sonivar-cli: %s (see sonivar-cli --help)\n", error.c_str());
        return ExitUsage;
    }
    InstallInterruptHandlers();
    try {
        return Run(*options);
    } catch (const IoError& e) {
        std::fprintf(stderr, "sonivar-cli: %s\n", e.what());
        return ExitIoFailure;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "sonivar-cli: out of memory\n");
        return ExitIoFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sonivar-cli: %s\n", e.what());
        return ExitIoFailure;
    }
}

}  // namespace sv::cli
