#pragma once
// The "1WIRE" tab: identifiers on the bus and the temperature sensors.
#include <QTimer>
#include <QWidget>
#include <functional>
#include <array>

#include "link/AppContext.h"
#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"
#include "widgets/VersionRules.h"
#include "onewire/OneWireReplies.h"
#include "onewire/TemperatureTest.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace Ui {
class OneWireTab;
}

namespace ktx {

class StyledShape;

class OneWireTab : public QWidget, public ConsoleTab {
    Q_OBJECT
public:
    // Makes its own poll timer, Timer4 (the temperature sensors).
    explicit OneWireTab(DeviceAccess device, QWidget* parent = nullptr);
    ~OneWireTab() override;

    static std::span<const VersionRule> versionRules();

    // temper1readClick .. temper8readClick: sensor is 1 to 8.
    void temperReadClick(int sensor);
    void iButton1readClick();
    void Button17Click();  // flips OneWire
    void Button16Click();  // one tick of the continuous test

    // The controls of one sensor group, by role.
    struct Sensor {
        QGroupBox* group = nullptr;
        QLineEdit* address = nullptr;  // temperNid
        QPushButton* read = nullptr;   // temperNread
        StyledShape* frame = nullptr;  // ThermoBigN
        StyledShape* bar = nullptr;    // TempOkN
        StyledShape* lamp = nullptr;   // CheckN
        QSlider* scale = nullptr;      // TrackBarN
        QLabel* value = nullptr;       // TemperLabelN
    };
    const Sensor& sensor(int index) const { return sensors_[static_cast<size_t>(index)]; }
    const onewire::TemperatureTest& temperatureTest(AppContext& device) { return test_.in(device); }

private:
    Ui::OneWireTab* ui;

    void OneWireClick();
    Sensor buildSensor(int number, QGroupBox* group);
    // Queues the identifier read; then(reached) follows on the GUI thread.
    void readIdentifierInto(QPushButton* button, QLineEdit* target, std::function<void(bool reached)> then);
    void lightLamp(size_t sensor, bool addressed);
    void resetLamps();
    void showReading(Sensor& sensor, float value);

    DeviceAccess device_;
    QTimer* timer4_;
    WorkerOwned<onewire::TemperatureTest> test_;  // the round of sensors, from tick to tick
    std::array<Sensor, onewire::kSensorCount> sensors_;
};

}  // namespace ktx
