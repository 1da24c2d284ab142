// Publishing under a claimed name, and the temporary files a killed writer
// leaves behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/FileWriter.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"

namespace ktx {
namespace {

namespace fs = std::filesystem;
using test::readBytes;

struct ScratchDir {
    ScratchDir()
    {
        char pattern[] = "/tmp/ktx-claim-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~ScratchDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(path))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    std::string path;
};

void plant(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// A PID no process has: a child that has ended and been reaped.
pid_t deadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

void makeOld(const std::string& path)
{
    const timeval old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ::lutimes(path.c_str(), old);
}

TEST(FileClaim, ANameIsClaimedOnlyWhenFreeAndNothingInItsPlaceIsFollowed)
{
    ScratchDir dir;
    plant(dir / "taken.json", "earlier");
    plant(dir / "target", "kept");
    fs::create_symlink(dir / "target", dir / "planted.json");
    for (const char* name : {"taken.json", "planted.json", "free.json"}) {
        SCOPED_TRACE(name);
        std::string temporary;
        ASSERT_TRUE(writeTemporary(dir / name, "new", 0640, temporary));
        EXPECT_EQ(readBytes(temporary), "new");
        const WriteResult claimed = claimName(temporary, dir / name);
        removeWritten(temporary);
        if (std::string(name) == "free.json") {
            EXPECT_TRUE(claimed) << claimed.error;
            EXPECT_EQ(readBytes(dir / name), "new");
        } else {
            EXPECT_FALSE(claimed);
            EXPECT_EQ(claimed.errorNumber, EEXIST);
        }
    }
    EXPECT_EQ(readBytes(dir / "taken.json"), "earlier");
    EXPECT_EQ(readBytes(dir / "target"), "kept");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"free.json", "planted.json", "taken.json", "target"}));
}

TEST(FileClaim, ATemporaryThatCannotBeWrittenWholeIsGone)
{
    ScratchDir dir;
    std::string temporary;
    WriteResult written;
    {
        const test::FileSizeLimit limit(100);
        ASSERT_TRUE(limit.active());
        written = writeTemporary(dir / "record.json", std::string(1000, 'x'), 0640, temporary);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(written.errorNumber, EFBIG);
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
}

// Only the writer's own pattern, of a process that is gone, and not fresh.
TEST(FileClaim, StaleTemporariesOfDeadWritersAreRemovedAndNothingElse)
{
    ScratchDir dir;
    const std::string dead = std::to_string(deadPid());
    const std::string alive = std::to_string(::getppid());
    struct Case {
        std::string name;
        bool old;
        bool removed;
    };
    const Case cases[] = {
        {"1234567-20261209T120000Z.json.tmp-" + dead + "-0", true, true},
        {"Korvantix_control.ini.tmp-" + dead + "-12", true, true},
        {"fresh.json.tmp-" + dead + "-1", false, false},  // maybe another machine's writer, mid-write
        {"running.json.tmp-" + alive + "-0", true, false},
        {"other.json.tmp-" + dead + "-x", true, false},
        {"other.json.tmp-" + dead, true, false},
        {".tmp-" + dead + "-0", true, false},
        {"1234567-20261209T120000Z.json", true, false},
    };
    for (const Case& c : cases) {
        plant(dir / c.name, "x");
        if (c.old)
            makeOld(dir / c.name);
    }
    fs::create_symlink(dir / cases[0].name, dir / ("link.tmp-" + dead + "-0"));
    makeOld(dir / ("link.tmp-" + dead + "-0"));

    EXPECT_EQ(removeStaleTemporaries(dir.path), 2);
    for (const Case& c : cases)
        EXPECT_EQ(fs::exists(dir / c.name), !c.removed) << c.name;
    EXPECT_TRUE(fs::is_symlink(dir / ("link.tmp-" + dead + "-0")));
    EXPECT_EQ(removeStaleTemporaries(dir / "missing"), 0);
}

TEST(FileClaim, ASymlinkedFolderIsTakenOnlyWhenTheUserNamedIt)
{
    ScratchDir dir;
    fs::create_directory(dir / "real");
    fs::create_directory_symlink(dir / "real", dir / "linked");
    plant(dir / "file", "");
    fs::create_symlink(dir / "file", dir / "to-file");
    EXPECT_TRUE(ensureDirectory(dir / "linked", DirectoryLink::Follow));
    EXPECT_FALSE(ensureDirectory(dir / "linked"));
    EXPECT_FALSE(ensureDirectory(dir / "to-file", DirectoryLink::Follow));
    EXPECT_FALSE(ensureDirectory(dir / "file", DirectoryLink::Follow));
}

}  // namespace
}  // namespace ktx
