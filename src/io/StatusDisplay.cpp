#include "io/StatusDisplay.h"

#include <algorithm>
#include <limits>

#include "base/FloatText.h"

namespace ktx::io {
namespace {

constexpr long double kNewSupplyVoltsPerCount = 0.035L;
constexpr long double kAin1VoltsPerCount = 0.0081302L;
constexpr long double kAin2VoltsPerCount = 0.023451L;
constexpr int kLinearSupplyVersion = 900;

int barValue(int32_t raw) { return std::clamp<int32_t>(raw, 0, kBarMaximum); }

std::string voltPanel(int32_t raw, const char* opening, long double volts, std::string_view decimalPoint)
{
    return std::to_string(raw) + opening + voltText(volts, decimalPoint) + " В)";
}

std::string scaledText(double scale, int32_t raw, std::string_view decimalPoint)
{
    return generalText(static_cast<long double>(scale) * raw, 15, decimalPoint);
}

}  // namespace

long double supplyVolts(long double x)
{
    return 8.3166445e-11L * x * x * x * x - 1.0739501e-7L * x * x * x + 4.4630191e-5L * x * x + 0.0172257L * x;
}

long double supplyVoltsForVersion(int32_t raw, int version)
{
    return version >= kLinearSupplyVersion ? kNewSupplyVoltsPerCount * raw : supplyVolts(raw);
}

long double ain1Volts(int32_t raw) { return kAin1VoltsPerCount * raw; }
long double ain2Volts(int32_t raw) { return kAin2VoltsPerCount * raw; }

std::string voltText(long double volts, std::string_view decimalPoint) { return fixedText(volts, 3, 1, decimalPoint); }

std::array<double, kPlottedVolts> plottedVolts(const StatusRecord& r, int deviceTestFields, int version)
{
    // Positions of the four raw values in the DEVICE_TEST reply.
    constexpr int kPowerField = 0, kAin1Field = 3, kAin2Field = 4, kReserveField = 7;
    auto fresh = [deviceTestFields](int field, long double volts) {
        return field < deviceTestFields ? static_cast<double>(volts) : std::numeric_limits<double>::quiet_NaN();
    };
    std::array<double, kPlottedVolts> volts{};
    volts[kPlotSupply] = fresh(kPowerField, supplyVoltsForVersion(r.power, version));
    volts[kPlotBattery] = fresh(kReserveField, supplyVolts(r.reserve));
    volts[kPlotAin1] = fresh(kAin1Field, kAin1VoltsPerCount * r.ain1);
    volts[kPlotAin2] = fresh(kAin2Field, kAin2VoltsPerCount * r.ain2);
    return volts;
}

InputLook inputLook(int index, int32_t value)
{
    const bool on = value != 0;
    return {on ? "1" : "0", !on, index < 4 ? !on : on};
}

StatusView buildStatusView(const StatusRecord& r, const AddTestScan& addTest, int version,
    const std::array<double, 4>& scales, std::string_view decimalPoint)
{
    StatusView view;
    view.bars = {barValue(r.power), barValue(r.ain1), barValue(r.ain2), barValue(r.reserve)};
    view.panelRec = {scaledText(scales[0], r.power, decimalPoint), scaledText(scales[1], r.ain1, decimalPoint),
        scaledText(scales[2], r.ain2, decimalPoint), scaledText(scales[3], r.reserve, decimalPoint)};
    view.voltagePanel = voltPanel(r.power, " (~", supplyVoltsForVersion(r.power, version), decimalPoint);
    view.ainPanel1 = voltPanel(r.ain1, " (", ain1Volts(r.ain1), decimalPoint);
    view.ainPanel2 = voltPanel(r.ain2, " (", ain2Volts(r.ain2), decimalPoint);
    view.akkPanel = voltPanel(r.reserve, " (~", supplyVolts(r.reserve), decimalPoint);

    view.counters[0] = std::to_string(r.count1);
    view.counters[1] = std::to_string(r.count2);
    // Inputs 3 and 4 are decimal digits of one field, taken as unsigned.
    const auto in34 = static_cast<uint32_t>(r.in34);
    const int32_t low[4] = {r.in1, r.in2, static_cast<int32_t>(in34 % 10), static_cast<int32_t>((in34 / 10) % 10)};
    for (int i = 0; i < 4; ++i)
        view.inputs[i] = inputLook(i, low[i]);

    if (addTest.fields >= 8) {
        view.counters[2] = std::to_string(r.count3);
        view.counters[3] = std::to_string(r.count4);
        const int32_t high[4] = {r.in5, r.in6, r.in7, r.in8};
        for (int i = 0; i < 4; ++i)
            view.inputs[4 + i] = inputLook(4 + i, high[i]);
        view.longCountersShown = addTest.longForm;
        if (addTest.longForm) {
            const int32_t longCounts[4] = {r.count5, r.count6, r.count7, r.count8};
            for (int i = 0; i < 4; ++i)
                view.counters[4 + i] = std::to_string(longCounts[i]);
        }
    }
    return view;
}

}  // namespace ktx::io
