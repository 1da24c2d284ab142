#pragma once
// The tests run as root, and root reads and writes whatever the file modes
// say. For a scope this drops the calling thread's power to override them
// (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER), so a file made
// unreadable or a directory made read-only refuses the test as it refuses a
// technician. The capabilities stay permitted and come back at the end.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ktx::test {

class NoRootOverride {
public:
    NoRootOverride()
    {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
        dropped[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        active_ = ::syscall(SYS_capset, &header_, dropped) == 0;
    }
    ~NoRootOverride()
    {
        if (active_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    NoRootOverride(const NoRootOverride&) = delete;
    NoRootOverride& operator=(const NoRootOverride&) = delete;

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

}  // namespace ktx::test
