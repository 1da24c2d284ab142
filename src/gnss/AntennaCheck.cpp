#include "gnss/AntennaCheck.h"

#include <cstdio>

namespace ktx::gnss {

namespace {

constexpr uint32_t kNormalLow = 960;
constexpr uint32_t kNormalHigh = 980;
constexpr uint32_t kModuleOff = 1023;  // the ADC's full scale: no supply at all

}  // namespace

AntennaState antennaState(int32_t reading)
{
    const auto r = static_cast<uint32_t>(reading);
    if (r > kNormalHigh)
        return r == kModuleOff ? AntennaState::ModuleOff : AntennaState::Break;
    if (r < kNormalLow)
        return AntennaState::Short;
    return AntennaState::Normal;
}

AntennaLook antennaLook(AntennaState state)
{
    switch (state) {
    case AntennaState::Break:
        return {true, false, "Обрыв кабеля либо антенна не подключена"};
    case AntennaState::ModuleOff:
        return {true, false, "Возможно, модуль GPS не включен"};
    case AntennaState::Short:
        return {false, true, "Короткое замыкание в кабеле или антенне"};
    case AntennaState::Normal:
        break;
    }
    return {false, false, "Антенна нормально подключена"};
}

std::optional<int32_t> scanAntennaReading(const char* reply)
{
    int f[10];
    const int n = std::sscanf(reply, "ADD_TEST=%d,%d,%d,%d,%d,%d,%d,%d,%d,%d\n", &f[0], &f[1], &f[2], &f[3], &f[4],
        &f[5], &f[6], &f[7], &f[8], &f[9]);
    if (n < 10)
        return std::nullopt;
    return f[2];
}

}  // namespace ktx::gnss
