#pragma once
// The device's CAN reply for tests: the given slots first, empty slots after
// them, fifteen lines in all.
#include <initializer_list>
#include <string>

#include "can/CanReply.h"

namespace ktx::can {

inline std::string replyOf(std::initializer_list<const char*> lines)
{
    std::string reply = "CANTEST=\r\n";
    int count = 0;
    for (const char* line : lines) {
        reply += line;
        reply += "\r\n";
        ++count;
    }
    for (; count < kSlotCount; ++count)
        reply += "0.0.0\r\n";
    return reply;
}

}  // namespace ktx::can
