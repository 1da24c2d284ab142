#pragma once
// A firmware update bench for tests: the simulated tracker on virtual time,
// a log sink that keeps every line, a view that records what the update
// asked of the window, and a scratch directory for the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "link/AppContext.h"
#include "base/TextCodec.h"
#include "link/UsbLink.h"
#include "link/VirtualTimeSource.h"
#include "sim/SimDriver.h"
#include "telit/sim/TelitModule.h"
#include "support/FileBytes.h"
#include "support/RecordingSink.h"
#include "telit/FirmwareUpdate.h"
#include "FirmwareBuilder.h"

namespace ktx::telit::test {

struct RecordingView : UpdateView {
    int powerOffs = 0;
    std::vector<int> progress;
    int maximum = -1;

    void setProgressMaximum(int value) override { maximum = value; }
    void setProgress(int value) override { progress.push_back(value); }
    void powerOff(AppContext&) override { ++powerOffs; }
};

// A directory of its own for each test, removed afterwards.
struct ScratchDir {
    std::filesystem::path path;

    ScratchDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path()
            / ("ktx-telit-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
};

struct UpdateBench {
    ScratchDir dir;
    VirtualTimeSource time;
    sim::Scenario scenario = sim::defaultScenario();
    ktx::test::RecordingSink log;
    DeviceInfo device;
    RecordingView view;

    // Built on first use, from the scenario as the test left it.
    sim::SimDriver& driver()
    {
        if (!driver_) {
            driver_ = std::make_unique<sim::SimDriver>(time, scenario);
            link_ = std::make_unique<UsbLink>(*driver_, time);
            context_ = std::make_unique<AppContext>(AppContext{*link_, time, log, device});
        }
        return *driver_;
    }
    AppContext& context()
    {
        driver();
        return *context_;
    }
    sim::TelitModule& modem() { return *driver().device().module<sim::TelitModule>(); }

    UpdateOutcome run(const FirmwareBuilder& firmware)
    {
        firmware.writeTo(dir.path / "firmware.bin");
        return runPath(dir.file("firmware.bin"));
    }
    UpdateOutcome runPath(const std::string& path)
    {
        FirmwareUpdate update(context(), view, dir.path.string());
        return update.run(path);
    }

    std::string debugFile(const char* name) const { return ktx::test::readBytes(dir.path / name); }
    bool hasLine(const std::string& utf8) const
    {
        const std::string line = cp1251FromUtf8(utf8);
        for (const auto& l : log.telit)
            if (l == line)
                return true;
        return false;
    }
    int countLines(const std::string& utf8) const
    {
        const std::string line = cp1251FromUtf8(utf8);
        int n = 0;
        for (const auto& l : log.telit)
            n += l == line;
        return n;
    }

private:
    std::unique_ptr<sim::SimDriver> driver_;
    std::unique_ptr<UsbLink> link_;
    std::unique_ptr<AppContext> context_;
};

}  // namespace ktx::telit::test
