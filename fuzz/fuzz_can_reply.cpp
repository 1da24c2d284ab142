// Any bytes from the device into the CAN reply parser, and any fifteen frames
// into the decoder and the grid rows: nothing may read past the reply, crash,
// or lose track of the grids' rows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "can/CanDecoder.h"
#include "can/CanReply.h"
#include "can/FixedText.h"

namespace {

void checkView(const ktx::can::CanView& view, const ktx::can::CanGrids& grids)
{
    for (const auto* rows : {&view.canRows, &view.fuelRows, &view.axisRows})
        for (const ktx::can::RowWrite& row : *rows)
            if (row.row < 0 || row.row >= 16 + 1 || (row.added && !row.cells[0]))
                __builtin_trap();
    for (const ktx::can::CellWrite& cell : view.weightCells)
        if (cell.row < 0 || cell.row > 14 || cell.column < 0 || cell.column > 14)
            __builtin_trap();
    if (grids.canGrid.rowCount() > 16 || grids.fuelGrid.rowCount() > 16 || grids.axisGrid.rowCount() > 16)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As the poll holds it: at most 511 bytes with a zero behind them.
    const std::string reply(reinterpret_cast<const char*>(data), size < 511 ? size : 511);
    ktx::can::CanGrids grids;
    if (const auto frames = ktx::can::parseCanReply(reply))
        checkView(ktx::can::decodeFrames(*frames, grids, ","), grids);

    // The same bytes as the 45 numbers of a reply that parsed.
    ktx::can::CanFrames frames{};
    uint32_t words[45] = {};
    std::memcpy(words, data, size < sizeof words ? size : sizeof words);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = {words[3 * i], words[3 * i + 1], words[3 * i + 2]};
    ktx::can::CanGrids fresh;
    checkView(ktx::can::decodeFrames(frames, fresh, "."), fresh);

    uint64_t units = 0;
    std::memcpy(&units, data, size < sizeof units ? size : sizeof units);
    const int scale = size > 8 ? data[8] % 24 - 2 : 1;
    const int precision = size > 9 ? data[9] % 24 - 2 : 3;
    const int decimals = size > 10 ? data[10] % 24 - 2 : 1;
    const std::string text = ktx::can::fixedDecimal(units, scale, precision, decimals, ",");
    if (text.empty() || text.size() > 64)
        __builtin_trap();
    return 0;
}
