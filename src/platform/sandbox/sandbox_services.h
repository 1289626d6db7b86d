#pragma once

#include "platform/clock.h"
#include "platform/sandbox/sandbox_settings.h"
#include "platform/system_info.h"

#include <string>

namespace qb::sandbox {

class SandboxSystemInfo : public SystemInfo {
public:
    // The settings of a running system never change: their environment is built once.
    explicit SandboxSystemInfo(const SandboxSettings& settings)
        : settings_(settings), environment_(settings.Environment()) {}
    OsVersion Version() override {
        return {settings_.family, settings_.majorVersion, settings_.minorVersion, settings_.x64};
    }
    std::string SystemDirectory() override { return settings_.systemDirectory; }
    std::string WindowsDirectory() override { return settings_.windowsDirectory; }
    std::string ExpandEnvironmentStrings(std::string_view text) override {
        return text.find('%') == std::string_view::npos ? std::string(text) : environment_.Expand(text);
    }

private:
    const SandboxSettings& settings_;
    const EnvironmentTable environment_;
};

// The host's local time.
class HostClock : public Clock {
public:
    LocalTime Now() override;
};

} // namespace qb::sandbox
