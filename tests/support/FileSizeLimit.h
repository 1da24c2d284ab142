#pragma once
// Stands in for a disk that fills up: for a scope, no file may grow past
// the given size (a write beyond it fails with EFBIG instead of raising
// SIGXFSZ); the process's own limit comes back at the end.
#include <csignal>
#include <sys/resource.h>

namespace ktx::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    void (*oldHandler_)(int);
    rlimit saved_{};
    bool active_ = false;
};

}  // namespace ktx::test
