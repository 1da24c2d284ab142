#pragma once
// The decoded snapshot "./CAN/CAN-<serial>.txt": what the CAN tab shows at
// the moment of the press, replaced on every press. All texts are
// Windows-1251, as the tab's controls hold them converted.
#include <array>
#include <string>
#include <vector>

#include "base/FileWriter.h"

namespace ktx::can {

struct SnapshotQuantity {
    std::string id;     // the ID box's text
    std::string value;  // the panel's text; the temperatures carry all three
};

struct SnapshotRow {
    std::array<std::string, 3> cells;  // columns 0, 1, 2 of a grid row
};

struct CanSnapshot {
    std::string serial;   // SerPanel
    std::string version;  // VerLabel
    std::string stamp;    // the date-and-time text of the data logs
    // speed, accelerator, consumption, RPM, motohours, mileage, TO mileage,
    // temperature
    std::array<SnapshotQuantity, 8> quantities;
    std::vector<SnapshotRow> fuelRows;  // FuelGrid rows 1..last
    std::vector<SnapshotRow> canRows;   // CANGrid rows 1..last
};

// The file's bytes, every line ended by CR LF.
std::string snapshotText(const CanSnapshot& snapshot);

// rootDir/CAN/CAN-<serial>.txt, the serial made a safe file name; the
// directory is created when missing. The file is replaced whole or, on
// failure, left as it was.
WriteResult writeSnapshot(const std::string& rootDir, const CanSnapshot& snapshot);

}  // namespace ktx::can
