#pragma once
// How one poll's values appear on the "Входы и выходы" tab: bars, volt
// panels, scaled values, counters and input lamps. Texts are UTF-8.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "io/StatusRecord.h"
#include "io/StatusReplies.h"

namespace ktx::io {

constexpr int kBarMaximum = 1023;
constexpr int kInputCount = 8;
constexpr int kCounterCount = 8;

// Supply and battery volts from a raw ADC value.
long double supplyVolts(long double raw);
// Supply volts as the firmware version reports them: newer firmware scales
// linearly, older uses the polynomial.
long double supplyVoltsForVersion(int32_t raw, int version);
// The analogue inputs' volts from their raw ADC values.
long double ain1Volts(int32_t raw);
long double ain2Volts(int32_t raw);
// A volt value as the panels show it: one decimal, at most three
// significant digits ("12,8").
std::string voltText(long double volts, std::string_view decimalPoint);

struct InputLook {
    std::string caption;  // "1" or "0"
    bool zeroOverlay;     // the "z" picture over the input is shown
    bool alarm;           // frame red instead of button face
};
// Inputs 1 to 4 alarm at 0, inputs 5 to 8 at 1 (index 0..7).
InputLook inputLook(int index, int32_t value);

struct StatusView {
    std::array<int, 4> bars{};  // VoltageBar, AinBar1, AinBar2, AkkBar
    std::string voltagePanel, ainPanel1, ainPanel2, akkPanel;
    std::array<std::string, 4> panelRec;  // PanelRec1..4
    // Panel1, Panel2, Count3..Count8; unset = caption stays.
    std::array<std::optional<std::string>, kCounterCount> counters;
    // Count5..Count8 shown or hidden; unset = left as they are.
    std::optional<bool> longCountersShown;
    std::array<std::optional<InputLook>, kInputCount> inputs;  // unset = stays
};

// What a live plot shows of a poll: supply, battery, AIN1 and AIN2 in volts,
// NaN for each value the DEVICE_TEST reply did not bring this time
// (deviceTestFields converted, in reply order).
enum PlottedVolt { kPlotSupply, kPlotBattery, kPlotAin1, kPlotAin2, kPlottedVolts };
std::array<double, kPlottedVolts> plottedVolts(const StatusRecord& record, int deviceTestFields, int version);

// scales: the factors of Edit1..Edit4 (power, ain1, ain2, reserve).
StatusView buildStatusView(const StatusRecord& record, const AddTestScan& addTest, int version,
    const std::array<double, 4>& scales, std::string_view decimalPoint);

}  // namespace ktx::io
