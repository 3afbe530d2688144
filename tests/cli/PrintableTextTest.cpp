// What a file holds reaches stderr only as printable text.
#include <gtest/gtest.h>

#include "cli/PrintableText.h"

namespace sv::cli {
namespace {

TEST(PrintableText, EscapesEveryByteThatIsNotPartOfAPrintableCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"café, 音", "café, 音"},
        {std::string("\x1b[31m\0\n", 7), "\\x1b[31m\\x00\\x0a"},
        {"caf\xe9 C1\xc2\x9b overlong\xc0\xaf cut\xe6\x97",
         "caf\\xe9 C1\\xc2\\x9b overlong\\xc0\\xaf cut\\xe6\\x97"},
    };
    for (const auto& [text, printable] : cases) EXPECT_EQ(PrintableText(text), printable);
}

}  // namespace
}  // namespace sv::cli
