#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "audio/FileMemory.h"
#include "base/AbruptExitCleanup.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

using test::TempDir;

bool LockedByAnother(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (fd >= 0) ::close(fd);
    return locked;
}

TEST(SwapFiles, AreNamedRecognizablyAndLockedWhileInUse) {
    TempDir dir;
    std::filesystem::path name;
    {
        auto store = FileMemory::CreateInFolder(dir.path());
        name = store->FileName();
        EXPECT_TRUE(std::regex_match(
            name.filename().string(),
            std::regex("sonivar-" + std::to_string(::getpid()) + "-[A-Za-z0-9]{6}\\.swap")))
            << name;
        EXPECT_TRUE(LockedByAnother(name));
        EXPECT_EQ(FileMemory::RemoveLeftoverSwapFiles(dir.path()), 0);
        store->SetLength(10);
        store->WriteValue(3, 7);
        EXPECT_EQ(store->ReadValue(3), 7);
    }
    EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(SwapFiles, OnlyUnlockedLeftoversAreSwept) {
    TempDir dir;
    auto live = FileMemory::CreateInFolder(dir.path());
    for (const char* name : {"sonivar-4242-abcdef.swap", "sonivar-1-zzzzzz.swap", "notes.swap",
                             "sonivar-7-abcdef.tmp", "sv123swp.tmp"})
        test::WriteFile(dir / name, "leftover");
    std::filesystem::create_directory(dir / "sonivar-9-folder.swap");
    EXPECT_EQ(FileMemory::RemoveLeftoverSwapFiles(dir.path()), 2);
    EXPECT_TRUE(std::filesystem::exists(live->FileName()));
    EXPECT_FALSE(std::filesystem::exists(dir / "sonivar-4242-abcdef.swap"));
    EXPECT_FALSE(std::filesystem::exists(dir / "sonivar-1-zzzzzz.swap"));
    for (const char* kept :
         {"notes.swap", "sonivar-7-abcdef.tmp", "sv123swp.tmp", "sonivar-9-folder.swap"})
        EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
}

TEST(SwapFiles, AreRemovedWhenTheProgramMustEndAtOnce) {
    TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) {
        auto first = FileMemory::CreateInFolder(dir.path());
        auto second = FileMemory::CreateInFolder(dir.path());
        RemoveListedFilesNow();
        ::_exit(0);  // destructors never run
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace sv
