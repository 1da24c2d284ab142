#pragma once
// Finds the tracker among the FTDI devices, asks its firmware for the
// version, and tells the window which tabs and groups that version supports.
#include <string>
#include <vector>

#include "link/AppContext.h"

namespace ktx {

// One control the version decides: shown when version >= minVersion.
// A tab is enabled or disabled; other controls are made visible or hidden,
// and enabled or disabled too where enable is set.
struct VersionRule {
    int minVersion;
    const char* name;  // objectName of the control (or of the tab page)
    bool isTab;
    bool enable;
    bool show;
};

const std::vector<VersionRule>& versionTable();

class IdentificationView {
public:
    virtual ~IdentificationView() = default;
    virtual void showSerialText(const std::string& serialText) = 0;   // SerPanel caption
    virtual void showVersionText(const std::string& versionText) = 0; // VerLabel caption
    virtual void setVersionColourGreen(bool green) = 0;               // VerLabel font: green or black
    virtual void applyRule(const VersionRule& rule, bool on) = 0;
    virtual bool readGsmAutoChecked() const = 0;
    virtual bool autoCheckChecked() const = 0;
    virtual void readGsmParams() = 0;  // ReadGSMParamsClick
    virtual void programClick() = 0;   // ProgramClick
};

// Firmware version number of a reply such as "SUMI-5.7..": major*10+minor
// below minor 10, else major*100+minor. False when no edition code matches.
bool parseVersionReply(const char* reply, int& version, bool& dral);

// The device-change handler: runs the whole search once.
void identifyDevices(AppContext& context, IdentificationView& view);

}  // namespace ktx
