#pragma once
// Taking apart the status poll's two replies. The scans are sscanf with the
// device's formats on a zero-terminated buffer: the number of converted
// fields decides, and fields that do not convert keep their old values.
#include <cstdint>
#include <optional>

#include "io/StatusRecord.h"

namespace ktx::io {

// Nine numbers of the DEVICE_TEST reply straight into the record
// (power, in1, in2, ain1, ain2, count1, count2, reserve, in34); returns how
// many converted (0 for none).
int scanDeviceTest(const char* reply, StatusRecord& record);

// The device's time value "tt=%d" when all ten fields convert and it is
// above 0.
std::optional<int32_t> deviceTestStamp(const char* reply);

struct AddTestScan {
    int fields = 0;         // converted by the short (8-field) scan
    int32_t time = 0;       // the short scan's time field, valid with 8 fields
    bool longForm = false;  // all 12 fields converted
    int32_t longTime = 0;   // the long scan's time field, valid with longForm
};

// "ADD_TEST=" reply: the short scan into count3, count4, in5..in8 (field 3
// and the time go to scratch); when it gives all 8, the long scan as well,
// which also fills count5..count8 as far as it converts.
AddTestScan scanAddTest(const char* reply, StatusRecord& record);

}  // namespace ktx::io
