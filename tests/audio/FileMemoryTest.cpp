#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>

#include "audio/FileMemory.h"
#include "base/IoError.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

using test::TempDir;

std::int32_t ValueInFile(const std::filesystem::path& file, std::int64_t index) {
    const std::string bytes = test::ReadFile(file);
    std::int32_t v = 0;
    std::memcpy(&v, bytes.data() + 4 * index, 4);
    return v;
}

TEST(FileMemory, FirstAccessReadsAWholeWindowOfZeros) {
    TempDir dir;
    FileMemory store(dir / "a.tmp");
    store.SetLength(1);
    EXPECT_EQ(store.ReadValue(0), 0);
    EXPECT_EQ(store.WindowStart(), 0);
    EXPECT_EQ(store.ReadValue(1048575), 0);
}

TEST(FileMemory, JumpCentresTheWindowOnTheIndex) {
    TempDir dir;
    FileMemory store(dir / "a.tmp");
    store.SetLength(3000000);
    store.ReadValue(2000000);
    EXPECT_EQ(store.WindowStart(), 1475712);  // window 1,475,712 .. 2,524,287
}

TEST(FileMemory, SetLengthKeepsAtLeastOneWindowOnDisk) {
    TempDir dir;
    FileMemory store(dir / "a.tmp");
    store.SetLength(10);
    EXPECT_EQ(std::filesystem::file_size(dir / "a.tmp"), 4194304u);
    store.SetLength(2000000);
    EXPECT_EQ(std::filesystem::file_size(dir / "a.tmp"), 8000000u);
    EXPECT_EQ(store.Length(), 2000000);
}

TEST(FileMemory, SequentialWritesReadBackAcrossWindowMoves) {
    TempDir dir;
    FileMemory store(dir / "a.tmp");
    store.SetLength(1600000);
    for (std::int64_t i = 0; i < 1600000; ++i)
        store.WriteValue(i, static_cast<std::int32_t>(i * 7 - 3));
    // The first two halves went to disk at the forward steps; the rest only at the jump back.
    EXPECT_EQ(ValueInFile(dir / "a.tmp", 524287), 524287 * 7 - 3);
    EXPECT_EQ(ValueInFile(dir / "a.tmp", 1048575), 1048575 * 7 - 3);
    EXPECT_EQ(ValueInFile(dir / "a.tmp", 1599999), 0);
    for (std::int64_t i = 0; i < 1600000; ++i)
        ASSERT_EQ(store.ReadValue(i), static_cast<std::int32_t>(i * 7 - 3)) << i;
}

std::int64_t ResidentBytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<std::int64_t>(resident) * ::sysconf(_SC_PAGESIZE);
}

TEST(FileMemory, AReleasedWindowHoldsNoMemoryAndKeepsEveryValue) {
    TempDir dir;
    FileMemory store(dir / "a.tmp");
    const std::int64_t n = FileMemory::WindowValues + FileMemory::HalfWindow;
    store.SetLength(n);
    for (std::int64_t i = 0; i < n; ++i) store.WriteValue(i, static_cast<std::int32_t>(i ^ 0x5a5a));
    const std::int64_t before = ResidentBytes();
    store.ReleaseWindow();  // the last half window is changed only in memory
    EXPECT_GT(before - ResidentBytes(), 3 * FileMemory::WindowValues);  // of its 4 bytes each
    EXPECT_EQ(ValueInFile(dir / "a.tmp", n - 1), static_cast<std::int32_t>((n - 1) ^ 0x5a5a));
    for (std::int64_t i = n - 1; i >= 0; --i)
        ASSERT_EQ(store.ReadValue(i), static_cast<std::int32_t>(i ^ 0x5a5a)) << i;
}

TEST(FileMemory, BackwardStepKeepsTheOverlapInMemory) {
    TempDir dir;
    FileMemory store(dir / "a.tmp");
    store.SetLength(2000000);
    store.WriteValue(1000000, 42);  // window 475,712 .. 1,524,287, modified
    EXPECT_EQ(store.WindowStart(), 475712);
    EXPECT_EQ(store.ReadValue(400000), 0);  // backward step clamped at 0
    EXPECT_EQ(store.WindowStart(), 0);
    EXPECT_EQ(ValueInFile(dir / "a.tmp", 1000000), 0);  // still only in the kept part
    EXPECT_EQ(store.ReadValue(1000000), 42);
}

TEST(FileMemory, DestroyRemovesTheSwapFileWithoutWritingBack) {
    TempDir dir;
    {
        FileMemory store(dir / "a.tmp");
        store.SetLength(100);
        store.WriteValue(5, 9);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "a.tmp"));
}

TEST(FileMemory, ExclusiveCreationRefusesAnExistingName) {
    TempDir dir;
    FileMemory first(dir / "a.tmp", true);
    try {
        FileMemory second(dir / "a.tmp", true);
        FAIL() << "a second store took the same swap file";
    } catch (const IoError& e) {
        EXPECT_EQ(e.Code(), EEXIST);
    }
}

// A jump writes the whole window back; a block just past it moves the window by half, writing
// back outside the lock.
class FileMemoryFailedWriteBack : public ::testing::TestWithParam<bool> {};

TEST_P(FileMemoryFailedWriteBack, NamesTheSwapFileAndKeepsTheWindow) {
    TempDir dir;
    FileMemory store(dir / "a.tmp");
    store.SetLength(4 * FileMemory::WindowValues);
    store.WriteValue(0, 5);  // window 0 .. W - 1, modified
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1 << 20;  // a disk that fills up a quarter of the way through the window
    ::setrlimit(RLIMIT_FSIZE, &small);
    try {
        std::int32_t values[2];
        if (GetParam())
            store.ReadValue(3 * FileMemory::WindowValues);
        else
            store.ReadBlock(FileMemory::WindowValues - 2, 2, 2, values);
        ADD_FAILURE() << "the failed write-back was not reported";
    } catch (const IoError& error) {
        EXPECT_EQ(error.Code(), EFBIG);
        EXPECT_NE(std::string(error.what()).find((dir / "a.tmp").string()), std::string::npos);
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(store.WindowStart(), 0);
    EXPECT_EQ(store.ReadValue(0), 5);
}

INSTANTIATE_TEST_SUITE_P(JumpOrStep, FileMemoryFailedWriteBack, ::testing::Bool());

TEST(FileMemory, WindowSizesArePowersOfTwoUpToTheDefault) {
    TempDir dir;
    for (const std::int64_t wrong :
         {std::int64_t{0}, std::int64_t{8}, std::int64_t{1000}, 2 * FileMemory::WindowValues})
        EXPECT_THROW(FileMemory(dir / "a.tmp", false, wrong), std::invalid_argument) << wrong;
    FileMemory store(dir / "a.tmp", false, 16);
    store.SetLength(100);
    store.WriteValue(99, 7);
    EXPECT_EQ(store.ReadValue(1), 0);
    EXPECT_EQ(store.WindowStart(), 0);
    EXPECT_EQ(store.ReadValue(99), 7);
    EXPECT_EQ(store.WindowStart(), 91);
}

// The tests that move the window often use a small one: the same moves on 1/16 of the data.
constexpr std::int64_t SmallWindow = 65536;

// Block transfers must give the same values and the same window positions as single calls.
TEST(FileMemory, BlockTransfersMatchSingleValueAccess) {
    TempDir dir;
    constexpr std::int64_t W = SmallWindow;
    FileMemory single(dir / "single.tmp", false, W);
    FileMemory block(dir / "block.tmp", false, W);
    const std::int64_t length = 3 * W + 1234;
    single.SetLength(length);
    block.SetLength(length);
    std::mt19937 random(7);
    const std::int64_t longest = W / 2 + W / 16;
    std::vector<std::int32_t> in(longest + W / 8), out(in.size()), expect(in.size());
    for (int step = 0; step < 60; ++step) {
        const std::int64_t stride = 1 + random() % 3;
        const std::int64_t count = 1 + random() % longest;
        const std::int64_t index = random() % (length - stride * count);
        for (auto& v : in) v = static_cast<std::int32_t>(random() % 100000) - 50000;
        switch (random() % 3) {
            case 0:
                for (std::int64_t i = 0; i < count; ++i)
                    single.WriteValue(index + i * stride, in[i]);
                block.WriteBlock(index, stride, count, in.data());
                break;
            case 1: {
                // Large values wrap like the 32-bit sums they are; every other add reports them.
                if (step % 4 == 1)
                    for (auto& v : in) v = static_cast<std::int32_t>(random());
                const bool withSums = step % 2 == 1;
                for (std::int64_t i = 0; i < count; ++i) {
                    expect[i] = static_cast<std::int32_t>(
                        static_cast<std::uint32_t>(single.ReadValue(index + i * stride)) +
                        static_cast<std::uint32_t>(in[i]));
                    single.WriteValue(index + i * stride, expect[i]);
                }
                block.AddBlock(index, stride, count, in.data(), withSums ? out.data() : nullptr);
                for (std::int64_t i = 0; withSums && i < count; ++i)
                    ASSERT_EQ(out[i], expect[i]) << step << " " << i;
                break;
            }
            default:
                for (std::int64_t i = 0; i < count; ++i)
                    expect[i] = single.ReadValue(index + i * stride);
                block.ReadBlock(index, stride, count, out.data());
                for (std::int64_t i = 0; i < count; ++i)
                    ASSERT_EQ(out[i], expect[i]) << step << " " << i;
        }
        ASSERT_EQ(single.WindowStart(), block.WindowStart()) << step;
    }
}

// Long reads that pass the window's end leave parts of it unread; whatever follows (writes into
// those parts, steps back, cuts of the length, more reads) must see the same values, window
// positions, file sizes and file contents as single calls.
TEST(FileMemory, LongReadsLeaveTheSameStateAsSingleCalls) {
    constexpr std::int64_t W = SmallWindow;
    constexpr std::int64_t H = W / 2;
    enum Kind { Read, Write, Cut };
    struct Op {
        Kind kind;
        std::int64_t index, count;
    };
    struct Case {
        const char* name;
        std::vector<Op> ops;
    };
    const std::vector<Case> cases = {
        {"fresh store, read across three windows", {{Read, 0, 3 * W}}},
        {"modified window, then a long read forward",
         {{Write, 100, 1000}, {Read, 50, 2 * W + 7}, {Read, 0, 10}}},
        {"write into the unread part", {{Read, 0, W + H + 3}, {Write, W + H + 10, 5}}},
        {"step back after a long read",
         {{Read, 2 * W, W}, {Write, 2 * W + 5, 3}, {Read, 2 * W - 100, 50}}},
        {"column-sized reads with overlaps and gaps",
         {{Write, 0, 3 * W},
          {Read, 1, H / 2},
          {Read, H / 2, H / 2 + 1},
          {Read, H + 3, H},
          {Read, 2 * H, W}}},
        {"cut the length while parts are unread",
         {{Write, 0, 2 * W}, {Read, 0, W + H + 1}, {Cut, W + 10, 0}, {Read, W, 20}}},
        {"unsaved changes carried past the end of a shortened file",
         {{Write, 0, 10}, {Cut, 10, 0}, {Write, 5, 3}, {Read, 0, 3 * W}}},
        {"read beyond what was ever written",
         {{Write, 0, 10}, {Read, 5, 3 * W}, {Write, 3 * W - 1, 1}}},
        {"long writes over unread slots, with gaps before them",
         {{Write, 0, W + 17},
          {Read, 3, 2 * W},
          {Write, 2 * W + H + 40, H + 9},
          {Write, W - 5, 2 * W},
          {Read, W, 30}}},
    };
    std::mt19937 random(11);
    std::vector<std::int32_t> buffer(4 * W), expect(4 * W);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        FileMemory single(dir / "single.tmp", false, W);
        FileMemory block(dir / "block.tmp", false, W);
        single.SetLength(4 * W);
        block.SetLength(4 * W);
        for (const Op& op : c.ops) {
            switch (op.kind) {
                case Read:
                    for (std::int64_t i = 0; i < op.count; ++i)
                        expect[i] = single.ReadValue(op.index + i);
                    block.ReadBlock(op.index, 1, op.count, buffer.data());
                    for (std::int64_t i = 0; i < op.count; ++i)
                        ASSERT_EQ(buffer[i], expect[i]) << op.index + i;
                    break;
                case Write:
                    for (std::int64_t i = 0; i < op.count; ++i) {
                        buffer[i] = static_cast<std::int32_t>(random() % 2000) - 1000;
                        single.WriteValue(op.index + i, buffer[i]);
                    }
                    block.WriteBlock(op.index, 1, op.count, buffer.data());
                    break;
                case Cut:
                    single.SetLength(op.index);
                    block.SetLength(op.index);
                    break;
            }
            ASSERT_EQ(block.WindowStart(), single.WindowStart());
            ASSERT_EQ(std::filesystem::file_size(block.FileName()),
                      std::filesystem::file_size(single.FileName()));
        }
        EXPECT_EQ(test::ReadFile(block.FileName()), test::ReadFile(single.FileName()));
        // Everything still readable, also what the window holds beyond a cut length.
        for (std::int64_t i = 0; i < 4 * W; i += 61)
            ASSERT_EQ(block.ReadValue(i), single.ReadValue(i)) << i;
    }
}

// Window moves by odd amounts, both ways, turn the window's ring to any offset; block transfers
// whose spans cross its wrap, reads in and around the window and cuts must keep every value.
// Checked against a plain array.
TEST(FileMemory, ValuesSurviveWindowMovesOfAnyStep) {
    constexpr std::int64_t W = SmallWindow;
    constexpr std::int64_t H = W / 2;
    enum Kind { Read, Write, Add, Cut };
    struct Op {
        Kind kind;
        std::int64_t index, stride, count;
    };
    struct Case {
        const char* name;
        std::vector<Op> ops;
    };
    const std::vector<Case> cases = {
        {"sequential scans", {{Write, 0, 1, 3 * W + 5}, {Add, 0, 1, 3 * W + 5}}},
        {"odd forward steps, strided spans over the wrap",
         {{Write, 10, 1, 1},
          {Write, W + 777, 2, W},
          {Add, W + 100, 3, 25000},
          {Read, W + 5, 1, 3 * W - 5}}},
        // The step to W + 1001 turns the ring so that it wraps at slot H - 1001.
        {"reads over the wrap of a turned ring",
         {{Write, 0, 1, W},
          {Write, W + 1001, 1, 1},
          {Read, H + 1001, 1, H + 500},
          {Read, H + 1001, 2, 18750},
          {Read, W - 2000, 1, 5000}}},
        {"backward steps",
         {{Write, 3 * W, 1, 1000},
          {Write, 3 * W - 18751, 1, 5000},
          {Add, 3 * W - 37503, 2, 7000},
          {Write, 2 * W - 1, 3, 1250},
          {Read, 0, 1, 4 * W}}},
        {"short reads around the wrap",
         {{Write, 0, 1, 3 * W},
          {Read, W + H + 771, 1, 100},
          {Read, 2 * W + 3, 1, 1250},
          {Write, 2 * W + 100, 1, 7},
          {Read, 2 * W + 90, 1, 30},
          {Read, W + H + 1, 1, 1875},
          {Read, W, 1, 1937}}},
        {"cut while the ring is turned",
         {{Write, 0, 1, 2 * W + 999},
          {Write, W + 333, 1, 10},
          {Cut, W + 500, 0, 0},
          {Read, 0, 1, W + 500},
          {Write, W + 150, 1, 100},
          {Read, W - 3, 2, 200}}},
        // The forward steps leave slots pending that the jump writes back unread.
        {"jumps over stretches never written",
         {{Write, 0, 1, W + 10},
          {Write, 3 * W + 5, 1, 10},
          {Add, 2 * W, 3, 1000},
          {Read, 0, 1, 4 * W}}},
    };
    std::mt19937 random(5);
    // A recycled store's file still holds its earlier document; none of it may show.
    for (const bool recycled : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (recycled ? ", recycled" : ""));
            TempDir dir;
            FileMemory store(dir / "a.tmp", false, W);
            if (recycled) {
                store.SetLength(5 * W);
                std::vector<std::int32_t> earlier(static_cast<std::size_t>(5 * W), -77777);
                store.WriteBlock(0, 1, 5 * W, earlier.data());
                store.WriteValue(2 * W, 5);  // a window with changes not yet in the file
                store.Recycle();
            }
            std::int64_t length = 4 * W;
            store.SetLength(length);
            std::vector<std::int32_t> model(static_cast<std::size_t>(length), 0);
            std::vector<std::int32_t> buffer(static_cast<std::size_t>(length));
            for (const Op& op : c.ops) {
                switch (op.kind) {
                    case Read:
                        store.ReadBlock(op.index, op.stride, op.count, buffer.data());
                        for (std::int64_t i = 0; i < op.count; ++i)
                            ASSERT_EQ(buffer[i], model[op.index + i * op.stride]) << op.index + i;
                        break;
                    case Write:
                    case Add:
                        for (std::int64_t i = 0; i < op.count; ++i)
                            buffer[i] = static_cast<std::int32_t>(random() % 2000) - 1000;
                        if (op.kind == Write)
                            store.WriteBlock(op.index, op.stride, op.count, buffer.data());
                        else
                            store.AddBlock(op.index, op.stride, op.count, buffer.data(), nullptr);
                        for (std::int64_t i = 0; i < op.count; ++i)
                            model[op.index + i * op.stride] =
                                (op.kind == Write ? 0 : model[op.index + i * op.stride]) +
                                buffer[i];
                        break;
                    case Cut:
                        length = op.index;
                        store.SetLength(length);
                        break;
                }
            }
            for (std::int64_t i = 0; i < length; i += 13)
                ASSERT_EQ(store.ReadValue(i), model[i]) << i;
            store.ReadBlock(0, 1, length, buffer.data());
            for (std::int64_t i = 0; i < length; ++i) ASSERT_EQ(buffer[i], model[i]) << i;
        }
}

// A run written ahead goes to the file under unread slots at once; whatever follows must read
// the same values and place the window alike as ordinary writes, and once the window is written
// back (a jump far away) the files must hold the same values below the length.
TEST(FileMemory, WritesAheadLeaveTheSameValuesAsOrdinaryWrites) {
    constexpr std::int64_t W = SmallWindow, H = W / 2, Length = 4 * W;
    enum Kind { Read, Ahead, Write, Cut, Recycle };
    struct Op {
        Kind kind;
        std::int64_t index, count;
    };
    const std::vector<std::pair<const char*, std::vector<Op>>> cases = {
        {"a fresh store, across three windows", {{Ahead, 0, 3 * W}, {Read, 5, 3 * W}}},
        {"into the unread part of a window partly read",
         {{Write, 0, 100}, {Read, 0, W + H + 3}, {Ahead, W + H + 10, 500}, {Read, W, W}}},
        {"from loaded slots on into unread ones and the next window",
         {{Write, 0, 100}, {Ahead, 50, W + 9}, {Read, 0, 2 * W}}},
        {"at the window's edges",
         {{Read, 3, 1}, {Ahead, W - 1, 2}, {Ahead, 2 * W - 3, 3}, {Read, W - 4, W + 8}}},
        {"past the end, and after a cut",
         {{Ahead, Length - 10, 100},
          {Read, Length - 20, 110},
          {Cut, W + 10, 0},
          {Ahead, W, 2 * W}}},
        {"over an earlier document's values",
         {{Write, 0, 3 * W}, {Recycle, 0, 0}, {Ahead, W + 7, H}, {Read, 0, 3 * W}}},
    };
    std::mt19937 random(29);
    std::vector<std::int32_t> buffer(4 * W), expect(4 * W);
    for (const auto& [name, ops] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        FileMemory plain(dir / "plain.tmp", false, W), ahead(dir / "ahead.tmp", false, W);
        for (FileMemory* store : {&plain, &ahead}) store->SetLength(Length);
        auto compare = [&](std::int64_t index, std::int64_t count) {
            plain.ReadBlock(index, 1, count, expect.data());
            ahead.ReadBlock(index, 1, count, buffer.data());
            for (std::int64_t i = 0; i < count; ++i) ASSERT_EQ(buffer[i], expect[i]) << index + i;
        };
        for (const Op& op : ops) {
            for (std::int64_t i = 0; i < op.count; ++i) buffer[i] = random() % 2000 - 1000;
            if (op.kind == Read) compare(op.index, op.count);
            if (op.kind == Ahead || op.kind == Write)
                plain.WriteBlock(op.index, 1, op.count, buffer.data());
            if (op.kind == Ahead) ahead.WriteAhead(op.index, op.count, buffer.data());
            if (op.kind == Write) ahead.WriteBlock(op.index, 1, op.count, buffer.data());
            for (FileMemory* store : {&plain, &ahead}) {
                if (op.kind == Cut) store->SetLength(op.index);
                if (op.kind == Recycle) store->Recycle(), store->SetLength(Length);
            }
            ASSERT_EQ(ahead.WindowStart(), plain.WindowStart());
        }
        // A cut keeps what the window holds beyond it, but not the file: below the length only.
        const std::int64_t length = plain.Length();
        auto writtenBack = [&](FileMemory& store) {
            store.ReadValue(100 * W);
            std::string bytes = test::ReadFile(store.FileName());
            bytes.resize(4 * length, '\0');  // past the file's end values read as 0
            return bytes;
        };
        EXPECT_TRUE(writtenBack(ahead) == writtenBack(plain));
        compare(0, length);
    }
}

TEST(FileMemory, TwoThreadsShareOneStoreSafely) {
    TempDir dir;
    FileMemory store(dir / "a.tmp");
    const std::int64_t length = 3000000;
    store.SetLength(length);
    for (std::int64_t i = 0; i < length; i += 1000) store.WriteValue(i, 1);
    std::thread reader([&] {
        // Reads far from the writer so that nearly every access moves the window.
        std::int64_t sum = 0;
        for (int pass = 0; pass < 3; ++pass)
            for (std::int64_t i = length - 1000; i >= 0; i -= 1000) sum += store.ReadValue(i);
        EXPECT_EQ(sum, 3 * (length / 1000));
    });
    std::vector<std::int32_t> block(1000);
    for (std::int64_t i = 1; i + 1000 < length; i += 1000)
        store.WriteBlock(i, 1, 999, block.data());
    reader.join();
    for (std::int64_t i = 0; i < length; i += 1000) ASSERT_EQ(store.ReadValue(i), 1);
}

// Two threads each walk their channel of a stereo store forward in overlapping blocks, as the
// processing does, and drift apart freely: window moves of one meet accesses of the other.
TEST(FileMemory, TwoThreadsWalkingTheirChannelsKeepEveryValue) {
    TempDir dir;
    FileMemory store(dir / "a.tmp", false, 4096);
    const std::int64_t frames = 40000;
    store.SetLength(2 * frames);
    std::vector<std::int32_t> expected(static_cast<std::size_t>(2 * frames), 0);
    auto walk = [&](int channel) {
        std::vector<std::int32_t> block(256, channel + 1), sums(256), back(256);
        bool same = true;
        for (std::int64_t frame = 0; frame + 256 <= frames; frame += 128) {
            store.AddBlock(2 * frame + channel, 2, 256, block.data(), sums.data());
            store.ReadBlock(2 * frame + channel, 2, 256, back.data());
            same = same && back == sums;
            for (std::int64_t k = 0; k < 256; ++k)
                expected[2 * (frame + k) + channel] += channel + 1;
            if (frame % 1024 == 0) std::this_thread::yield();
        }
        EXPECT_TRUE(same) << "channel " << channel;
    };
    std::thread other(walk, 1);
    walk(0);
    other.join();
    std::vector<std::int32_t> values(expected.size());
    store.ReadBlock(0, 1, 2 * frames, values.data());
    EXPECT_TRUE(values == expected);
}

TEST(FileMemory, TwoStoresInTwoThreadsStayApart) {
    TempDir dir;
    auto work = [&](const char* name, std::int32_t base) {
        FileMemory store(dir / name);
        store.SetLength(2500000);
        std::vector<std::int32_t> v(2500000);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = base + static_cast<std::int32_t>(i);
        store.WriteBlock(0, 1, 2500000, v.data());
        std::vector<std::int32_t> back(2500000);
        store.ReadBlock(0, 1, 2500000, back.data());
        EXPECT_EQ(back, v);
    };
    std::thread a(work, "a.tmp", 0);
    std::thread b(work, "b.tmp", 100000000);
    a.join();
    b.join();
    EXPECT_EQ(dir.CountFiles(), 0);
}

}  // namespace
}  // namespace sv
