// The libftdi backend on an emulated FT232R: libusb, libftdi and the backend
// run for real; only the kernel's usbdevfs and the chip are emulated.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/RealTimeSource.h"
#include "link/LibFtdiDriver.h"
#include "sim/Scenario.h"
#include "usb/EmulatedFt232r.h"
#include "usb/UsbTestbed.h"

namespace ktx::usbemu {
namespace {

void* indexArg(uint32_t index)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(index));
}

class EmulatedChipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!UsbTestbed::active())
            GTEST_SKIP() << "run under umockdev-wrapper (ctest does)";
    }

    // Plugs a chip answering as the scenario says.
    EmulatedFt232r& plug(const DeviceSpec& spec = {}, sim::Scenario scenario = sim::defaultScenario())
    {
        scenario.description = spec.description;
        scenario.serial = spec.serial;
        chips_.push_back(std::make_unique<EmulatedFt232r>(time_, scenario));
        EXPECT_TRUE(bed_.plug(spec, chips_.back()->handler()));
        return *chips_.back();
    }

    std::string listed(uint32_t index, uint32_t which)
    {
        char text[kFtListBufferSize] = {};
        const FT_STATUS status = driver_->FT_ListDevices(indexArg(index), text, FT_LIST_BY_INDEX | which);
        return status == FT_OK ? std::string(text) : "status " + std::to_string(status);
    }

    uint32_t count()
    {
        uint32_t devices = 0;
        EXPECT_EQ(driver_->FT_ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        return devices;
    }

    FT_HANDLE open(int index = 0)
    {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(driver_->FT_Open(index, &handle), FT_OK);
        return handle;
    }

    RealTimeSource time_;
    UsbTestbed bed_;
    std::vector<std::unique_ptr<EmulatedFt232r>> chips_;
    // Closed before the chips go.
    std::unique_ptr<LibFtdiDriver> driver_ = std::make_unique<LibFtdiDriver>(time_);
};

TEST_F(EmulatedChipTest, ListsTheChipWithItsStrings)
{
    plug();
    ASSERT_EQ(count(), 1u);
    EXPECT_EQ(listed(0, FT_OPEN_BY_DESCRIPTION), "Korvantix");
    EXPECT_EQ(listed(0, FT_OPEN_BY_SERIAL_NUMBER), "1234567");
    FT_HANDLE handle = open(0);
    const char command[] = "FL_READ_VERSION$";
    uint32_t moved = 0;
    EXPECT_EQ(driver_->FT_SetBaudRate(handle, 115200), FT_OK);
    EXPECT_EQ(driver_->FT_SetTimeouts(handle, 100, 100), FT_OK);
    EXPECT_EQ(driver_->FT_Write(handle, command, sizeof command - 1, &moved), FT_OK);
    EXPECT_EQ(moved, sizeof command - 1);
    char reply[64] = {};
    EXPECT_EQ(driver_->FT_Read(handle, reply, 10, &moved), FT_OK);
    EXPECT_EQ(std::string(reply, moved), "SUMI-5.7ab");
    EXPECT_EQ(driver_->FT_Close(handle), FT_OK);
}

}  // namespace
}  // namespace ktx::usbemu
