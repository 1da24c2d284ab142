#include "app/ui/DeviceSide.h"

#include "link/RealTimeSource.h"

namespace ktx {

DeviceSide::DeviceSide(FtDriver& driver, TimeSource& time, Consoles& consoles)
    : consoles_(consoles), link_(driver, time), context_{link_, time, consoles, device_}
{
    const bool realClock = dynamic_cast<RealTimeSource*>(&time) != nullptr;
    actions_ = std::make_unique<DeviceActions>(realClock ? DeviceActions::Mode::Worker : DeviceActions::Mode::Inline);
    context_.actions = actions_.get();
    // The one reading of the device outside an action: the data logs are
    // named after the tracker identified, and their lines are written by
    // the actions' work, on the worker that identifies.
    consoles_.setSerialSource([this] { return device_.serialText; });
}

DeviceSide::~DeviceSide()
{
    stopWorker();
    consoles_.setSerialSource(nullptr);
}

void DeviceSide::stopWorker()
{
    actions_.reset();
    context_.actions = nullptr;
}

}  // namespace ktx
