#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "base/AtomicFileWriter.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

using test::ReadFile;
using test::TempDir;

// The process cannot write files beyond limit bytes while this lives (a full disk stand-in).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        struct rlimit small = saved_;
        small.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    struct rlimit saved_ {};
    void (*previous_)(int);
};

TEST(FileDescriptor, WriteFullyAtWritesAtItsOffsetAndLeavesThePositionAlone) {
    TempDir dir;
    FileDescriptor fd(::open((dir / "f").c_str(), O_RDWR | O_CREAT, 0600));
    ASSERT_TRUE(fd.Valid());
    WriteFully(fd.Get(), "abc", 3, dir / "f");
    WriteFullyAt(fd.Get(), "XY", 2, 6, dir / "f");  // beyond the end: a gap of zeros
    WriteFullyAt(fd.Get(), "Z", 1, 1, dir / "f");
    EXPECT_EQ(::lseek(fd.Get(), 0, SEEK_CUR), 3);
    WriteFully(fd.Get(), "d", 1, dir / "f");
    EXPECT_EQ(ReadFile(dir / "f"), std::string("aZcd\0\0XY", 8));
}

TEST(FileDescriptor, WriteFullyAtNamesTheFileAndTheCause) {
    TempDir dir;
    test::WriteFile(dir / "f", "x");
    struct Case {
        const char* name;
        int openFlags;
        rlim_t sizeLimit;
        int code;
    };
    const std::vector<Case> cases = {
        {"opened for reading only", O_RDONLY, RLIM_INFINITY, EBADF},
        {"file size limit reached", O_RDWR, 4096, EFBIG},
    };
    std::vector<char> bytes(8192, 'b');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileDescriptor fd(::open((dir / "f").c_str(), c.openFlags));
        ASSERT_TRUE(fd.Valid());
        FileSizeLimit limit(c.sizeLimit);
        try {
            WriteFullyAt(fd.Get(), bytes.data(), bytes.size(), 0, dir / "f");
            ADD_FAILURE() << "the write was reported as done";
        } catch (const IoError& error) {
            EXPECT_EQ(error.Code(), c.code);
            EXPECT_NE(std::string(error.what()).find((dir / "f").string()), std::string::npos);
        }
    }
}

// Long saves hand their pages to the disk as they go and drop what is written; every byte must
// still arrive, whatever the sizes of the single writes.
TEST(SequentialWriteBehind, LongSavesKeepEveryByte) {
    TempDir dir;
    const std::uint64_t total =
        SequentialWriteBehind::Lag + 3 * SequentialWriteBehind::Step + 12345;
    std::vector<unsigned char> expect(total);
    for (std::uint64_t i = 0; i < total; ++i) expect[i] = static_cast<unsigned char>(i * 131 >> 7);
    AtomicFileWriter writer(dir / "long.bin");
    const std::uint64_t sizes[] = {1, 4096, 1000003, SequentialWriteBehind::Step + 7, 65536};
    std::uint64_t at = 0;
    for (int k = 0; at < total; ++k) {
        const std::uint64_t n = std::min(sizes[k % 5], total - at);
        writer.Write(expect.data() + at, n);
        at += n;
    }
    writer.Commit();
    const std::string written = ReadFile(dir / "long.bin");
    ASSERT_EQ(written.size(), total);
    EXPECT_EQ(std::memcmp(written.data(), expect.data(), total), 0);
}

TEST(SequentialWriteBehind, FilesThatCannotTakePartAreWrittenAsUsual) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    FileDescriptor reader(ends[0]);
    FileDescriptor writer(ends[1]);
    SequentialWriteBehind behind;
    EXPECT_NO_THROW(behind.Wrote(writer.Get(), 4 * SequentialWriteBehind::Lag, "pipe"));
}

}  // namespace
}  // namespace sv
