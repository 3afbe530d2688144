#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cmath>
#include <random>

#include "base/IoError.h"
#include "support/TestFiles.h"
#include "timbre/Timbres.h"

namespace sv {
namespace {

constexpr int Bins = SpectrumBins;

std::unique_ptr<BinSpectrum> Spectrum(const BandTable& table) {
    auto s = std::make_unique<BinSpectrum>();
    BandsToSpectrum(table, *s);
    return s;
}

// S(i) = 2e9 exp(-7 (i + 1) / 62).
long double Slope(int i) { return 2e9L * std::exp(-7.0L * (i + 1) / 62.0L); }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

// ---- built-in timbres and BandsToSpectrum -----------------------------------------------------

TEST(TimbreTableTest, NamesAndTables) {
    EXPECT_EQ(TimbreByName("clear"), BuiltInTimbre::Clear);
    EXPECT_EQ(TimbreByName("SPLIT"), BuiltInTimbre::Split);
    EXPECT_EQ(TimbreByName("PreMaster"), BuiltInTimbre::Premaster);
    EXPECT_EQ(TimbreByName("drum"), BuiltInTimbre::Drum);
    EXPECT_EQ(TimbreByName("Pop"), BuiltInTimbre::Pop);
    EXPECT_EQ(TimbreByName("pops"), std::nullopt);
    EXPECT_EQ(TimbreByName(""), std::nullopt);
    EXPECT_EQ(TimbreByName("clear.sts"), std::nullopt);
    for (float v : BuiltInTable(BuiltInTimbre::Clear)) EXPECT_EQ(v, 1.0f);
    EXPECT_EQ(BuiltInTable(BuiltInTimbre::Split)[0], 0.31678525f);
    EXPECT_EQ(BuiltInTable(BuiltInTimbre::Split)[61], 1.2160084f);
    EXPECT_EQ(BuiltInTable(BuiltInTimbre::Premaster)[49], 1.9506737f);
    EXPECT_EQ(BuiltInTable(BuiltInTimbre::Drum)[35], 0.689216f);
    EXPECT_EQ(BuiltInTable(BuiltInTimbre::Pop)[30], 0.81280905f);
    EXPECT_EQ(BuiltInTable(BuiltInTimbre::Pop)[61], 2.2693412f);
}

TEST(TimbreSpectrumTest, ClearCurveFollowsTheBaseSlope) {
    const auto t = Spectrum(BuiltInTable(BuiltInTimbre::Clear));
    EXPECT_EQ((*t)[0], 0.0f);
    EXPECT_NEAR((*t)[1], 1.5957450e9, 1e2);
    EXPECT_NEAR((*t)[8191], 2.0417468e6, 0.5);
    for (int k = 1; k < Bins / 2; ++k) {
        ASSERT_EQ((*t)[Bins - k], (*t)[k]) << k;
        ASSERT_LE((*t)[k + 1], (*t)[k]) << k;  // a falling slope, interpolated without overshoot
        ASSERT_GT((*t)[k], 0.0f) << k;
    }
}

TEST(TimbreSpectrumTest, EveryTableStartsAtItsScaledBandOneAndIgnoresBandZero) {
    for (auto timbre : {BuiltInTimbre::Clear, BuiltInTimbre::Split, BuiltInTimbre::Premaster,
                        BuiltInTimbre::Drum, BuiltInTimbre::Pop}) {
        BandTable table = BuiltInTable(timbre);
        const auto t = Spectrum(table);
        EXPECT_EQ((*t)[1], static_cast<float>(table[1] * Slope(1)));
        EXPECT_EQ((*t)[8191], static_cast<float>(table[60] * Slope(60)));
        EXPECT_EQ(table, BuiltInTable(timbre));  // taken by value
        table[0] = 1234.5f;
        EXPECT_EQ(*Spectrum(table), *t);
    }
}

TEST(TimbreSpectrumTest, CosineInterpolationBetweenBands) {
    // One raised band: its neighbourhood follows (1 - cos(pi d)) / 2 on the log axis.
    BandTable table{};
    table.fill(1.0f);
    table[40] = 3.0f;
    const auto raised = Spectrum(table);
    const auto clear = Spectrum(BuiltInTable(BuiltInTimbre::Clear));
    // Band 40 sits at x = 39: f = fLow (fHigh / fLow)^(39/59) ~ 1039 Hz, bin ~ 386.
    int peak = 1;
    for (int k = 1; k <= Bins / 2; ++k)
        if ((*raised)[k] / (*clear)[k] > (*raised)[peak] / (*clear)[peak]) peak = k;
    EXPECT_NEAR(peak * 44100.0 / Bins, 1039.0, 6.0);
    EXPECT_NEAR((*raised)[peak] / (*clear)[peak], 3.0, 0.01);
    // Far from band 40 nothing changes.
    EXPECT_EQ((*raised)[100], (*clear)[100]);
    EXPECT_EQ((*raised)[3000], (*clear)[3000]);
}

// ---- *.sts files ------------------------------------------------------------------------------

struct TimbreFileTest : ::testing::Test {
    test::TempDir dir;
};

// What SaveTimbre writes for the Clear target: values near 1 for bands that hold bins (the band
// means of the cosine-interpolated slope), while the empty bands 2, 3, 4, 5, 7, 9 and 11 take the
// value of the band below divided by their own slope. Checked against an independent
// reimplementation of the band reduction in double precision.
const char* const ClearFile =
    " 8.93237113952637E-0001\r\n"
    " 1.00000000000000E+0000\r\n"
    " 1.11952352523804E+0000\r\n"
    " 1.25333309173584E+0000\r\n"
    " 1.40313589572906E+0000\r\n"
    " 1.57084381580353E+0000\r\n"
    " 1.05254685878754E+0000\r\n"
    " 1.17835104465485E+0000\r\n"
    " 9.90447402000427E-0001\r\n"
    " 1.10882925987244E+0000\r\n"
    " 9.98443961143494E-0001\r\n"
    " 1.11778151988983E+0000\r\n"
    " 1.05262124538422E+0000\r\n"
    " 1.01997208595276E+0000\r\n"
    " 1.01868200302124E+0000\r\n"
    " 1.00187301635742E+0000\r\n"
    " 9.98459935188293E-0001\r\n"
    " 1.00319623947144E+0000\r\n"
    " 9.96349692344666E-0001\r\n"
    " 1.00694715976715E+0000\r\n"
    " 1.01086366176605E+0000\r\n"
    " 1.00849437713623E+0000\r\n"
    " 1.00908827781677E+0000\r\n"
    " 9.96966242790222E-0001\r\n"
    " 9.92068529129028E-0001\r\n"
    " 9.94036793708801E-0001\r\n"
    " 9.94360268115997E-0001\r\n"
    " 9.95593249797821E-0001\r\n"
    " 9.99384284019470E-0001\r\n"
    " 1.00188422203064E+0000\r\n"
    " 1.00088310241699E+0000\r\n"
    " 9.99787092208862E-0001\r\n"
    " 1.00080156326294E+0000\r\n"
    " 9.99942064285278E-0001\r\n"
    " 9.99492883682251E-0001\r\n"
    " 9.99936401844025E-0001\r\n"
    " 9.99113142490387E-0001\r\n"
    " 9.99795675277710E-0001\r\n"
    " 9.99667048454285E-0001\r\n"
    " 9.99834358692169E-0001\r\n"
    " 1.00057184696198E+0000\r\n"
    " 1.00034916400909E+0000\r\n"
    " 1.00021600723267E+0000\r\n"
    " 9.99891579151154E-0001\r\n"
    " 9.99916195869446E-0001\r\n"
    " 1.00015234947205E+0000\r\n"
    " 9.99861001968384E-0001\r\n"
    " 9.99726772308350E-0001\r\n"
    " 9.99838590621948E-0001\r\n"
    " 1.00003135204315E+0000\r\n"
    " 1.00008881092072E+0000\r\n"
    " 1.00001370906830E+0000\r\n"
    " 9.99973893165588E-0001\r\n"
    " 9.99968826770782E-0001\r\n"
    " 9.99945998191833E-0001\r\n"
    " 9.99982833862305E-0001\r\n"
    " 1.00000894069672E+0000\r\n"
    " 9.99985516071320E-0001\r\n"
    " 1.00001871585846E+0000\r\n"
    " 1.00004053115845E+0000\r\n"
    " 1.02130329608917E+0000\r\n"
    " 1.14337313175201E+0000\r\n";

TEST_F(TimbreFileTest, SavedClearTargetHasTheExactText) {
    SaveTimbre(*Spectrum(BuiltInTable(BuiltInTimbre::Clear)), dir / "Clear.sts");
    const std::string text = test::ReadFile(dir / "Clear.sts");
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 62u);
    for (const auto& line : lines) {
        ASSERT_EQ(line.size(), 23u) << line;
        EXPECT_EQ(line[0], ' ');
        EXPECT_EQ(line[2], '.');
        EXPECT_EQ(line[17], 'E');
    }
    // The documented figures, to five decimals.
    const std::vector<double> head = {0.89324, 1.00000, 1.11952, 1.25333,
                                      1.40314, 1.57084, 1.05255, 1.17835};
    for (std::size_t i = 0; i < head.size(); ++i)
        EXPECT_NEAR(std::stod(lines[i]), head[i], 0.000006) << i;
    EXPECT_NEAR(std::stod(lines[60]), 1.02130, 0.000006);
    EXPECT_NEAR(std::stod(lines[61]), 1.14337, 0.000006);
    EXPECT_EQ(text, ClearFile);
    EXPECT_EQ(dir.CountFiles(), 1);  // no temporary file left
}

TEST_F(TimbreFileTest, ValuesAreWrittenInTheFixedScientificFormat) {
    // A negative spectrum of one power of two everywhere: the band sums are exact, so band j
    // holds -2^20 / S(j) (bands 0 and 61 copy their neighbours' sums).
    auto s = std::make_unique<BinSpectrum>();
    s->fill(-1048576.0f);
    SaveTimbre(*s, dir / "neg.sts");
    const auto lines = Lines(test::ReadFile(dir / "neg.sts"));
    ASSERT_EQ(lines.size(), 62u);
    for (int j = 0; j < 62; ++j) {
        const auto& line = lines[j];
        ASSERT_EQ(line.size(), 23u) << line;
        EXPECT_EQ(line[0], '-');
        EXPECT_TRUE(line[1] >= '1' && line[1] <= '9') << line;  // normalized mantissa
        EXPECT_EQ(line.substr(2, 1), ".");
        EXPECT_EQ(line.find_first_not_of("0123456789", 3), 17u) << line;
        EXPECT_TRUE(line[18] == '+' || line[18] == '-') << line;
        EXPECT_EQ(line.find_first_not_of("0123456789", 19), std::string::npos) << line;
        // 15 significant digits of the stored single.
        const double v = static_cast<float>(-1048576.0L / Slope(j));
        EXPECT_NEAR(std::stod(line), v, 5e-15 * std::abs(v)) << j;
    }
    EXPECT_EQ(lines[0].substr(17), "E-0004");   // -2^20 / S(0) ~ -5.9e-4
    EXPECT_EQ(lines[61].substr(17), "E-0001");  // -2^20 / S(61) ~ -0.57
    s->fill(0.0f);
    SaveTimbre(*s, dir / "zero.sts");
    EXPECT_EQ(Lines(test::ReadFile(dir / "zero.sts"))[5], " 0.00000000000000E+0000");
}

TEST_F(TimbreFileTest, FormatDoesNotDependOnTheLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    bool comma = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "cs_CZ.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            comma = true;
            break;
        }
    SaveTimbre(*Spectrum(BuiltInTable(BuiltInTimbre::Clear)), dir / "c.sts");
    auto loaded = std::make_unique<BinSpectrum>();
    LoadTimbre(*loaded, dir / "c.sts");
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(test::ReadFile(dir / "c.sts"), ClearFile);
    auto again = std::make_unique<BinSpectrum>();
    LoadTimbre(*again, dir / "c.sts");
    EXPECT_EQ(*loaded, *again);
    // Without an installed comma locale this checks the C locale only.
    RecordProperty("comma_locale", comma ? "yes" : "no");
}

TEST_F(TimbreFileTest, SavedClearLoadsBackCloseAboveThirtyHertz) {
    const auto clear = Spectrum(BuiltInTable(BuiltInTimbre::Clear));
    SaveTimbre(*clear, dir / "c.sts");
    auto loaded = std::make_unique<BinSpectrum>();
    loaded->fill(5.0f);
    LoadTimbre(*loaded, dir / "c.sts");
    EXPECT_EQ((*loaded)[0], 0.0f);
    // The saved bands are band means, so the curve comes back close, not exact; the empty low
    // bands were filled from below, so below about 30 Hz it differs clearly.
    for (int k = 1; k <= Bins / 2; ++k) {
        const double hz = k * 44100.0 / Bins;
        const double deviation = std::abs(static_cast<double>((*loaded)[k]) / (*clear)[k] - 1.0);
        if (hz > 30.0 && hz <= 1000.0) {
            ASSERT_LT(deviation, 0.011) << k;
        } else if (hz > 1000.0 && hz <= 16000.0) {
            ASSERT_LT(deviation, 0.0006) << k;
        }
        ASSERT_EQ((*loaded)[Bins - k], (*loaded)[k]);
    }
    EXPECT_NEAR((*loaded)[2] / (*clear)[2], 1.2949, 0.0001);  // 5.4 Hz: band 5's copy of band 1
    EXPECT_EQ((*loaded)[1], (*clear)[1]);
}

TEST_F(TimbreFileTest, KeepingBandMeansLoadsWhatSavingGivesBackUnchanged) {
    // Saved, loaded keeping the band means and saved again: every band that holds bins (all but
    // 0, 2, 3, 4, 5, 7, 9, 11, which are filled from below) reads as it was saved.
    for (const BuiltInTimbre timbre :
         {BuiltInTimbre::Clear, BuiltInTimbre::Pop, BuiltInTimbre::Premaster}) {
        SaveTimbre(*Spectrum(BuiltInTable(timbre)), dir / "a.sts");
        auto loaded = std::make_unique<BinSpectrum>();
        LoadTimbre(*loaded, dir / "a.sts", true);
        SaveTimbre(*loaded, dir / "b.sts");
        const auto first = Lines(test::ReadFile(dir / "a.sts"));
        const auto again = Lines(test::ReadFile(dir / "b.sts"));
        ASSERT_EQ(again.size(), 62u);
        for (int j = 1; j < 62; ++j) {
            const bool holdsBins = j == 1 || j == 6 || j == 8 || j == 10 || j > 11;
            if (!holdsBins) continue;
            EXPECT_NEAR(std::stod(again[j]) / std::stod(first[j]), 1.0, 1e-4)
                << static_cast<int>(timbre) << " " << j;
        }
    }
}

TEST_F(TimbreFileTest, LenientReading) {
    // 62 lines of "1" are the Clear curve.
    std::string ones;
    for (int i = 0; i < 62; ++i) ones += "1\r\n";
    test::WriteFile(dir / "ones.sts", ones);
    auto loaded = std::make_unique<BinSpectrum>();
    LoadTimbre(*loaded, dir / "ones.sts");
    EXPECT_EQ(*loaded, *Spectrum(BuiltInTable(BuiltInTimbre::Clear)));

    // Ten numbers in assorted syntax, the rest of each line skipped, blank lines and bare LF or CR
    // line ends: V[10..61] read as 0.
    test::WriteFile(dir / "ten.sts",
                    "1.5 the rest is skipped 99\n\n  \t-2e3\r\n+.5\r0.25\r\n1\n2.\n3E-1 x\n4e+1\n"
                    "5\n6.0000000000000000000000000000000000000000000000000000000000000000001\n");
    BandTable expected{};
    const float values[] = {1.5f, -2000.0f, 0.5f, 0.25f, 1.0f, 2.0f, 0.3f, 40.0f, 5.0f, 6.0f};
    std::copy(std::begin(values), std::end(values), expected.begin());
    LoadTimbre(*loaded, dir / "ten.sts");
    EXPECT_EQ(*loaded, *Spectrum(expected));

    // An empty file gives the all-zero table.
    test::WriteFile(dir / "empty.sts", "");
    LoadTimbre(*loaded, dir / "empty.sts");
    for (float v : *loaded) ASSERT_EQ(v, 0.0f);
}

TEST_F(TimbreFileTest, UnreadableOrNonNumericFilesThrowAndLeaveTheDestination) {
    const auto clear = Spectrum(BuiltInTable(BuiltInTimbre::Clear));
    auto dest = std::make_unique<BinSpectrum>(*clear);
    EXPECT_THROW(LoadTimbre(*dest, dir / "missing.sts"), IoError);
    EXPECT_THROW(LoadTimbre(*dest, dir.path()), IoError);  // a folder
    for (const char* text : {"abc\n", "1\n2\n1,5\n", "--1\n", "+-1\n", "0x10\n", "1e\n", ".\n"}) {
        test::WriteFile(dir / "bad.sts", text);
        EXPECT_THROW(LoadTimbre(*dest, dir / "bad.sts"), IoError) << text;
    }
    EXPECT_EQ(*dest, *clear);
}

TEST_F(TimbreFileTest, GarbageNeverCrashes) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 3000);
    const std::string alphabet = "0123456789.eE+- \t\r\nx";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    auto dest = std::make_unique<BinSpectrum>();
    int loaded = 0;
    for (int round = 0; round < 300; ++round) {
        std::string text(static_cast<std::size_t>(length(rng)), '\0');
        for (auto& ch : text) ch = static_cast<char>(round % 2 ? byte(rng) : alphabet[pick(rng)]);
        test::WriteFile(dir / "g.sts", text);
        try {
            LoadTimbre(*dest, dir / "g.sts");
            ++loaded;
        } catch (const IoError&) {
        }
    }
    EXPECT_GT(loaded, 0);
    // Huge and tiny numbers saturate instead of failing.
    test::WriteFile(dir / "big.sts", "1e999\n-1e999\n1e-999\n3e38\n");
    EXPECT_NO_THROW(LoadTimbre(*dest, dir / "big.sts"));
}

TEST_F(TimbreFileTest, NonFiniteSpectrumValuesReadBack) {
    auto s = std::make_unique<BinSpectrum>();
    s->fill(std::numeric_limits<float>::infinity());
    SaveTimbre(*s, dir / "inf.sts");
    const auto lines = Lines(test::ReadFile(dir / "inf.sts"));
    ASSERT_EQ(lines.size(), 62u);
    EXPECT_EQ(lines[0], std::string(19, ' ') + "+Inf");
    auto loaded = std::make_unique<BinSpectrum>();
    EXPECT_NO_THROW(LoadTimbre(*loaded, dir / "inf.sts"));
}

TEST_F(TimbreFileTest, SavingReplacesWholeFilesOrNothing) {
    const auto clear = Spectrum(BuiltInTable(BuiltInTimbre::Clear));
    test::WriteFile(dir / "old.sts", "old contents");
    SaveTimbre(*clear, dir / "old.sts");
    EXPECT_EQ(test::ReadFile(dir / "old.sts"), ClearFile);

    // A folder in the way, a missing folder, a read-only folder: IoError, nothing left behind.
    std::filesystem::create_directory(dir / "taken.sts");
    EXPECT_THROW(SaveTimbre(*clear, dir / "taken.sts"), IoError);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.sts"));
    EXPECT_THROW(SaveTimbre(*clear, dir / "no-such-folder" / "x.sts"), IoError);
    EXPECT_EQ(dir.CountFiles(), 2);
    std::filesystem::create_directory(dir / "ro");
    test::WriteFile(dir / "ro" / "keep.sts", "keep");
    ::chmod((dir / "ro").c_str(), 0555);
    if (::geteuid() != 0) {
        EXPECT_THROW(SaveTimbre(*clear, dir / "ro" / "keep.sts"), IoError);
        EXPECT_EQ(test::ReadFile(dir / "ro" / "keep.sts"), "keep");
    }
    ::chmod((dir / "ro").c_str(), 0755);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir / "ro"))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(TimbreFileTest, ListingShowsEachStoredNameOnceSorted) {
    test::TempDir other;
    for (const char* name :
         {"b.sts", "Ab.sts", "a.sts", "c.STS", "notes.txt", "x.sts.bak", ".sts", "my timbre.sts"})
        test::WriteFile(dir / name, "1\n");
    test::WriteFile(other / "a.sts", "1\n");
    test::WriteFile(other / "Zed.sts", "1\n");
    std::filesystem::create_directory(dir / "folder.sts");
    const auto names = ListTimbres({dir.path(), other.path(), dir / "missing"});
    EXPECT_EQ(names, (std::vector<std::string>{"a", "Ab", "b", "my timbre", "Zed"}));
    EXPECT_TRUE(ListTimbres({}).empty());
    EXPECT_TRUE(ListTimbres({dir / "missing"}).empty());
}

}  // namespace
}  // namespace sv
