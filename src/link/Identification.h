#pragma once
// Finds the tracker among the FTDI devices, asks its firmware for the
// version, and hands what it found to the window, which passes it on to
// every tab (each tab knows what its controls need).
#include <string>

#include "link/AppContext.h"
#include "link/ReplyBuffer.h"

namespace ktx {

class IdentificationView {
public:
    virtual ~IdentificationView() = default;
    // The texts are Windows-1251, as the device gave them.
    virtual void showSerialText(const std::string& serialText) = 0;
    virtual void showVersionText(const std::string& versionText) = 0;
    virtual void setVersionColourGreen(bool green) = 0;  // the version shown green (DRAL) or black
    // A version reply was understood; device holds it.
    virtual void applyFirmware(const DeviceInfo& device) = 0;
    virtual bool readGsmAutoChecked() const = 0;
    virtual bool autoCheckChecked() const = 0;
    virtual void readGsmParams() = 0;  // reads the device's own network settings
    // Starts the status test unless it runs already (never stops it: an
    // identification may follow any device plugged in).
    virtual void startStatusTest() = 0;
};

// Firmware version number of a reply such as "SUMI-5.7..": major*10+minor
// below minor 10, else major*100+minor. False when no edition code matches.
bool parseVersionReply(const char* reply, int& version, bool& dral);

// The descriptions a tracker's USB chip carries.
bool acceptedDescription(const char* description);

// How many FTDI devices the driver lists; false when it could not list them.
bool listedDeviceCount(FtDriver& driver, uint32_t& count);
// Device index's description or serial string as the driver lists it (which:
// FT_OPEN_BY_DESCRIPTION or FT_OPEN_BY_SERIAL_NUMBER); false when the driver
// refused it.
bool listedDeviceString(FtDriver& driver, uint32_t index, uint32_t which, std::string& text);

// Up to 15 attempts at the ten-byte version reply over an open channel; false
// when none came whole (the buffer then holds whatever the last read left).
bool readVersionReply(AppContext& context, ReplyBuffer<63>& buffer);

// The device-change handler: runs the whole search once.
void identifyDevices(AppContext& context, IdentificationView& view);

}  // namespace ktx
