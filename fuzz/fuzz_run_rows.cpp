// Check records on arbitrary bytes, as the outbox hands them to the results
// database: a record that reads has a run id, and each measurement belongs
// to one of its steps; one that does not says why.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "results/RunRows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ktx::results::RunRows rows;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ktx::results::runRowsFromJson(text, rows, error))
        return error.empty() ? (std::abort(), 0) : 0;
    if (rows.runId.size() != 16 || rows.serial.empty())
        std::abort();
    for (const ktx::results::MeasurementRow& m : rows.measurements)
        if (m.stepIndex < 0 || static_cast<size_t>(m.stepIndex) >= rows.steps.size())
            std::abort();
    return 0;
}
