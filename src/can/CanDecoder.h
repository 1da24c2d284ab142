#pragma once
// Decoding of the ten J1939 parameter groups the FMS interface uses, and the
// grid bookkeeping for the identifiers of the other groups.
#include <cstdint>
#include <string>
#include <string_view>

#include "can/CanReply.h"
#include "can/CanView.h"
#include "can/KeyedRows.h"

namespace ktx::can {

// Key columns of the three keyed grids, as the tab shows them.
struct CanGrids {
    KeyedRows canGrid;   // CANGrid: one row per identifier of an undecoded group
    KeyedRows fuelGrid;  // FuelGrid: one row per Dash Display identifier
    KeyedRows axisGrid;  // AxisGrid: one row per Vehicle Weight identifier
};

// An identifier or data word as the grids and ID boxes show it: at least
// eight upper-case hexadecimal digits.
std::string hexText(uint32_t value);

// Folds one slot into view; the grids gain the rows the view adds. Slots
// with PGN 0 change nothing. Returns the decoded group's number (its lamp,
// 0..9), or -1 for a group that is not decoded.
int decodeSlot(const CanSlot& slot, CanGrids& grids, CanView& view, std::string_view decimalPoint);

// All fifteen slots in reply order.
CanView decodeFrames(const CanFrames& frames, CanGrids& grids, std::string_view decimalPoint);

}  // namespace ktx::can
