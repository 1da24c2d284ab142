#pragma once
// One console per working directory: two windows there would write their
// settings over each other's and mix their lines in the same logs. The lock
// is an flock on a small file in the directory, so it is gone the moment its
// owner ends, however it ends (a crash or a kill leaves nothing to clean up).
#include <string>
#include <sys/types.h>

namespace ktx {

constexpr const char* kDirectoryLockFileName = "Korvantix_control.lock";

class DirectoryLock {
public:
    enum class State {
        Held,        // this process owns the directory
        Busy,        // another process does: ownerPid() names it when known
        Unavailable  // no lock could be taken (read-only directory, no file there)
    };

    // Tries once, never waits.
    explicit DirectoryLock(const std::string& directory);
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    State state() const { return state_; }
    // The other owner's process id read from the lock file, 0 when unknown.
    pid_t ownerPid() const { return ownerPid_; }
    // The system's errno when the state is Unavailable.
    int error() const { return error_; }
    // The lock file's path, for messages.
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
    State state_ = State::Unavailable;
    pid_t ownerPid_ = 0;
    int error_ = 0;
};

}  // namespace ktx
