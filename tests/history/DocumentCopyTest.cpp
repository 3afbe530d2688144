#include <gtest/gtest.h>
#include <malloc.h>

#include "history/DocumentCopy.h"
#include "support/EngineFixture.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

struct DocumentCopyTest : test::EngineFixture {};

// A copy waits in the undo history while the window processes and plays: it holds the same
// values but not a whole store window of memory (4 MiB each in a long file's window).
TEST_F(DocumentCopyTest, ACopyHoldsTheValuesInLittleMemory) {
    env.StoreWindowValues = FileMemory::WindowValues;
    auto source = test::MakeDocument(env, 2, 44100, 600000, test::Noise16);
    const std::size_t before = mallinfo2().uordblks;
    auto copy = CopyDocument(*source);
    const std::size_t held = mallinfo2().uordblks - before;
    EXPECT_EQ(test::StoreValues(*copy), test::StoreValues(*source));
    EXPECT_LE(held, std::size_t{5} << 19) << "bytes held by the copy";
}

}  // namespace
}  // namespace sv
