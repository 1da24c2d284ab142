#include "can/CanSnapshot.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/LogSink.h"
#include "base/SafeFileName.h"

namespace ktx::can {
namespace {

constexpr const char* kQuantityNames[] = {
    "speed", "accelerator", "consumption", "RPM", "motohours", "mileage", "TO mileage", "temperature"};

bool writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string snapshotText(const CanSnapshot& s)
{
    std::string text = formatText("CAN %s (%s) - %s\r\n", s.serial.c_str(), s.version.c_str(), s.stamp.c_str());
    for (size_t i = 0; i < s.quantities.size(); ++i)
        text += formatText("%s | (%s) = %s\r\n", s.quantities[i].id.c_str(), kQuantityNames[i],
            s.quantities[i].value.c_str());
    for (size_t i = 0; i < s.fuelRows.size(); ++i) {
        const auto& cells = s.fuelRows[i].cells;
        text += formatText("%s | fuel%zu %s (%s)\r\n", cells[0].c_str(), i + 1, cells[1].c_str(), cells[2].c_str());
    }
    for (const SnapshotRow& row : s.canRows)
        text += formatText("%s | %s %s\r\n", row.cells[0].c_str(), row.cells[1].c_str(), row.cells[2].c_str());
    return text;
}

bool writeSnapshot(const std::string& rootDir, const CanSnapshot& snapshot)
{
    const std::string folder = rootDir + "/CAN";
    ::mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/CAN-" + serialFileComponent(snapshot.serial) + ".txt";
    // Non-blocking, and only a regular file is emptied and written: a FIFO or
    // device put in its place is left alone.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0644);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::ftruncate(fd, 0) == 0;
    ok = ok && writeAll(fd, snapshotText(snapshot));
    ::close(fd);
    return ok;
}

}  // namespace ktx::can
