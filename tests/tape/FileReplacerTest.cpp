// Saving never turns what is at a path into something else, never writes what the user may not
// write, and never leaves a temporary file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "tape/FileReplacer.h"
#include "tests/tape/TapeTestData.h"

using namespace tapetest;
namespace fs = std::filesystem;

namespace {
const std::vector<uint8_t> kOld = {3, 0, 0xFF, 1, 0xFE};
const std::vector<uint8_t> kNew = {2, 0, 0xFF, 0xFF};
constexpr uid_t kNobody = 65534;

size_t EntryCount(const fs::path& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
}

// Runs the check in a child process as a user who is not root, and returns its exit status.
int RunAsOrdinaryUser(const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = geteuid() != 0 || (setgid(kNobody) == 0 && setuid(kNobody) == 0);
        _exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(FileReplacer, SymlinksAreFollowedAndStayLinks) {
    const fs::path dir = TestDirectory();
    fs::create_directory(dir / "sub");
    CTestTape::WriteFile(dir / "sub" / "real.tap", kOld);
    fs::permissions(dir / "sub" / "real.tap", fs::perms(0640));
    fs::create_symlink("real.tap", dir / "sub" / "hop");
    fs::create_symlink("sub/hop", dir / "link.tap");
    ASSERT_EQ(CFileReplacer(dir / "link.tap").Replace(kNew), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(dir / "link.tap"));
    EXPECT_TRUE(fs::is_symlink(dir / "sub" / "hop"));
    EXPECT_EQ(CTestTape::ReadFile(dir / "sub" / "real.tap"), kNew);
    EXPECT_EQ(fs::status(dir / "sub" / "real.tap").permissions(), fs::perms(0640));
    EXPECT_EQ(EntryCount(dir / "sub"), 2u);

    // A link to a file not yet there makes the file.
    fs::create_symlink("made.tap", dir / "dangling");
    ASSERT_EQ(CFileReplacer(dir / "dangling").Replace(kNew), std::nullopt);
    EXPECT_EQ(CTestTape::ReadFile(dir / "made.tap"), kNew);
    fs::create_symlink("loop", dir / "loop");
    EXPECT_NE(CFileReplacer(dir / "loop").Replace(kNew).value_or("").find("symbolic links"),
              std::string::npos);
}

// The temporary name lies in a directory others may write: whatever already stands there under
// it (a planted link to a victim, a file) is never opened, written or renamed over the target.
TEST(FileReplacer, ATemporaryNameTakenAlreadyIsNeverWrittenThrough) {
    const fs::path dir = TestDirectory();
    CTestTape::WriteFile(dir / "victim", kOld);
    CTestTape::WriteFile(dir / "target.tap", kOld);
    const std::string stem = (dir / "target.tap").string() + ".tw" + std::to_string(getpid()) + "-";
    fs::create_symlink(dir / "victim", stem + "0");
    CTestTape::WriteFile(stem + "1", kOld);
    ASSERT_EQ(CFileReplacer(dir / "target.tap").Replace(kNew), std::nullopt);
    EXPECT_EQ(CTestTape::ReadFile(dir / "victim"), kOld);
    EXPECT_EQ(CTestTape::ReadFile(stem + "1"), kOld);
    EXPECT_TRUE(fs::is_symlink(stem + "0"));
    EXPECT_FALSE(fs::is_symlink(dir / "target.tap"));
    EXPECT_EQ(CTestTape::ReadFile(dir / "target.tap"), kNew);
    // Every name taken: the save is refused (which also shows the names planted were the ones
    // tried) and the target stays as it was.
    for (int attempt = 2; attempt < 100; ++attempt) {
        fs::create_symlink(dir / "victim", stem + std::to_string(attempt));
    }
    EXPECT_NE(CFileReplacer(dir / "target.tap").Replace(kOld).value_or("").find("File exists"),
              std::string::npos);
    EXPECT_EQ(CTestTape::ReadFile(dir / "victim"), kOld);
    EXPECT_EQ(CTestTape::ReadFile(dir / "target.tap"), kNew);
}

TEST(FileReplacer, FifosAndDevicesAreWrittenInPlace) {
    const fs::path dir = TestDirectory();
    const fs::path fifo = dir / "pipe.tap";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> received;
    std::thread reader([&] {
        std::ifstream in(fifo, std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    const auto error = CFileReplacer(fifo).Replace(kNew);
    reader.join();
    EXPECT_EQ(error, std::nullopt);
    EXPECT_EQ(received, kNew);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(EntryCount(dir), 1u);

    // A descriptor of the program's own, here open on a regular file, is written through: the
    // file is not replaced behind the descriptor's back.
    const int fd = open((dir / "stream.tap").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    struct stat before {};
    fstat(fd, &before);
    EXPECT_EQ(CFileReplacer("/dev/fd/" + std::to_string(fd)).Replace(kNew), std::nullopt);
    EXPECT_EQ(CFileReplacer("/dev/fd/" + std::to_string(fd)).Replace(kOld), std::nullopt);
    close(fd);
    struct stat after {};
    stat((dir / "stream.tap").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    std::vector<uint8_t> both = kNew;
    both.insert(both.end(), kOld.begin(), kOld.end());
    EXPECT_EQ(CTestTape::ReadFile(dir / "stream.tap"), both);
    EXPECT_EQ(EntryCount(dir), 2u);

    // A null device of the test's own: a wrong save would replace it with a file.
    const fs::path null = dir / "null";
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "no right to make a device node";
    }
    EXPECT_EQ(CFileReplacer(null).Replace(kNew), std::nullopt);
    EXPECT_EQ(CFileReplacer(null).CheckWritable(), std::nullopt);
    EXPECT_TRUE(fs::is_character_file(null));
    EXPECT_EQ(EntryCount(dir), 3u);
}

TEST(FileReplacer, WhatTheUserMayNotWriteIsNotReplaced) {
    const fs::path dir = TestDirectory();
    fs::permissions(dir, fs::perms(0777));
    CTestTape::WriteFile(dir / "locked.tap", kOld);
    fs::permissions(dir / "locked.tap", fs::perms(0444));
    EXPECT_EQ(RunAsOrdinaryUser([&] {
                  const CFileReplacer locked(dir / "locked.tap");
                  const auto checked = locked.CheckWritable();
                  const auto error = locked.Replace(kNew);
                  return checked == error &&
                         error.value_or("").find("Permission denied") != std::string::npos;
              }),
              0);
    EXPECT_EQ(CTestTape::ReadFile(dir / "locked.tap"), kOld);

    // A writable file in a directory the user may not write: no temporary can be made.
    fs::create_directory(dir / "shut");
    CTestTape::WriteFile(dir / "shut" / "open.tap", kOld);
    fs::permissions(dir / "shut" / "open.tap", fs::perms(0666));
    fs::permissions(dir / "shut", fs::perms(0555));
    EXPECT_EQ(RunAsOrdinaryUser([&] {
                  const CFileReplacer open(dir / "shut" / "open.tap");
                  return open.CheckWritable().has_value() && open.Replace(kNew).has_value();
              }),
              0);
    fs::permissions(dir / "shut", fs::perms(0755));
    EXPECT_EQ(CTestTape::ReadFile(dir / "shut" / "open.tap"), kOld);

    // Another user's file that everyone may write: a new file would be the writer's own.
    if (geteuid() == 0) {
        CTestTape::WriteFile(dir / "shared.tap", kOld);
        fs::permissions(dir / "shared.tap", fs::perms(0666));
        EXPECT_EQ(RunAsOrdinaryUser([&] {
                      const CFileReplacer shared(dir / "shared.tap");
                      const auto checked = shared.CheckWritable();
                      return checked == shared.Replace(kNew) &&
                             checked.value_or("").find("would not keep its owner") !=
                                 std::string::npos;
                  }),
                  0);
        struct stat status {};
        ASSERT_EQ(stat((dir / "shared.tap").c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 0u);
        EXPECT_EQ(CTestTape::ReadFile(dir / "shared.tap"), kOld);
    }

    // Whoever may write the file replaces it, and its mode is kept as it was.
    if (geteuid() == 0) {
        ASSERT_EQ(CFileReplacer(dir / "locked.tap").Replace(kNew), std::nullopt);
        EXPECT_EQ(CTestTape::ReadFile(dir / "locked.tap"), kNew);
        EXPECT_EQ(fs::status(dir / "locked.tap").permissions(), fs::perms(0444));
    }
}

// A program ended by a signal while it saves leaves the file whole and no temporary behind.
TEST(FileReplacer, ASignalDuringASaveLeavesNoTemporary) {
    const fs::path dir = TestDirectory();
    const std::vector<uint8_t> big(4 << 20, 0x5A);
    const pid_t child = fork();
    if (child == 0) {
        for (;;) {
            CFileReplacer(dir / "big.tap").Replace(big);
        }
    }
    // Strike while a save is under way: the target is there once the first save is done.
    while (!fs::exists(dir / "big.tap")) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    kill(child, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    for (int wait = 0; wait < 500 && ended == 0; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ended = waitpid(child, &status, WNOHANG);
    }
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(EntryCount(dir), 1u);
    EXPECT_EQ(fs::file_size(dir / "big.tap"), big.size());
}
