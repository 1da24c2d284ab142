// Any bytes from the device as an identifier or temperature reply, and on to
// the texts they become: nothing may read past the reply or crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "onewire/OneWireReplies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Exactly twenty bytes, zeros allowed, as the identifier read takes them.
    std::string identifier = bytes.substr(0, ktx::onewire::kIdentifierReplyBytes);
    identifier.resize(ktx::onewire::kIdentifierReplyBytes, '\0');
    const auto id = ktx::onewire::parseIdentifierReply(identifier);
    if (id.kind == ktx::onewire::IdentifierKind::Identifier && id.text != "NC" && id.text.size() != 12)
        __builtin_trap();

    // At most 22 bytes with a zero behind them, as the temperature read holds them.
    const std::string reply = bytes.substr(0, ktx::onewire::kTemperatureReplyBytes);
    if (const auto value = ktx::onewire::parseTemperatureReply(reply.c_str())) {
        const auto look = ktx::onewire::temperatureLook(*value, ",");
        if (look.scalePosition < ktx::onewire::kScaleMinimum || look.scalePosition > ktx::onewire::kScaleMaximum)
            __builtin_trap();
        ktx::onewire::temperatureLogFields(ktx::onewire::addressForDevice(bytes), *value);
    }
    return 0;
}
