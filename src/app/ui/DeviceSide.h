#pragma once
// The window's device side: the link, what identification found, and the
// queue of actions that alone use them. The context that reaches the link
// and the device is private here and handed only into an action's work, so
// the window's GUI code gets a DeviceAccess and the queue, and reading the
// device from it does not compile.
#include <memory>

#include "app/ui/Consoles.h"
#include "link/AppContext.h"
#include "link/FtDriver.h"
#include "link/TimeSource.h"
#include "link/UsbLink.h"
#include "widgets/DeviceActions.h"

namespace ktx {

class DeviceSide {
public:
    // On the real clock the actions run on a worker thread of their own; on
    // a virtual one (tests) where they are asked for.
    DeviceSide(FtDriver& driver, TimeSource& time, Consoles& consoles);
    ~DeviceSide();
    DeviceSide(const DeviceSide&) = delete;
    DeviceSide& operator=(const DeviceSide&) = delete;

    DeviceAccess access() { return context_; }
    DeviceActions& actions() const { return *actions_; }

    // The running action ends and the worker stops, before the window's
    // tabs go (they hold the context). The queue is gone after it: an
    // action asked for during the shutdown runs at once, on the GUI thread,
    // the only one left.
    void stopWorker();

private:
    Consoles& consoles_;
    UsbLink link_;
    DeviceInfo device_;
    AppContext context_;
    std::unique_ptr<DeviceActions> actions_;
};

}  // namespace ktx
