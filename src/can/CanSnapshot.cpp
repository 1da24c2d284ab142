#include "can/CanSnapshot.h"

#include "base/LogSink.h"
#include "base/SafeFileName.h"

namespace ktx::can {
namespace {

constexpr const char* kQuantityNames[] = {
    "speed", "accelerator", "consumption", "RPM", "motohours", "mileage", "TO mileage", "temperature"};

}  // namespace

std::string snapshotText(const CanSnapshot& s)
{
    std::string text = formatText("CAN %s (%s) - %s\r\n", s.serial.c_str(), s.version.c_str(), s.stamp.c_str());
    for (size_t i = 0; i < s.quantities.size(); ++i)
        text += formatText("%s | (%s) = %s\r\n", s.quantities[i].id.c_str(), kQuantityNames[i],
            s.quantities[i].value.c_str());
    for (size_t i = 0; i < s.fuelRows.size(); ++i) {
        const auto& cells = s.fuelRows[i].cells;
        text += formatText("%s | fuel%zu %s (%s)\r\n", cells[0].c_str(), i + 1, cells[1].c_str(), cells[2].c_str());
    }
    for (const SnapshotRow& row : s.canRows)
        text += formatText("%s | %s %s\r\n", row.cells[0].c_str(), row.cells[1].c_str(), row.cells[2].c_str());
    return text;
}

WriteResult writeSnapshot(const std::string& rootDir, const CanSnapshot& snapshot)
{
    const std::string folder = rootDir + "/CAN";
    if (WriteResult made = ensureDirectory(folder); !made)
        return made;
    // Replaced whole: a disk that fills half-way leaves the last snapshot.
    return replaceFile(folder + "/CAN-" + serialFileComponent(snapshot.serial) + ".txt", snapshotText(snapshot));
}

}  // namespace ktx::can
