#include "app/StreamLog.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/SafeFileName.h"

namespace ktx {
namespace {

// Append mode, as "ab" opens; non-blocking so a FIFO put in the file's place
// cannot hold the poll up, and only regular files are written.
void appendBytes(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
    }
    ::close(fd);
}

}  // namespace

StreamLog::StreamLog(std::string rootDir, std::function<std::string()> stampText)
    : rootDir_(std::move(rootDir)), stampText_(std::move(stampText))
{
}

void StreamLog::append(std::string_view directory, std::string_view stem, std::string_view serialText,
                       std::string_view fields) const
{
    const std::string folder = rootDir_ + "/" + safeFileComponent(directory);
    ::mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/" + safeFileComponent(stem) + "-" + serialFileComponent(serialText) + ".txt";
    std::string line = stampText_ ? stampText_() : std::string();
    line += " | ";
    line += fields;
    appendBytes(path, line);
}

void StreamLog::appendText(std::string_view file, std::string_view text) const
{
    std::string line(text);
    line += "\r\n";
    appendBytes(rootDir_ + "/" + safeFileComponent(file), line);
}

}  // namespace ktx
