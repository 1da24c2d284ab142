#pragma once
// What the status poll has learnt from the tracker so far. Every field starts
// at 0 and is overwritten only by a field of a reply that converted, so a
// missing reply leaves the last values on screen.
#include <cstdint>

namespace ktx::io {

struct StatusRecord {
    int32_t power = 0;    // supply, raw 10-bit ADC
    int32_t in1 = 0;
    int32_t in2 = 0;
    int32_t ain1 = 0;
    int32_t ain2 = 0;
    int32_t count1 = 0;
    int32_t count2 = 0;
    int32_t reserve = 0;  // backup battery, raw ADC
    int32_t in34 = 0;     // units digit = input 3, tens digit = input 4
    int32_t count3 = 0;
    int32_t count4 = 0;
    int32_t in5 = 0;
    int32_t in6 = 0;
    int32_t in7 = 0;
    int32_t in8 = 0;
    int32_t count5 = 0;
    int32_t count6 = 0;
    int32_t count7 = 0;
    int32_t count8 = 0;

    bool operator==(const StatusRecord&) const = default;
};

// Time stamps of the last poll for the frequency calculation. A flag of 1
// means the device's own time, 0 the PC's process clock in milliseconds.
struct StatusStamps {
    int32_t t1 = 0;
    uint8_t flag1 = 0;
    int32_t t2 = 0;
    uint8_t flag2 = 0;
    int32_t t3 = 0;  // long ADD_TEST reply only; always device time
};

}  // namespace ktx::io
