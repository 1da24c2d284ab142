// The window's files on a bad day: every log or record an action writes
// meets a FIFO, a symlink or a directory in its place, a working directory
// it may not write and a disk that fills up (a file-size limit stands in).
// Each row must end, tell the user which file, keep every earlier line of
// the log whole, write nothing outside the working directory, and leave the
// next action, with the obstacle gone, writing again.
#include <QFile>
#include <algorithm>
#include <QPushButton>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <vector>
#include <string>
#include <sys/stat.h>

#include "faults/WindowBench.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"
#include "support/NoRootOverride.h"

namespace ktx::fault_table {
namespace {

namespace fs = std::filesystem;

// Where one action writes: a log file, or the folder its records go to.
struct Target {
    const char* name;
    const char* path;  // in the working directory
    bool folder;
    std::function<void(Bench&)> run;
};

const Target kTargets[] = {
    {"status poll's AIN log", "AIN/AINstream-1234567.txt", false, [](Bench& b) { b.click("ButtonWork"); }},
    {"status poll's COUNT log", "COUNT/COUNTstream-1234567.txt", false, [](Bench& b) { b.click("ButtonWork"); }},
    {"modem update's telitdebug.txt", "telitdebug.txt", false, [](Bench& b) { b.click("TelitInit"); }},
    {"Протокол's records", "protocols", true,
     [](Bench& b) {
         b.click("ProtocolButton");
         b.closeProtocolDialog();
     }},
};

// Everything under dir: each file's path and bytes (a FIFO or a link by its
// kind, never opened).
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        if (entry.is_symlink())
            files[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_fifo())
            files[name] = "fifo";
        else if (entry.is_regular_file())
            files[name] = test::readBytes(entry.path());
        else
            files[name] = "dir";
    }
    return files;
}

// The obstacle in the target's place. Scoped ones (a size limit, a
// read-only directory) hold while the returned guard lives.
struct Fault {
    const char* name;
    std::function<std::shared_ptr<void>(Bench&, const Target&, const fs::path& outside)> plant;
    bool keepsTheLog;  // the log itself stays in place, with its earlier lines
};

fs::path targetPath(Bench& b, const Target& t)
{
    return fs::path(b.dir.path().toStdString()) / t.path;
}

const Fault kFileFaults[] = {
    {"FIFO in its place",
     [](Bench& b, const Target& t, const fs::path&) {
         fs::remove_all(targetPath(b, t));
         ::mkfifo(targetPath(b, t).c_str(), 0644);
         return std::shared_ptr<void>();
     },
     false},
    {"symlink out of the working directory",
     [](Bench& b, const Target& t, const fs::path& outside) {
         fs::remove_all(targetPath(b, t));
         fs::create_symlink(t.folder ? outside : outside / "victim.txt", targetPath(b, t));
         return std::shared_ptr<void>();
     },
     false},
    {"directory or file in its place",
     [](Bench& b, const Target& t, const fs::path&) {
         fs::remove_all(targetPath(b, t));
         if (t.folder)
             std::ofstream(targetPath(b, t)) << "not a folder\n";
         else
             fs::create_directory(targetPath(b, t));
         return std::shared_ptr<void>();
     },
     false},
    {"read-only working directory",
     [](Bench& b, const Target& t, const fs::path&) {
         // The working directory, the log's folder and the log itself, as
         // on a share mounted read-only.
         const fs::path work = b.dir.path().toStdString();
         const fs::path folder = t.folder ? targetPath(b, t) : targetPath(b, t).parent_path();
         std::vector<fs::path> paths{work, folder};
         if (!t.folder && fs::exists(targetPath(b, t)))
             paths.push_back(targetPath(b, t));
         for (const fs::path& path : paths)
             fs::permissions(path, fs::perms::owner_read | (fs::is_directory(path) ? fs::perms::owner_exec : fs::perms::none));
         auto asUser = std::make_shared<test::NoRootOverride>();
         return std::shared_ptr<void>(asUser.get(), [asUser, paths](void*) {
             for (const fs::path& path : paths)
                 fs::permissions(path, fs::perms::owner_all);
         });
     },
     true},
    {"disk full mid-line",
     [](Bench& b, const Target& t, const fs::path&) {
         // Room for a few bytes more than the log holds: the next line is
         // cut by the limit unless the writer undoes it.
         std::error_code ignored;
         const auto size = fs::is_regular_file(targetPath(b, t)) ? fs::file_size(targetPath(b, t), ignored) : 0;
         return std::static_pointer_cast<void>(std::make_shared<test::FileSizeLimit>(size + 7));
     },
     true},
};

// The record sets of the tracker in a folder: three files each.
size_t recordFiles(const fs::path& folder)
{
    size_t count = 0;
    if (fs::is_directory(folder) && !fs::is_symlink(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            count += entry.path().filename().string().starts_with("1234567-");
    return count;
}

// A log's lines are whole: it ends with a line end (or is empty).
bool wholeLines(const std::string& bytes)
{
    return bytes.empty() || bytes.ends_with("\r\n") || bytes.ends_with("\n");
}

TEST(FileFaultTableTest, EveryLogAndRecordMeetsEveryFileFaultAndWritesAgainAfter)
{
    int rows = 0;
    int passed = 0;
    for (const Target& target : kTargets) {
        for (const Fault& fault : kFileFaults) {
            SCOPED_TRACE(std::string(target.name) + " / " + fault.name);
            const int failuresBefore = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
            Bench bench(sim::defaultScenario());
            bench.checkDevice();
            const fs::path root = bench.root.path().toStdString();
            const fs::path outside = root / "outside";
            fs::create_directory(outside);
            std::ofstream(outside / "victim.txt") << "kept\n";
            // A healthy run first, so that the log has earlier lines to keep.
            target.run(bench);
            const fs::path file = targetPath(bench, target);
            const std::string earlier = !target.folder && fs::is_regular_file(file) ? test::readBytes(file) : "";
            const auto outsideBefore = snapshot(outside);

            const QString before = bench.consoles();
            const int64_t start = bench.nowMs();
            bench.dialogSaid.clear();
            {
                const std::shared_ptr<void> obstacle = fault.plant(bench, target, outside);
                target.run(bench);
            }
            const int64_t elapsedMs = bench.nowMs() - start;
            const std::optional<QString> consolesSaid = bench.saidSince(before);
            EXPECT_TRUE(consolesSaid.has_value()) << "earlier console lines kept";
            const QString said = consolesSaid.value_or(QString()) + bench.dialogSaid;
            ++rows;

            const QString named = QString::fromStdString(file.string());
            EXPECT_TRUE(said.contains(named)) << "named: " << named.toStdString() << "\nsaid: " << said.toStdString();
            EXPECT_LE(elapsedMs, 120000) << "no wait on the obstacle";
            EXPECT_EQ(snapshot(outside), outsideBefore) << "nothing written outside the working directory";
            if (fault.keepsTheLog && !target.folder) {
                const std::string now = test::readBytes(file);
                EXPECT_TRUE(now.starts_with(earlier)) << "earlier lines kept";
                EXPECT_TRUE(wholeLines(now)) << "no line cut: ..." << now.substr(now.size() > 40 ? now.size() - 40 : 0);
            }

            // The obstacle gone, the action writes again.
            if (fs::is_symlink(file) || fs::is_fifo(file) || fs::is_directory(file) != target.folder)
                fs::remove_all(file);
            const size_t sizeBefore = fs::exists(file) && !target.folder ? fs::file_size(file) : 0;
            const size_t recordsBefore = recordFiles(file);
            target.run(bench);
            if (target.folder)
                EXPECT_EQ(recordFiles(file), recordsBefore + 3) << "a new record set";
            else
                EXPECT_GT(fs::exists(file) ? fs::file_size(file) : 0, sizeBefore) << "the log grows again";

            const bool ok = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count()
                == failuresBefore;
            passed += ok;
            std::printf("%-30s %-38s %s  %s\n", target.name, fault.name, ok ? "ok  " : "FAIL",
                        said.simplified().left(110).toUtf8().constData());
        }
    }
    std::printf("%zu files x %zu faults = %d rows, %d passed\n", std::size(kTargets), std::size(kFileFaults), rows,
                passed);
}

// Hostile USB strings reach every file name the serial goes into (the data
// logs, the records): nothing may land outside the working directory, and
// no name may carry a control character.
TEST(FileFaultTableTest, HostileUsbStringsNameNoFileOutsideTheWorkingDirectory)
{
    // A serial the console takes starts with the tracker's number; the rest
    // is the attack. A description it does not know leaves the tracker
    // unidentified: only the polls' logs are written then.
    auto dotDotSlashes = [](size_t length) {
        std::string text;
        while (text.size() < length)
            text += "../";
        return text.substr(0, length);
    };
    struct Strings {
        const char* name;
        std::string serial;
        std::string description;
        size_t namedFiles;  // the AIN log, and the record's JSON once identified
    };
    const Strings kStrings[] = {
        {"path separators", "1234567/../../../escaped", "Korvantix", 2},
        {"backslashes and a drive", "1234567\\..\\..\\C:", "Korvantix", 2},
        {"control characters", std::string("12\x01\x1b[31m\r\n34/\t567"), "Korvantix", 2},
        {"255 bytes", "1234567" + dotDotSlashes(248), "Korvantix", 2},
        {"hostile description", "1234567", "../Korvantix\x07\n" + std::string(240, 'x'), 1},
    };
    for (const Strings& strings : kStrings) {
        SCOPED_TRACE(strings.name);
        sim::Scenario scenario = sim::defaultScenario();
        scenario.serial = strings.serial;
        scenario.description = strings.description;
        Bench bench(scenario);
        bench.checkDevice();
        bench.click("ButtonWork");
        bench.click("ProtocolButton");
        bench.closeProtocolDialog();

        const fs::path root = bench.root.path().toStdString();
        // The serial went into file names: the data log and the record set.
        size_t named = 0;
        for (const auto& [name, bytes] : snapshot(root)) {
            named += name.starts_with("work/AIN/AINstream-") || (name.starts_with("work/protocols/") && name.ends_with(".json"));
            std::printf("%-26s %s\n", strings.name, QString::fromStdString(name).toUtf8().left(120).constData());
            EXPECT_TRUE(name == "work" || name.starts_with("work/")) << "outside: " << name;
            EXPECT_EQ(std::count_if(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }), 0)
                << name;
        }
        EXPECT_EQ(named, strings.namedFiles) << bench.dialogSaid.toStdString();
        const QString title = bench.window.windowTitle();
        EXPECT_FALSE(std::any_of(title.begin(), title.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
            << title.toStdString();
    }
}

}  // namespace
}  // namespace ktx::fault_table
