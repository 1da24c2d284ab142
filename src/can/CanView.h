#pragma once
// What one parsed CAN reply changes on the tab. Unset entries leave their
// control as it is; texts are UTF-8 (they are plain ASCII).
#include <array>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace ktx::can {

// The decoded panels CanLabel1, 2, 3, 5, 7, 8, 9, 10, 11, 12.
enum Panel { kSpeed, kPedal, kFuelUsed, kEngineSpeed, kEngineHours, kDistance, kServiceDistance, kCoolant,
    kOilTemperature, kFuelTemperature, kPanelCount };
// The ID boxes CAN1, 2, 3, 5, 7, 8, 9, 10.
enum IdBox { kIdSpeed, kIdPedal, kIdFuelUsed, kIdEngineSpeed, kIdEngineHours, kIdDistance, kIdServiceDistance,
    kIdTemperatures, kIdBoxCount };
// The check boxes Cruise, Brake, Clutch.
enum Switch { kCruise, kBrake, kClutch, kSwitchCount };
// CanShape1 .. CanShape10.
inline constexpr int kLampCount = 10;

// Cells of one grid row: a new row at the bottom (added, its key in cell 0)
// or an existing one.
struct RowWrite {
    int row = 0;
    bool added = false;
    std::array<std::optional<std::string>, 3> cells;
};

struct CellWrite {
    int row = 0;
    int column = 0;
    std::string text;
};

struct CanView {
    std::array<std::optional<std::string>, kPanelCount> panels;
    std::array<std::optional<std::string>, kIdBoxCount> idBoxes;
    std::array<std::optional<bool>, kSwitchCount> switches;
    // Groups present in this reply: solid green; all others hatched.
    std::array<bool, kLampCount> lampsPresent{};
    // In the order they happen; a row added by one slot may be written again
    // by a later one.
    std::vector<RowWrite> canRows, fuelRows, axisRows;
    std::vector<CellWrite> weightCells;
    std::optional<std::string> labelDefault;
    // The values a live plot shows; NaN when this reply did not bring them
    // or the vehicle reported them not available.
    double speedKmh = std::numeric_limits<double>::quiet_NaN();
    double engineRpm = std::numeric_limits<double>::quiet_NaN();
};

// Vehicle speed (km/h) and engine speed (rpm) of a poll; NaN both when the
// reply did not parse.
enum PlottedDrive { kPlotSpeed, kPlotEngineSpeed, kPlottedDrive };
inline std::array<double, kPlottedDrive> plottedDrive(const std::optional<CanView>& view)
{
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    return view ? std::array<double, kPlottedDrive>{view->speedKmh, view->engineRpm}
                : std::array<double, kPlottedDrive>{kNone, kNone};
}

}  // namespace ktx::can
