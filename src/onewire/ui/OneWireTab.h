#pragma once
// The "1WIRE" tab: identifiers on the bus and the temperature sensors.
#include <QTimer>
#include <QWidget>

#include "base/AppContext.h"

namespace Ui {
class OneWireTab;
}

namespace ktx {

class OneWireTab : public QWidget {
    Q_OBJECT
public:
    OneWireTab(AppContext& context, QTimer* timer4, QWidget* parent = nullptr);
    ~OneWireTab() override;

    Ui::OneWireTab* ui;

private:
    AppContext& context_;
    QTimer* timer4_;
};

}  // namespace ktx
