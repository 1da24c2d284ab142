#include "telit/FirmwareFile.h"

#include <array>
#include <cstring>

#include "base/RegularFile.h"

namespace ktx::telit {
namespace {

constexpr std::array<std::string_view, 2> kEraseCodes{
    std::string_view("\xA9\x6A\xC8\x41", 4),
    std::string_view("\x1D\x8D\xC0\xFF", 4),
};

uint16_t littleEndian(const unsigned char* bytes)
{
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::string nameField(const char* bytes)
{
    return std::string(bytes, strnlen(bytes, kHeaderNameBytes));
}

int closeNothing(std::FILE*)
{
    return 0;
}

}  // namespace

bool EraseRecord::matches(std::string_view payload)
{
    for (const std::string_view code : kEraseCodes)
        if (payload.starts_with(code))
            return true;
    return false;
}

FileHandle openFirmwareFile(const std::string& path)
{
    std::FILE* file = openRegularFileStream(path);
    if (!file)
        return FileHandle(nullptr, closeNothing);
    return FileHandle(file, std::fclose);
}

size_t FirmwareReader::read(void* into, size_t count)
{
    return count == 0 ? 0 : std::fread(into, 1, count, file_);
}

bool FirmwareReader::skip(size_t count)
{
    char discard[256];
    while (count > 0) {
        const size_t chunk = count < sizeof discard ? count : sizeof discard;
        if (read(discard, chunk) != chunk)
            return false;
        count -= chunk;
    }
    return true;
}

bool FirmwareReader::readHeader(FirmwareHeader& header)
{
    unsigned char length[2];
    char firmwareName[kHeaderNameBytes];
    char targetName[kHeaderNameBytes];
    if (read(length, sizeof length) != sizeof length || read(firmwareName, sizeof firmwareName) != sizeof firmwareName
        || read(targetName, sizeof targetName) != sizeof targetName)
        return false;
    header.length = littleEndian(length);
    header.firmwareName = nameField(firmwareName);
    header.targetName = nameField(targetName);
    // A length below the fields just read cannot be a header; one beyond the
    // file's end is a header cut short.
    return header.length >= kMinHeaderLength && skip(header.length - kMinHeaderLength);
}

RecordRead FirmwareReader::readRecord(FirmwareRecord& record)
{
    unsigned char length[2];
    const size_t got = read(length, sizeof length);
    record.payload.clear();
    if (got == 0)
        return std::ferror(file_) ? RecordRead::LengthCut : RecordRead::End;
    if (got != sizeof length)
        return RecordRead::LengthCut;
    record.lastIndex = littleEndian(length);
    record.payload.resize(record.declaredSize());
    record.payload.resize(read(record.payload.data(), record.payload.size()));
    return record.complete() ? RecordRead::Record : RecordRead::PayloadCut;
}

}  // namespace ktx::telit
