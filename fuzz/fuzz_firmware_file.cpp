// The firmware file reader on arbitrary files: every record it hands out is
// as long as its length field says or reported cut short, the reader always
// comes to an end, and the blocks of each record carry its bytes exactly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "telit/FirmwareFile.h"
#include "telit/RawBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::FILE* file = std::tmpfile();
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::rewind(file);
    ktx::telit::FirmwareReader reader(file);
    ktx::telit::FirmwareHeader header;
    if (reader.readHeader(header)) {
        if (header.length < ktx::telit::kMinHeaderLength || header.firmwareName.size() > 32 || header.targetName.size() > 32)
            std::abort();
        ktx::telit::FirmwareRecord record;
        std::string frame;
        uint8_t number = 0;
        size_t consumed = header.length;
        for (;;) {
            const ktx::telit::RecordRead read = reader.readRecord(record);
            if (read == ktx::telit::RecordRead::End || read == ktx::telit::RecordRead::LengthCut)
                break;
            consumed += 2 + record.payload.size();
            if (consumed > size || record.payload.size() > record.declaredSize())
                std::abort();
            if (read == ktx::telit::RecordRead::PayloadCut) {
                if (record.complete())
                    std::abort();
                break;
            }
            std::string carried;
            for (const std::string_view piece : ktx::telit::RawBlock::split(record.payload)) {
                ktx::telit::RawBlock::frame(number++, piece, frame);
                if (frame.size() > ktx::telit::RawBlock::kFullBytes || !frame.ends_with(piece))
                    std::abort();
                carried.append(piece);
            }
            if (carried != record.payload)
                std::abort();
        }
    }
    std::fclose(file);
    return 0;
}
