#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "base/AtomicFileWriter.h"
#include "base/BackgroundClose.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

void Save(const std::filesystem::path& target, const std::string& content,
          const std::filesystem::path& backupFolder = {}) {
    AtomicFileWriter writer(target, backupFolder);
    writer.Write(content.data(), content.size());
    writer.Commit();
}

std::string SaveError(const std::filesystem::path& target) {
    try {
        Save(target, "new");
    } catch (const IoError& error) {
        return error.what();
    }
    return "";
}

int OpenDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator{}));
}

struct stat Stat(const std::filesystem::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

TEST(AtomicFileWriter, RefusesAnythingButRegularFilesAndNamesTheCause) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    std::filesystem::create_directory(dir / "folder");
    const bool device = ::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    std::filesystem::create_symlink(dir / "fifo", dir / "link-to-fifo");
    WriteFile(dir / "plain", "plain");
    std::filesystem::create_symlink(dir / "plain", dir / "link-to-plain");

    struct Case {
        std::string target;
        std::string cause;
    };
    std::vector<Case> cases = {
        {"fifo", "not a regular file"},
        {"link-to-fifo", "not a regular file"},
        {"folder", "it is a folder"},
        {"missing/out.wav", "the folder " + (dir / "missing").string() + " does not exist"},
        {"plain/out.wav", "is not a folder"},
        {std::string(256, 'n'), "longer than 255 bytes"},
    };
    if (device) cases.push_back({"null", "not a regular file"});
    for (const auto& c : cases) {
        const std::string error = SaveError(dir / c.target);
        EXPECT_NE(error.find(c.cause), std::string::npos) << c.target << ": " << error;
        EXPECT_EQ(error.find("disk space"), std::string::npos);
    }
    EXPECT_TRUE(S_ISFIFO(Stat(dir / "fifo").st_mode));
    EXPECT_TRUE(S_ISLNK(Stat(dir / "link-to-fifo").st_mode));
    if (device) {
        EXPECT_TRUE(S_ISCHR(Stat(dir / "null").st_mode));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));

    // The longest name still saves: the temporary name does not grow with it.
    Save(dir / std::string(255, 'n'), "longest");
    EXPECT_EQ(ReadFile(dir / std::string(255, 'n')), "longest");
    // Through a link the file it points at is replaced; the link stays a link.
    Save(dir / "link-to-plain", "replaced");
    EXPECT_EQ(ReadFile(dir / "plain"), "replaced");
    EXPECT_TRUE(S_ISLNK(Stat(dir / "link-to-plain").st_mode));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 7);
}

TEST(AtomicFileWriter, ReplacingKeepsModeOwnerAndGroupAndUnfinishedSavesLeaveNoTrace) {
    TempDir dir;
    const auto target = dir / "out.wav";
    WriteFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(target.c_str(), 1234, 5678), 0);
    }
    const int open = OpenDescriptors();
    Save(target, "new");
    EXPECT_EQ(ReadFile(target), "new");
    // The replaced file is closed off the saving thread, but closed.
    WaitForBackgroundCloses();
    EXPECT_EQ(OpenDescriptors(), open);
    EXPECT_EQ(Stat(target).st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(Stat(target).st_uid, 1234u);
        EXPECT_EQ(Stat(target).st_gid, 5678u);
    }
    {
        AtomicFileWriter abandoned(target);
        abandoned.Write("half", 4);
    }
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(dir.CountFiles(), 1);
}

TEST(AtomicFileWriter, NewFilesTakeTheUmaskWhileThreadsSaveAndTheUmaskStays) {
    // In memory a save takes microseconds, so the threads' saves overlap often.
    std::string memory = "/dev/shm/sonivar-test-XXXXXX";
    TempDir disk;
    const std::filesystem::path dir =
        ::mkdtemp(memory.data()) ? std::filesystem::path(memory) : disk.path();
    const mode_t before = ::umask(022);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&dir, t] {
                for (int i = 0; i < 3000; ++i)
                    Save(dir / (std::to_string(t) + "-" + std::to_string(i)), "x");
            });
    }
    const mode_t after = ::umask(before);
    EXPECT_EQ(after, 022u);
    int wrong = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        wrong += (Stat(e.path()).st_mode & 07777) != 0644;
    EXPECT_EQ(wrong, 0);
    if (dir != disk.path()) std::filesystem::remove_all(dir);
}

TEST(AtomicFileWriter, KeepingExistingFilesNeverReplacesOneEvenWhenItAppearsMeanwhile) {
    TempDir dir;
    for (const bool existsBefore : {true, false}) {
        const auto target = dir / (existsBefore ? "existing" : "raced");
        if (existsBefore) WriteFile(target, "other");
        int code = 0;
        try {
            AtomicFileWriter writer(target, {}, ExistingTarget::Keep);
            writer.Write("mine", 4);
            WriteFile(target, "other");
            writer.Commit();
        } catch (const IoError& e) {
            code = e.Code();
        }
        EXPECT_EQ(code, EEXIST) << target;
        EXPECT_EQ(ReadFile(target), "other");
    }
    EXPECT_EQ(dir.CountFiles(), 2);  // no temporary file left
}

TEST(AtomicFileWriter, AHardLinkedFileIsOverwrittenInPlaceAndKeepsItsOtherNames) {
    TempDir dir;
    std::filesystem::create_directory(dir / "work");
    WriteFile(dir / "out.wav", "old content");
    std::filesystem::create_hard_link(dir / "out.wav", dir / "other-name.wav");
    {
        AtomicFileWriter writer(dir / "out.wav", dir / "work");
        EXPECT_TRUE(writer.InPlace());
        writer.Write("new", 3);
        // Until the commit the old content waits in the work folder.
        ASSERT_EQ(std::distance(std::filesystem::directory_iterator(dir / "work"), {}), 1);
        EXPECT_EQ(ReadFile(std::filesystem::directory_iterator(dir / "work")->path()),
                  "old content");
        writer.Commit();
    }
    EXPECT_EQ(ReadFile(dir / "other-name.wav"), "new");
    EXPECT_EQ(Stat(dir / "out.wav").st_nlink, 2u);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "work"));
    {
        AtomicFileWriter failed(dir / "out.wav", dir / "work");
        failed.Write("unfinished and longer", 21);
    }
    EXPECT_EQ(ReadFile(dir / "other-name.wav"), "new");
    EXPECT_TRUE(std::filesystem::is_empty(dir / "work"));
}

TEST(AtomicFileWriter, AWritableFileInAProtectedFolderIsOverwrittenInPlace) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    std::filesystem::create_directories(dir / "protected");
    std::filesystem::create_directories(dir / "work");
    WriteFile(dir / "protected" / "out.wav", "old");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod((dir / "protected").c_str(), 0755);
    ::chmod((dir / "protected" / "out.wav").c_str(), 0666);
    ::chown((dir / "work").c_str(), 65534, 65534);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        try {
            Save(dir / "protected" / "out.wav", "new", dir / "work");
        } catch (...) {
            ::_exit(1);
        }
        // A new file there is refused before any work, naming the folder.
        const std::string error = SaveError(dir / "protected" / "new.wav");
        ::_exit(error.find("protected is not writable") == std::string::npos ? 3 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(dir / "protected" / "out.wav"), "new");
    EXPECT_EQ(Stat(dir / "protected" / "out.wav").st_uid, 0u);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "work"));
}

TEST(AtomicFileWriter, AFailedInPlaceWriteRestoresTheOldContent) {
    TempDir dir;
    const auto disk = dir / "disk";
    std::filesystem::create_directories(disk);
    if (::geteuid() != 0 ||
        std::system(
            ("mount -t tmpfs -o size=1m tmpfs " + disk.string() + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    std::filesystem::create_directory(dir / "work");
    const std::string old(300000, 'o');
    WriteFile(disk / "out.wav", old);
    std::filesystem::create_hard_link(disk / "out.wav", disk / "link.wav");
    std::string error;
    try {
        Save(disk / "out.wav", std::string(2000000, 'n'), dir / "work");
    } catch (const IoError& e) {
        error = e.what();
    }
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(disk / "link.wav"), old);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "work"));
    std::system(("umount " + disk.string()).c_str());
}

TEST(StandardDescriptors, ClosedOnesAreReopenedOnDevNull) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(0);
        ::close(2);
        ReopenClosedStandardDescriptors();
        struct stat in {
        }, err{};
        const bool ok = ::fstat(0, &in) == 0 && ::fstat(2, &err) == 0 && S_ISCHR(in.st_mode) &&
                        S_ISCHR(err.st_mode) && ::open("/dev/null", O_RDONLY) > 2;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace sv
