// The device settings replies on arbitrary bytes: values and the access-point
// scanner stay inside the reply and take fields whole.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "gsm/DeviceSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    for (std::string_view prefix : {"PIN=", "IP=", "PORT="}) {
        const auto value = ktx::gsm::takeSettingValue(reply, prefix, "-1");
        if (value && value->size() > size)
            std::abort();
    }
    if (const auto point = ktx::gsm::scanAccessPoint(reply)) {
        if (point->name.size() + point->user.size() + point->password.size() > size)
            std::abort();
        for (const std::string* field : {&point->name, &point->user, &point->password})
            if (field->find('"') != std::string::npos)
                std::abort();
    }
    return 0;
}
