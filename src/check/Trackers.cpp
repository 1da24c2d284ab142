#include "check/Trackers.h"

#include <cstdint>

#include "link/AppContext.h"
#include "check/Exchanges.h"
#include "link/Identification.h"
#include "link/LinkSession.h"
#include "link/UsbLink.h"

namespace ktx::check {
namespace {

// A console that keeps nothing: --list only wants the version.
class NoConsole : public LogSink {
public:
    int debugLevel() const override { return 0; }
    void debugLine(std::string_view) override {}
    void modemLine(std::string_view) override {}
    void rs485Line(std::string_view) override {}
    void telitLine(std::string_view) override {}
    void streamLine(std::string_view, std::string_view, std::string_view) override {}
};

}  // namespace

bool listTrackers(FtDriver& driver, std::vector<Tracker>& trackers, std::string& error)
{
    trackers.clear();
    uint32_t count = 0;
    if (!listedDeviceCount(driver, count)) {
        error = "the USB devices could not be listed (is the FTDI chip's driver reachable?)";
        return false;
    }
    for (uint32_t index = 0; index < count; ++index) {
        Tracker tracker;
        tracker.index = static_cast<int>(index);
        if (!listedDeviceString(driver, index, FT_OPEN_BY_DESCRIPTION, tracker.description)
            || !acceptedDescription(tracker.description.c_str()))
            continue;
        if (!listedDeviceString(driver, index, FT_OPEN_BY_SERIAL_NUMBER, tracker.serial))
            continue;
        trackers.push_back(tracker);
    }
    return true;
}

bool chooseTracker(const std::vector<Tracker>& trackers, const std::string& serial, Tracker& chosen, std::string& error)
{
    if (serial.empty()) {
        if (trackers.size() == 1) {
            chosen = trackers.front();
            return true;
        }
        if (trackers.empty()) {
            error = "no tracker is plugged in";
            return false;
        }
        error = std::to_string(trackers.size()) + " trackers are plugged in (serials";
        for (const Tracker& tracker : trackers)
            error += " " + readableBytes(tracker.serial);
        error += "): choose one with --serial";
        return false;
    }
    const Tracker* found = nullptr;
    for (const Tracker& tracker : trackers) {
        if (tracker.serial != serial)
            continue;
        if (found) {
            error = "two trackers carry the serial " + serial + ": unplug one";
            return false;
        }
        found = &tracker;
    }
    if (!found) {
        error = "no tracker with the serial " + serial + " is plugged in";
        return false;
    }
    chosen = *found;
    return true;
}

std::string firmwareVersionOf(FtDriver& driver, TimeSource& time, const Tracker& tracker)
{
    UsbLink link(driver, time);
    link.setDeviceIndex(tracker.index);
    NoConsole console;
    DeviceInfo info;
    AppContext context{link, time, console, info};
    LinkSession session(context, LinkMode::Normal);
    if (!session)
        return "";
    ReplyBuffer<63> reply;
    const bool whole = readVersionReply(context, reply);
    session.close();
    return whole ? readableBytes(reply.c_str()) : "";
}

}  // namespace ktx::check
