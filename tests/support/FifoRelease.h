#pragma once
// A FIFO planted where the console writes a file. Without a reader, a plain
// open() for writing waits forever: the action runs on a thread of its own,
// and if it has not finished in a few seconds a reader is opened to let it
// go, so such a fault fails the test instead of hanging it.
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <unistd.h>

namespace ktx::test {

inline bool finishesWithoutBlockingOn(const std::string& fifo, const std::function<void()>& action)
{
    auto done = std::async(std::launch::async, action);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    done.wait_for(std::chrono::seconds(5));
    if (reader >= 0)
        ::close(reader);
    return false;
}

}  // namespace ktx::test
