#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>

#include "text/Language.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

std::size_t CodePoints(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

class LanguageFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("sonivar-language-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    LanguageTexts Load(const std::string& bytes) {
        WriteBytes(dir_ / "language.ini", bytes);
        LanguageTexts texts;
        LoadLanguageFrom(dir_ / "language.ini", texts);
        return texts;
    }

    fs::path dir_;
};

TEST(LanguageTable, SectionSizesAndLookup) {
    std::map<std::string_view, int> perSection;
    std::set<std::string_view> names;
    const LanguageTexts texts;
    for (const LanguageKey& row : LanguageKeys()) {
        ++perSection[row.Section];
        EXPECT_TRUE(names.insert(row.Key).second) << "duplicate key " << row.Key;
        EXPECT_FALSE((texts.*row.Member).empty()) << row.Key;
        EXPECT_EQ(texts.Find(row.Key), &(texts.*row.Member)) << row.Key;
    }
    const std::map<std::string_view, int> expected = {
        {"main", 163}, {"Wav", 2}, {"time", 1}, {"filters", 12}, {"batch", 14}, {"UHelp", 41}};
    EXPECT_EQ(perSection, expected);

    EXPECT_EQ(texts.Find("cAoPeN"), &texts.OpenCaption);
    EXPECT_EQ(texts.Find("CaOpenX"), nullptr);
    EXPECT_EQ(texts.Find(""), nullptr);
}

TEST(LanguageTable, DefaultTexts) {
    const LanguageTexts texts;
    EXPECT_EQ(texts.OpenCaption, "Open");
    EXPECT_EQ(texts.SaveAsCaption, "Save As ...");
    EXPECT_EQ(texts.MissingFileSuffix, "doesn't exists!");
    EXPECT_EQ(texts.ReadingTitle, "Reading");
    EXPECT_EQ(texts.TimeRemainingLabel, "Estimated time remaining");
    EXPECT_EQ(texts.PeakFittingTitle, "Peeks fitting");
    EXPECT_EQ(texts.CancelCaption, "Cancel");
    EXPECT_EQ(texts.RequirementsTopicTitle,
              "Program requirements");  // trailing blank of the default dropped
    EXPECT_EQ(texts.BandPeakHelp,
              "Remaster according peek value of band (recomended for \"from example\" parametr "
              "of sound timbre)");
    EXPECT_EQ(Texts().OpenCaption, "Open");  // the program-wide table starts at the defaults
}

TEST_F(LanguageFile, MissingOrUnreadableFileGivesDefaults) {
    LanguageTexts texts = Load("[main]\nCaOpen=Otevřít\n");
    ASSERT_EQ(texts.OpenCaption, "Otevřít");

    LoadLanguageFrom(dir_ / "missing.ini", texts);  // a later load starts from the defaults
    EXPECT_EQ(texts, LanguageTexts{});
    EXPECT_FALSE(fs::exists(dir_ / "missing.ini"));

    LoadLanguageFrom(dir_, texts);  // a folder cannot be read as a file
    EXPECT_EQ(texts, LanguageTexts{});

    EXPECT_EQ(Load(""), LanguageTexts{});
}

TEST_F(LanguageFile, NamesIgnoreCaseAndBlanksAreTrimmed) {
    const LanguageTexts texts = Load(
        "[MAIN]\n"
        "  caopen \t=  Otevřít  \t\n"
        "HISAVE=Uložit soubor\n"
        "\t[ uhelp ]\t\n"
        "CAHELP7 = a = b\n");
    EXPECT_EQ(texts.OpenCaption, "Otevřít");
    EXPECT_EQ(texts.SaveHint, "Uložit soubor");
    EXPECT_EQ(texts.TechnicalHelp, "a = b");  // only the first equals sign separates
    EXPECT_EQ(texts.SaveCaption, "Save");
}

TEST_F(LanguageFile, EmptyValueGivesEmptyText) {
    const LanguageTexts texts = Load("[main]\nCaOpen=\nCaSave=  \t\nCaEnd=\"\"\n");
    EXPECT_EQ(texts.OpenCaption, "");
    EXPECT_EQ(texts.SaveCaption, "");
    EXPECT_EQ(texts.ExitCaption, "");
    EXPECT_EQ(texts.FileMenuCaption, "&File");
}

TEST_F(LanguageFile, KeysOutsideTheirSectionAreNotFound) {
    const LanguageTexts texts = Load(
        "CaFile=before any section\n"
        "[Wav]\nCaOpen=wrong section\n"
        "[main]\nCaReading=wrong section\n"
        "not a key line\n"
        "; CaSave=comment\n"
        "[main\nCaEnd=broken header keeps main\n"
        "[unknown]\nCaHelp=unknown section\n"
        "[]\nCaEdit=empty section\n");
    EXPECT_EQ(texts.FileMenuCaption, "&File");
    EXPECT_EQ(texts.OpenCaption, "Open");
    EXPECT_EQ(texts.ReadingTitle, "Reading");
    EXPECT_EQ(texts.SaveCaption, "Save");
    EXPECT_EQ(texts.ExitCaption, "broken header keeps main");
    EXPECT_EQ(texts.HelpMenuCaption, "&Help");
    EXPECT_EQ(texts.EditMenuCaption, "&Edit");
}

TEST_F(LanguageFile, FirstOccurrenceWins) {
    const LanguageTexts texts = Load(
        "[main]\nCaOpen=first\nCAOPEN=second\n"
        "[Wav]\n[main]\nCaOpen=third\nCaSave=last line without newline");
    EXPECT_EQ(texts.OpenCaption, "first");
    EXPECT_EQ(texts.SaveCaption, "last line without newline");
}

TEST_F(LanguageFile, MatchingQuotesAreStripped) {
    const LanguageTexts texts = Load(
        "[main]\n"
        "CaOpen=  \"  padded  \"  \n"
        "CaSave='single'\n"
        "CaEnd=\"mismatched'\n"
        "CaFile=\"\n"
        "CaEdit=\"\"inner\"\"\n"
        "CaHelp=say \"hi\"\n");
    EXPECT_EQ(texts.OpenCaption, "  padded  ");
    EXPECT_EQ(texts.SaveCaption, "single");
    EXPECT_EQ(texts.ExitCaption, "\"mismatched'");
    EXPECT_EQ(texts.FileMenuCaption, "\"");
    EXPECT_EQ(texts.EditMenuCaption, "\"inner\"");
    EXPECT_EQ(texts.HelpMenuCaption, "say \"hi\"");
}

TEST_F(LanguageFile, LongValuesAreCutToWholeCharacters) {
    const std::string e = "é";              // two bytes in UTF-8
    const std::string clef = "\U0001D11E";  // four bytes
    const LanguageTexts texts = Load(
        "[main]\n"
        "CaOpen=" +
        Repeat(e, 3000) + "\n" + "CaSave=" + Repeat(clef, 2100) + "\n" + "CaEnd=\"" +
        Repeat("x", MaxTextLength) + "\"   \n" + "CaFile=" + Repeat("y", MaxTextLength) + "\n");
    EXPECT_EQ(texts.OpenCaption, Repeat(e, MaxTextLength));
    EXPECT_EQ(texts.SaveCaption, Repeat(clef, MaxTextLength));
    EXPECT_EQ(texts.ExitCaption, Repeat("x", MaxTextLength));  // quotes go before the cut
    EXPECT_EQ(texts.FileMenuCaption, Repeat("y", MaxTextLength));

    // An ANSI file counts one character per byte.
    EXPECT_EQ(Load("[main]\nCaOpen=" + std::string(3000, '\xE9')).OpenCaption,
              Repeat(e, MaxTextLength));
}

TEST_F(LanguageFile, FileEncodings) {
    // Not valid UTF-8: the whole file is Windows-1252.
    LanguageTexts texts = Load("[UHelp]\r\nCaHelp32=\x84Pop\x93 \x80 \x81\xE9\r\n");
    EXPECT_EQ(texts.RemoveNoiseHelp, "„Pop“ € \u0081é");

    // One stray byte decides for the whole file, so UTF-8 elsewhere turns into its ANSI reading.
    texts = Load("[main]\nCaOpen=ř\nCaSave=\xFF\n");
    EXPECT_EQ(texts.OpenCaption, "Å™");
    EXPECT_EQ(texts.SaveCaption, "ÿ");

    // UTF-8 with byte order mark and CRLF; a marked file stays UTF-8 despite a broken byte.
    texts = Load("\xEF\xBB\xBF[main]\r\nCaOpen=Otevřít\r\nCaSave=a\xFFz\r\n");
    EXPECT_EQ(texts.OpenCaption, "Otevřít");
    EXPECT_EQ(texts.SaveCaption, "a\uFFFDz");

    // Overlong and surrogate forms are not UTF-8.
    EXPECT_EQ(Load("[main]\nCaOpen=\xC0\xAF\n").OpenCaption, "À¯");
    EXPECT_EQ(Load("[main]\nCaOpen=\xED\xA0\x80\n").OpenCaption, "í\u00A0€");
}

TEST_F(LanguageFile, GarbageNeverBreaksTheTable) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string garbage;
    for (int i = 0; i < 1 << 20; ++i) garbage += static_cast<char>(byte(random));
    garbage += std::string(300000, '=');  // one huge line

    const LanguageTexts texts =
        Load(garbage + "\n[main]\nCaOpen=ok\nCaSave=" + std::string(200000, 'x'));
    EXPECT_EQ(texts.OpenCaption, "ok");
    EXPECT_EQ(texts.SaveCaption, std::string(MaxTextLength, 'x'));
    for (const LanguageKey& row : LanguageKeys())
        EXPECT_LE(CodePoints(texts.*row.Member), MaxTextLength) << row.Key;
}

TEST_F(LanguageFile, ProgramReadsTheFileBesideItsExecutable) {
    const fs::path beside = fs::read_symlink("/proc/self/exe").parent_path() / "language.ini";
    if (fs::exists(beside)) GTEST_SKIP() << "a language.ini already sits beside the tests";
    WriteBytes(beside, "[main]\nCaOpen=beside\n");
    WriteBytes(dir_ / "language.ini", "[main]\nCaOpen=cwd\nCaSave=cwd\n");
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);

    LoadLanguage();
    const LanguageTexts loaded = Texts();

    fs::current_path(previous);
    fs::remove(beside);
    MutableTexts() = LanguageTexts{};
    EXPECT_EQ(loaded.OpenCaption, "beside");
    EXPECT_EQ(loaded.SaveCaption, "Save");
}

}  // namespace
}  // namespace sv
