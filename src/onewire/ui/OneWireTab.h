#pragma once
// The "1WIRE" tab: identifiers on the bus and the temperature sensors.
#include <QTimer>
#include <QWidget>
#include <array>

#include "link/AppContext.h"
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

class OneWireTab : public QWidget {
    Q_OBJECT
public:
    OneWireTab(AppContext& context, QTimer* timer4, QWidget* parent = nullptr);
    ~OneWireTab() override;

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
    const onewire::TemperatureTest& temperatureTest() const { return test_; }

    Ui::OneWireTab* ui;

private:
    void OneWireClick();
    Sensor buildSensor(int number, QGroupBox* group);
    bool readIdentifierInto(QLineEdit* target);
    void resetLamps();
    void showReading(Sensor& sensor, float value);
    void blinkHeartbeat();

    AppContext& context_;
    QTimer* timer4_;
    onewire::TemperatureTest test_;
    std::array<Sensor, onewire::kSensorCount> sensors_;
};

}  // namespace ktx
