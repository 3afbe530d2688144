// What a file holds reaches stderr only as printable text.
#include <gtest/gtest.h>

#include "cli/PrintableText.h"

namespace sv::cli {
namespace {

TEST(PrintableText, EscapesEveryByteThatIsNotAPrintableCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain text, café, 音", "plain text, café, 音"},
        {"\x1b[31mred\x07", "\\x1b[31mred\\x07"},
        {std::string("nul\0tab\tline\n", 13), "nul\\x00tab\\x09line\\x0a"},
        {"latin-1 caf\xe9!", "latin-1 caf\\xe9!"},
        {"C1 \xc2\x9b"
         "2J",
         "C1 \\xc2\\x9b2J"},
        {"overlong \xc0\xaf, surrogate \xed\xa0\x80",
         "overlong \\xc0\\xaf, surrogate \\xed\\xa0\\x80"},
        {"cut \xe6\x97", "cut \\xe6\\x97"},
    };
    for (const auto& [text, printable] : cases) EXPECT_EQ(PrintableText(text), printable);
}

}  // namespace
}  // namespace sv::cli
