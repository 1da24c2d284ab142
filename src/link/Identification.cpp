#include "link/Identification.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"
#include "base/TextCodec.h"
#include "link/UsbAccess.h"

namespace ktx {
namespace {

constexpr int kVersionAttempts = 15;
constexpr uint32_t kVersionReplyLength = 10;
constexpr int kMaxSerial = 9999999;

const char* const kEditionPatterns[] = {"VARO-%d.%d", "PENK-%d.%d", "SUMI-%d.%d", "DRAL-%d.%d", "QOZT-%d.%d"};

// The decimal digits at the start, as strtol reads them, held to 32 bits the
// way a 32-bit long saturates.
int32_t serialNumber(const char* text)
{
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Console texts are Windows-1251, like everything the consoles show.
const std::string kFirmwareVersionText = cp1251FromUtf8("Версия прошивки %s (%d)");
const std::string kUnknownNumberText = cp1251FromUtf8("Неизвестный номер %d");
const std::string kSerialNumberText = cp1251FromUtf8("Серийный номер %d");

void queryVersion(AppContext& context, IdentificationView& view, ReplyBuffer<63>& buffer)
{
    if (!readVersionReply(context, buffer))
        return;
    int version = 0;
    bool dral = false;
    if (parseVersionReply(buffer.c_str(), version, dral)) {
        context.device.version = version;
        context.device.dral = dral;
        LogDebug(context.log, 1, kFirmwareVersionText.c_str(), buffer.c_str(), version);
        view.applyFirmware(context.device);
        view.setVersionColourGreen(dral);
    }
}

// A device the system won't let us open is there all the same: the
// technician learns why and what to do, here and in place of the version.
void sayAccessDenied(AppContext& context, IdentificationView& view, const FtFailure& failure)
{
    if (!failure.accessDenied)
        return;
    LogDebug(context.log, 1, "%s", usbAccessDeniedText().c_str());
    LogDebug(context.log, 2, "%s", failure.detail.c_str());
    view.showVersionText(usbAccessDeniedShort());
}

}  // namespace

bool acceptedDescription(const char* description)
{
    return std::strcmp(description, "KALDERNIT") == 0 || std::strcmp(description, "Korvantix") == 0;
}

// Up to 15 attempts at the version reply; false leaves the buffer holding
// whatever the last read left.
bool readVersionReply(AppContext& context, ReplyBuffer<63>& buffer)
{
    UsbLink& link = context.link;
    buffer.clear();
    for (int attempt = 0; attempt < kVersionAttempts; ++attempt) {
        link.SendCommand("FL_READ_VERSION$");
        link.ReadReply(buffer.data(), kVersionReplyLength);
        if (link.transferred() != kVersionReplyLength) {
            context.time.sleepMs(400);
            context.time.beep(100, 100);
            continue;
        }
        buffer.data()[kVersionReplyLength] = '\0';
        return true;
    }
    return false;
}

bool parseVersionReply(const char* reply, int& version, bool& dral)
{
    for (const char* pattern : kEditionPatterns) {
        int major = 0;
        int minor = 0;
        if (std::sscanf(reply, pattern, &major, &minor) != 2)
            continue;
        // The reply is at most ten characters, so these stay small.
        version = minor < 10 ? major * 10 + minor : major * 100 + minor;
        dral = std::strncmp(reply, "DRAL", 4) == 0;
        return true;
    }
    return false;
}

bool listedDeviceCount(FtDriver& driver, uint32_t& count)
{
    count = 0;
    return driver.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY) == FT_OK;
}

bool listedDeviceString(FtDriver& driver, uint32_t index, uint32_t which, std::string& text)
{
    char buffer[kFtListBufferSize] = {};
    void* const indexArg = reinterpret_cast<void*>(static_cast<uintptr_t>(index));
    if (driver.FT_ListDevices(indexArg, buffer, FT_LIST_BY_INDEX | which) != FT_OK)
        return false;
    text = buffer;
    return true;
}

void identifyDevices(AppContext& context, IdentificationView& view)
{
    FtDriver& driver = context.link.driver();
    // Until a tracker answers to its serial number, actions go to device 0.
    context.device.index = -1;
    context.link.setDeviceIndex(0);

    uint32_t count = 0;
    if (!listedDeviceCount(driver, count))
        return;
    ReplyBuffer<63> buffer;
    std::string description;
    std::string serialText;
    for (uint32_t index = 0; index < count; ++index) {
        if (!listedDeviceString(driver, index, FT_OPEN_BY_DESCRIPTION, description)) {
            sayAccessDenied(context, view, driver.lastFailure());
            return;
        }
        if (!acceptedDescription(description.c_str()))
            continue;
        if (!listedDeviceString(driver, index, FT_OPEN_BY_SERIAL_NUMBER, serialText))
            continue;
        const int32_t serial = serialNumber(serialText.c_str());
        context.device.serialText = serialText;
        view.showSerialText(context.device.serialText);
        if (serial < 1 || serial > kMaxSerial) {
            LogDebug(context.log, 1, kUnknownNumberText.c_str(), serial);
            continue;
        }
        LogDebug(context.log, 1, kSerialNumberText.c_str(), serial);

        // The version query goes to this tracker, and so does every later action.
        context.device.index = static_cast<int>(index);
        context.link.setDeviceIndex(static_cast<int>(index));
        if (LinkSession session(context, LinkMode::Normal); session) {
            queryVersion(context, view, buffer);
            context.device.versionText = buffer.c_str();
            view.showVersionText(context.device.versionText);
        } else {
            sayAccessDenied(context, view, context.link.openFailure());
            context.time.beep(50, 50);
        }
        if (view.readGsmAutoChecked())
            view.readGsmParams();
        if (view.autoCheckChecked())
            view.startStatusTest();
    }
}

}  // namespace ktx
