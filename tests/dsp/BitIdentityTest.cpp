#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dsp/FFTRadix4.h"
#include "dsp/RemasterChain.h"
#include "support/TestFiles.h"
#include "timbre/Timbres.h"
#include "view/WaveOverview.h"

// Every engine operation and the remaster chain on generated documents: the straightforward
// path (one thread, every stage measuring on its own) and the fast one must leave the same
// values in the store, margins included, and both must match what the program wrote before
// the fast paths existed (the fingerprints below).

namespace sv {
namespace {

std::uint64_t Fingerprint(const void* data, std::size_t bytes,
                          std::uint64_t hash = 1469598103934665603ull) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < bytes; ++i) {
        hash ^= p[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::uint64_t StoreFingerprint(Wave& wave) {
    const auto values = test::StoreValues(wave);
    return Fingerprint(values.data(), values.size() * sizeof(std::int32_t));
}

std::uint64_t SpectraFingerprint(const BinSpectrum& a, const BinSpectrum& b) {
    return Fingerprint(b.data(), sizeof(float) * b.size(),
                       Fingerprint(a.data(), sizeof(float) * a.size()));
}

struct Material {
    const char* name;
    int channels;
    int bits;
    std::int64_t frames;
};

// Music-like: two tones, a slow swell, a noise floor, a quiet lead-in for the noise detection
// and a few isolated loud clicks for the peak fitting.
std::unique_ptr<Wave> MakeMaterial(const WaveEnvironment& env, const Material& m) {
    auto wave = Wave::CreateEmpty(1, static_cast<std::uint16_t>(m.channels), 44100,
                                  static_cast<std::uint16_t>(m.bits), m.frames, env);
    const double full = m.bits == 8 ? 127.0 : 32767.0;
    std::vector<std::int32_t> raw(static_cast<std::size_t>(m.frames * m.channels));
    for (std::int64_t f = 0; f < m.frames; ++f)
        for (int c = 0; c < m.channels; ++c) {
            const double t = static_cast<double>(f) / 44100.0;
            const double swell = f < 3 * Engine::BlockSize ? 0.0 : 0.3 + 0.25 * std::sin(t * 1.7);
            double v = swell * (std::sin(t * 2 * 3.14159265 * (220 + 40 * c)) +
                                0.5 * std::sin(t * 2 * 3.14159265 * 3300));
            v += (test::Noise16(f, c) / 32768.0) * 0.004;
            if (f % 50021 == 7000 + 3 * c) v = 0.97;
            int sample = static_cast<int>(std::lround(std::clamp(v, -1.0, 1.0) * full));
            raw[static_cast<std::size_t>(f * m.channels + c)] = sample * 256;
        }
    wave->WriteRaw(raw.data(), m.channels * MarginFrames, m.frames * m.channels);
    return wave;
}

// Short and long, mono and stereo, 16 and 8 bits: each way a path can differ, once. (A stereo
// 8-bit material repeated what stereo16 long and mono8 long cover, at a third of the time.)
const std::vector<Material>& Materials() {
    static const std::vector<Material> materials = {
        {"mono16 short", 1, 16, 3 * Engine::Hop + 77},
        {"stereo16 short", 2, 16, 2 * Engine::Hop + 5},
        {"stereo16 long", 2, 16, 23 * Engine::Hop + 1234},
        {"mono8 long", 1, 8, 18 * Engine::Hop + 4095},
    };
    return materials;
}

struct Fixture {
    test::TempDir dir;
    ViewPosition view{1000, 2};
    WaveOverview overview{view};
    WaveEnvironment env = test::MakeEnv(dir.path(), nullptr, &overview);
};

// Runs one case on every material, both ways; fingerprints by material name.
using Case = std::function<std::uint64_t(Engine&, std::unique_ptr<Wave>&)>;

// The fast paths as the program runs them: with a thread per channel, with a thread per channel
// levelling and fitting peaks in place (as the command line does), on one thread fitting peaks in
// place (as batch workers do), and on one thread with four-wide vectors only (as on a CPU without
// AVX2).
enum class Way { Straightforward, Fast, FastInPlace, FastOneThread, FastOneThreadNarrow };

std::map<std::string, std::uint64_t> RunCase(Fixture& fx, const Case& run, Way way) {
    struct RestoreWide {
        ~RestoreWide() { fftkernel::UseWideVectors(true); }
    } restore;
    fftkernel::UseWideVectors(way != Way::FastOneThreadNarrow);
    std::map<std::string, std::uint64_t> result;
    for (const Material& m : Materials()) {
        EngineOptions options;
        options.FastPaths = way != Way::Straightforward;
        options.ChannelThreads = way == Way::Fast || way == Way::FastInPlace;
        options.FitInPlace = way == Way::FastOneThread || way == Way::FastInPlace;
        options.LevelInPlace = way == Way::FastInPlace;
        options.EitherThreadLeads = way == Way::FastInPlace;
        Engine engine(fx.env.Ports, options);
        auto wave = MakeMaterial(fx.env, m);
        result[m.name] = run(engine, wave);
    }
    return result;
}

BinSpectrum Ramp(float from, float step) {
    BinSpectrum s{};
    for (int k = 0; k < SpectrumBins; ++k) s[k] = from + step * static_cast<float>(k % 997);
    return s;
}

std::uint64_t Chain(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s) {
    auto spectra = std::make_unique<SharedSpectra>();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Pop), spectra->Target);
    RunChain(engine, wave, s, *spectra);
    return StoreFingerprint(*wave) ^
           3 * SpectraFingerprint(spectra->Measured[0], spectra->Measured[1]) ^
           5 * SpectraFingerprint(spectra->NoiseProfile[0], spectra->NoiseProfile[1]);
}

RemasterSettings AllStages() {
    RemasterSettings s;
    s.RemoveNoise = s.Levelling = s.FitPeaks = s.Normalize = true;
    return s;
}

struct NamedCase {
    const char* name;
    Case run;
};

void PrintTo(const NamedCase& c, std::ostream* out) { *out << c.name; }

std::vector<NamedCase> Cases() {
    std::vector<NamedCase> cases = {
        {"normalize common",
         [](Engine& e, auto& w) {
             e.Normalize(w, -1, false);
             return StoreFingerprint(*w);
         }},
        {"normalize per channel",
         [](Engine& e, auto& w) {
             e.Normalize(w, -7, true);
             return StoreFingerprint(*w);
         }},
        {"gain curves",
         [](Engine& e, auto& w) {
             e.ApplyGainCurves(w, Ramp(0.5f, 0.001f), Ramp(1.2f, -0.0005f));
             return StoreFingerprint(*w);
         }},
        {"measure",
         [](Engine& e, auto& w) {
             BinSpectrum a, b;
             e.MeasureSpectrum(*w, a, b, BandLevelMode::MostlyPeak);
             return SpectraFingerprint(a, b);
         }},
        {"detect noise",
         [](Engine& e, auto& w) {
             BinSpectrum a, b;
             e.DetectNoise(*w, a, b, 3, 1);
             return SpectraFingerprint(a, b);
         }},
        {"remove noise",
         [](Engine& e, auto& w) {
             e.RemoveNoise(w, Ramp(3000.0f, 10.0f), Ramp(9000.0f, -3.0f));
             return StoreFingerprint(*w);
         }},
        {"fit peaks 5/512",
         [](Engine& e, auto& w) {
             e.FitPeaks(w, 5, 512);
             return StoreFingerprint(*w);
         }},
        {"fit peaks 100/4096",
         [](Engine& e, auto& w) {
             e.FitPeaks(w, 100, 4096);
             return StoreFingerprint(*w);
         }},
        {"chain all", [](Engine& e, auto& w) { return Chain(e, w, AllStages()); }},
        {"chain noise + levelling",
         [](Engine& e, auto& w) {
             RemasterSettings s;
             s.RemoveNoise = s.Levelling = true;
             s.NoiseParts = 4;
             s.NoisePercent = 150;
             return Chain(e, w, s);
         }},
        {"chain levelling + peaks + normalize",
         [](Engine& e, auto& w) {
             RemasterSettings s = AllStages();
             s.RemoveNoise = false;
             s.PeakBlockSize = 1024;
             s.PeakCount = 20;
             s.PerChannel = true;
             s.NormalizeDb = -3;
             return Chain(e, w, s);
         }},
        {"chain peaks + normalize",
         [](Engine& e, auto& w) {
             RemasterSettings s;
             s.FitPeaks = s.Normalize = true;
             s.PeakBlockSize = 8192;
             return Chain(e, w, s);
         }},
        {"chain noise + peaks",
         [](Engine& e, auto& w) {
             RemasterSettings s;
             s.RemoveNoise = s.FitPeaks = true;
             return Chain(e, w, s);
         }},
    };
    for (int mode : {0, 2, 4})
        cases.push_back({mode == 0   ? "chain channel/band mode 0"
                         : mode == 2 ? "chain channel/band mode 2"
                                     : "chain channel/band mode 4",
                         [mode](Engine& e, auto& w) {
                             RemasterSettings s = AllStages();
                             s.ChannelMode = static_cast<ChannelMode>(mode);
                             s.BandLevelMode = static_cast<BandLevelMode>(4 - mode);
                             s.HighPass = mode != 2;
                             s.LowPass = mode != 0;
                             s.Bands = 20 + 40 * mode;
                             return Chain(e, w, s);
                         }});
    return cases;
}

// Fingerprints of the values the program wrote before its fast paths, by case and material.
const std::map<std::string, std::uint64_t>& Expected() {
    static const std::map<std::string, std::uint64_t> expected = {
#include "BitIdentityFingerprints.inc"
    };
    return expected;
}

std::string TestName(const testing::TestParamInfo<NamedCase>& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)))
            name += *c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    return name;
}

// One test per case, so that a parallel test run spreads them over the cores.
class BitIdentity : public testing::TestWithParam<NamedCase> {};

TEST_P(BitIdentity, FastAndStraightforwardPathsWriteTheSameValues) {
    const NamedCase& c = GetParam();
    Fixture fx;
    std::string table;
    const auto slow = RunCase(fx, c.run, Way::Straightforward);
    const auto fast = RunCase(fx, c.run, Way::Fast);
    const auto inPlace = RunCase(fx, c.run, Way::FastInPlace);
    const auto oneThread = RunCase(fx, c.run, Way::FastOneThread);
    const auto narrow = RunCase(fx, c.run, Way::FastOneThreadNarrow);
    for (const auto& [material, hash] : slow) {
        const std::string key = std::string(c.name) + " / " + material;
        EXPECT_EQ(fast.at(material), hash) << key;
        EXPECT_EQ(inPlace.at(material), hash) << key << ", in place";
        EXPECT_EQ(oneThread.at(material), hash) << key << ", one thread";
        EXPECT_EQ(narrow.at(material), hash) << key << ", four-wide vectors";
        char line[160];
        std::snprintf(line, sizeof line, "{\"%s\", 0x%016llxull},\n", key.c_str(),
                      static_cast<unsigned long long>(hash));
        table += line;
        const auto it = Expected().find(key);
        if (it == Expected().end())
            ADD_FAILURE() << "no fingerprint for " << key;
        else
            EXPECT_EQ(hash, it->second) << key;
    }
    if (HasFailure()) std::printf("%s", table.c_str());
    EXPECT_EQ(fx.dir.CountFiles(".swap"), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryCase, BitIdentity, testing::ValuesIn(Cases()), TestName);

}  // namespace
}  // namespace sv
