// AwaitReply fed arbitrary chunk sequences: it must stay inside its buffer,
// keep the byte behind n zero, and always end.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "link/ReplyBuffer.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"

#include "AcceptingDriver.h"

namespace {

class ChunkDriver : public ktx::fuzz::AcceptingDriver {
public:
    std::deque<std::string> chunks;
    ktx::VirtualTimeSource* time = nullptr;

    ktx::FT_STATUS FT_Read(ktx::FT_HANDLE, void* buffer, uint32_t count, uint32_t* received) override
    {
        *received = 0;
        if (chunks.empty()) {
            time->sleepMs(1);
            return ktx::FT_OK;
        }
        std::string& chunk = chunks.front();
        const uint32_t taken = std::min<uint32_t>(count, static_cast<uint32_t>(chunk.size()));
        std::memcpy(buffer, chunk.data(), taken);
        chunk.erase(0, taken);
        if (chunk.empty())
            chunks.pop_front();
        *received = taken;
        return ktx::FT_OK;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    ktx::VirtualTimeSource time;
    ChunkDriver driver;
    driver.time = &time;
    // First byte: budget; second: n (1..128); then chunks, each a length byte
    // (0 = an empty read) and that many bytes.
    const uint32_t budget = data[0];
    const uint32_t n = 1 + data[1] % 128;
    size_t at = 2;
    while (at < size) {
        const size_t wanted = data[at++];
        const size_t length = std::min<size_t>(wanted, size - at);
        driver.chunks.emplace_back(reinterpret_cast<const char*>(data + at), length);
        at += length;
    }
    ktx::UsbLink link(driver, time);
    link.OpenLink(true);
    ktx::ReplyBuffer<128> buffer;
    link.AwaitReply(buffer.data(), n, budget);
    if (link.transferred() > n || buffer.bytes[n] != 0 || buffer.bytes[128] != 0)
        std::abort();
    link.CloseLink();
    return 0;
}
