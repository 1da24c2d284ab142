#pragma once
// One poll of the CAN monitor: "CANTEST;$" over a normally opened channel, a
// stream log line per non-empty slot, and the decoded view of the reply.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/AppContext.h"
#include "can/CanDecoder.h"
#include "can/CanView.h"

namespace ktx::can {

// The eight data bytes of the frame last decoded for each group, group
// after group (bytes 1..8 of the speed group first); 0xFF, J1939's "not
// available", until a frame of the group arrives.
using DecodedRecord = std::array<uint8_t, kLampCount * 8>;

// "%08x %08x %08x\r\n": identifier, data A, data B of a stream log line.
std::string streamFields(const CanSlot& slot);

struct CanPollOutcome {
    bool opened = false;          // false: "Устройство не подключено" was written, the poll must stop
    std::optional<CanView> view;  // empty: the reply did not parse, "Ошибка: %s" was written
};

class CanMonitor {
public:
    explicit CanMonitor(AppContext& context) : context_(context) {}

    CanPollOutcome poll(std::string_view decimalPoint);
    // Folds a parsed reply into the grids: logs each non-empty slot and
    // decodes them all.
    CanView takeFrames(const CanFrames& frames, std::string_view decimalPoint);

    // The key columns of the tab's grids; the tab reports header texts and
    // hand edits of key cells here.
    CanGrids& grids() { return grids_; }

    const DecodedRecord& lastDecoded() const { return lastDecoded_; }
    void resetLastDecoded() { lastDecoded_.fill(0xFF); }

private:
    AppContext& context_;
    CanGrids grids_;
    DecodedRecord lastDecoded_ = [] {
        DecodedRecord record;
        record.fill(0xFF);
        return record;
    }();
};

}  // namespace ktx::can
