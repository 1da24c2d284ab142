#pragma once
// The trackers plugged in, and the choice of the one to check.
#include <string>
#include <vector>

#include "check/CheckRun.h"
#include "link/FtDriver.h"
#include "link/TimeSource.h"

namespace ktx::check {

// Every FTDI device whose description is a tracker's; false with a message
// when the driver could not list them.
bool listTrackers(FtDriver& driver, std::vector<Tracker>& trackers, std::string& error);

// The one tracker with this serial (empty: the only one plugged in); false
// with a message saying why none could be chosen.
bool chooseTracker(const std::vector<Tracker>& trackers, const std::string& serial, Tracker& chosen, std::string& error);

// The firmware's version reply, read over a channel of its own; empty when
// the tracker did not answer.
std::string firmwareVersionOf(FtDriver& driver, TimeSource& time, const Tracker& tracker);

}  // namespace ktx::check
