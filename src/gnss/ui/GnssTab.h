#pragma once
// The "GPS/ГЛОНАСС" tab: antenna and receiver test, device clock.
#include <QUrl>
#include <QWidget>
#include <functional>

#include "link/AppContext.h"
#include "widgets/DeviceActions.h"
#include "widgets/ConsoleTab.h"
#include "widgets/VersionRules.h"
#include "widgets/LinkOpener.h"
#include "gnss/DeviceClock.h"
#include "gnss/ReceiverTest.h"

namespace Ui {
class GnssTab;
}

namespace ktx {

class GnssTab : public QWidget, public ConsoleTab {
    Q_OBJECT
public:
    explicit GnssTab(DeviceAccess device, QWidget* parent = nullptr);
    ~GnssTab() override;

    static std::span<const VersionRule> versionRules();

    void Button18Click();   // antenna test
    void Button20Click();   // switches the receiver on
    void Button19Click();   // position query
    void maplabelClick();   // opens CoorLine's link
    void GETTIMERClick();   // reads the device clock
    void SETTIMERClick();   // sets it from the PC's UTC time

    // How maplabel hands a link to the desktop (tests catch it here); a link
    // it can't open is shown in a message to copy it from.
    void setUrlOpener(UrlOpener opener) { opener_ = std::move(opener); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Ui::GnssTab* ui;

    void showPosition(const gnss::PositionReply& reply);
    void showClock(const gnss::ClockOutcome& outcome);
    DeviceAccess device_;
    UrlOpener opener_;
};

}  // namespace ktx
