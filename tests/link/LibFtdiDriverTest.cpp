// The libftdi backend on whatever USB the test machine has (usually none):
// listing and opening must fail cleanly past the end of the list, and calls on
// handles it never gave out must be refused without touching memory. Its
// work on a USB device is tested on an emulated chip in tests/usb.
#include <gtest/gtest.h>

#include <cstring>

#include "link/LibFtdiDriver.h"
#include "link/VirtualTimeSource.h"

namespace ktx {
namespace {

void* indexArg(uint32_t index)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(index));
}

TEST(LibFtdiDriver, IndexPastTheListFailsForStringsAndOpen)
{
    VirtualTimeSource time;
    LibFtdiDriver driver(time);
    uint32_t count = 12345;
    const FT_STATUS status = driver.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    EXPECT_EQ(status, FT_OK);
    EXPECT_LT(count, 64u);

    for (const uint32_t which : {FT_OPEN_BY_DESCRIPTION, FT_OPEN_BY_SERIAL_NUMBER}) {
        for (const uint32_t index : {count, count + 1, 0xFFFFFFFFu}) {
            char buffer[kFtListBufferSize];
            std::memset(buffer, 'x', sizeof buffer);
            EXPECT_NE(driver.FT_ListDevices(indexArg(index), buffer, FT_LIST_BY_INDEX | which), FT_OK)
                << "index " << index;
            EXPECT_EQ(buffer[0], 'x');
        }
    }

    FT_HANDLE handle = nullptr;
    EXPECT_NE(driver.FT_Open(static_cast<int>(count), &handle), FT_OK);
    EXPECT_NE(driver.FT_Open(-1, &handle), FT_OK);
    EXPECT_NE(driver.FT_Open(0, nullptr), FT_OK);
    if (count == 0) {
        // What the console meets with no tracker plugged in.
        EXPECT_NE(driver.FT_Open(0, &handle), FT_OK);
        EXPECT_EQ(driver.FT_Close(handle), FT_INVALID_HANDLE);
    }
}

TEST(LibFtdiDriver, HandlesNeverGivenOutAreRefused)
{
    VirtualTimeSource time;
    LibFtdiDriver driver(time);
    for (FT_HANDLE handle : {FT_HANDLE(nullptr), reinterpret_cast<FT_HANDLE>(uintptr_t(0xDEADBEEF)),
                             reinterpret_cast<FT_HANDLE>(uintptr_t(1))}) {
        char bytes[8] = "ABC";
        uint32_t moved = 99;
        EXPECT_EQ(driver.FT_SetBaudRate(handle, 115200), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_SetDivisor(handle, 3), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_SetTimeouts(handle, 1, 1), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE),
                  FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_SetLatencyTimer(handle, 1), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_Write(handle, bytes, 3, &moved), FT_INVALID_HANDLE);
        EXPECT_EQ(moved, 0u);
        moved = 99;
        EXPECT_EQ(driver.FT_Read(handle, bytes, sizeof bytes, &moved), FT_INVALID_HANDLE);
        EXPECT_EQ(moved, 0u);
        EXPECT_EQ(driver.FT_Write(handle, bytes, 3, nullptr), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_ResetDevice(handle), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.FT_Close(handle), FT_INVALID_HANDLE);
    }
}

TEST(LibFtdiDriver, DivisorStandsForTheBaudRateOfTheThreeMegahertzBase)
{
    struct Case {
        uint16_t divisor;
        uint32_t baud;
    };
    const Case cases[] = {
        {0, 3000000},           // the chips' special codes
        {1, 2000000},
        {3, 1000000},           // the modem update's rate
        {26, 115385},
        {0x4000 | 26, 113208},  // 26.5
        {0x8000 | 26, 114286},  // 26.25
        {0xC000 | 26, 114833},  // 26.125
        {0x3FFF, 183},
    };
    for (const Case& c : cases)
        EXPECT_EQ(baudForDivisor(c.divisor), c.baud) << "divisor " << c.divisor;
}

TEST(LibFtdiDriver, StringDescriptorsBecomeWindows1251Text)
{
    struct Case {
        std::string descriptor;  // as the device sent it
        bool ok;
        std::string text;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"\x0A\x03K\0o\0r\0v\0"s, true, "Korv"},
        {"\x06\x03\x16\x04\x4F\x04"s, true, "\xC6\xFF"},  // Жя
        {"\x06\x03\x16\x21\x2D\x4E"s, true, "\xB9?"},  // №, a CJK sign
        {"\x06\x03\x3D\xD8\x00\xDE"s, true, "??"},  // a surrogate pair
        {"\x0A\x03" "A\0B\0"s, true, "AB"},  // cut short by the device
        {"\x05\x03" "A\0B\0"s, true, "A"},  // odd length: half a unit
        {"\x02\x03"s, true, ""},
        {"\x06\x02" "A\0B\0"s, false, ""},  // not a string descriptor
        {"\x06"s, false, ""},
    };
    for (const Case& c : cases) {
        std::string text = "unchanged";
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.descriptor.data());
        EXPECT_EQ(LibFtdiDriver::textOfStringDescriptor(bytes, c.descriptor.size(), text), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(text, c.text);
        }
    }
}

}  // namespace
}  // namespace ktx
