#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "base/DirectoryLock.h"
#include "support/FileBytes.h"
#include "support/NoRootOverride.h"

namespace ktx {
namespace {

namespace fs = std::filesystem;
using State = DirectoryLock::State;

class DirectoryLockTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    std::string root_ = dir_.path().toStdString();
    std::string lockPath_ = root_ + "/" + kDirectoryLockFileName;
};

// flock conflicts between two opens of the file even in one process, which
// is what lets this test stand in for two consoles.
TEST_F(DirectoryLockTest, ASecondOwnerIsRefusedAndNamedUntilTheFirstLetsGo)
{
    auto first = std::make_unique<DirectoryLock>(root_);
    ASSERT_EQ(first->state(), State::Held);
    EXPECT_EQ(test::readBytes(lockPath_), std::to_string(::getpid()) + "\n");

    const DirectoryLock second(root_);
    EXPECT_EQ(second.state(), State::Busy);
    EXPECT_EQ(second.ownerPid(), ::getpid());
    // The same folder by another path is the same folder.
    const DirectoryLock viaDot(root_ + "/./");
    EXPECT_EQ(viaDot.state(), State::Busy);

    first.reset();
    const DirectoryLock third(root_);
    EXPECT_EQ(third.state(), State::Held);
}

TEST_F(DirectoryLockTest, AStaleFileFromACrashedRunIsTakenOverAndRewritten)
{
    std::ofstream(lockPath_) << "99999999\nleft over by a run that was killed\n";
    const DirectoryLock lock(root_);
    EXPECT_EQ(lock.state(), State::Held);
    EXPECT_EQ(test::readBytes(lockPath_), std::to_string(::getpid()) + "\n");
}

// Something else in the lock file's place is never followed, waited on or
// changed; the console goes on without the lock.
TEST_F(DirectoryLockTest, ASymlinkFifoOrDirectoryInItsPlaceIsLeftAlone)
{
    const std::string target = root_ + "/target.txt";
    std::ofstream(target) << "keep";
    const std::function<void()> plants[] = {
        [&] { fs::create_symlink(target, lockPath_); },
        [&] { ASSERT_EQ(::mkfifo(lockPath_.c_str(), 0600), 0); },
        [&] { fs::create_directory(lockPath_); },
    };
    for (const auto& plant : plants) {
        plant();
        const DirectoryLock lock(root_);
        EXPECT_EQ(lock.state(), State::Unavailable);
        EXPECT_NE(lock.error(), 0);
        EXPECT_EQ(test::readBytes(target), "keep");
        fs::remove(lockPath_);
    }
}

TEST_F(DirectoryLockTest, AReadOnlyFolderStillLocksWithAnExistingFileAndNeedsNoneToStart)
{
    const test::NoRootOverride asUser;
    ASSERT_EQ(::chmod(root_.c_str(), 0500), 0);
    {
        const DirectoryLock lock(root_);
        EXPECT_EQ(lock.state(), State::Unavailable);
        EXPECT_EQ(lock.error(), EACCES);
    }
    ASSERT_EQ(::chmod(root_.c_str(), 0700), 0);
    std::ofstream(lockPath_) << "";
    ASSERT_EQ(::chmod(lockPath_.c_str(), 0400), 0);
    ASSERT_EQ(::chmod(root_.c_str(), 0500), 0);
    {
        const DirectoryLock first(root_);
        EXPECT_EQ(first.state(), State::Held);
        const DirectoryLock second(root_);
        EXPECT_EQ(second.state(), State::Busy);
    }
    ASSERT_EQ(::chmod(root_.c_str(), 0700), 0);
}

}  // namespace
}  // namespace ktx
