#pragma once
// The modem firmware file: a header (its length, the firmware's name and the
// target's name) and then records back to back, each a 16-bit little-endian
// N followed by N + 1 payload bytes.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace ktx::telit {

constexpr size_t kHeaderNameBytes = 32;
// Length field and both names: the smallest valid header.
constexpr uint16_t kMinHeaderLength = 2 + 2 * kHeaderNameBytes;

struct FirmwareHeader {
    uint16_t length = 0;       // H: the whole header, its length field included
    std::string firmwareName;  // up to the first zero byte, at most 32 bytes
    std::string targetName;
};

// A record whose payload starts with one of the two erase codes: the modem
// takes it in slowly and says so while it erases.
struct EraseRecord {
    static bool matches(std::string_view payload);
};

struct FirmwareRecord {
    uint16_t lastIndex = 0;  // N: the payload's size minus one
    std::string payload;     // the bytes as read: N + 1 unless the file ended

    size_t declaredSize() const { return size_t(lastIndex) + 1; }
    bool complete() const { return payload.size() == declaredSize(); }
    bool isErase() const { return EraseRecord::matches(payload); }
};

enum class RecordRead {
    Record,      // a whole record
    End,         // the file ended cleanly between two records
    LengthCut,   // the file ended inside a record's length field
    PayloadCut,  // the file ended inside a record's payload
};

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Opens a regular file for reading bytes as they are. A FIFO or device in
// the file's place is refused without blocking.
FileHandle openFirmwareFile(const std::string& path);

class FirmwareReader {
public:
    explicit FirmwareReader(std::FILE* file) : file_(file) {}

    // Reads the header and skips its unused rest. False when the file ends
    // inside it or H is below the smallest valid header.
    bool readHeader(FirmwareHeader& header);
    // The next record into record (its payload buffer is reused).
    RecordRead readRecord(FirmwareRecord& record);

private:
    size_t read(void* into, size_t count);
    bool skip(size_t count);

    std::FILE* file_;
};

}  // namespace ktx::telit
