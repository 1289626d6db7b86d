#pragma once

#include "platform/browser_pane.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/sandbox/sandbox_settings.h"
#include "platform/system_info.h"

#include <iosfwd>
#include <string>

namespace qb::sandbox {

class SandboxSystemInfo : public SystemInfo {
public:
    explicit SandboxSystemInfo(const SandboxSettings& settings) : settings_(settings) {}
    OsVersion Version() override { return {settings_.family, settings_.majorVersion}; }
    std::string SystemDirectory() override { return settings_.systemDirectory; }
    std::string WindowsDirectory() override { return settings_.windowsDirectory; }

private:
    const SandboxSettings& settings_;
};

// The host's local time.
class HostClock : public Clock {
public:
    LocalTime Now() override;
};

// Dialogs without a window: messages go to a stream, questions get a fixed answer and file dialogs
// choose nothing. For the command line and anything else that runs headless.
class ConsoleDialogs : public Dialogs {
public:
    ConsoleDialogs(std::ostream& out, bool answerYes) : out_(out), answerYes_(answerYes) {}
    DialogResult ShowMessage(std::string_view text, MessageKind kind, MessageButtons buttons) override;
    DialogResult ShowTitledMessage(std::string_view title, std::string_view text) override;
    std::optional<std::string> ChooseFileToOpen(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> ChooseFileToSave(const FileDialogOptions&) override { return std::nullopt; }

private:
    std::ostream& out_;
    bool answerYes_;
};

// A browser pane nobody looks at: it remembers where it was sent.
class HeadlessBrowserPane : public BrowserPane {
public:
    void Navigate(std::string_view url) override { url_ = std::string(url); }
    const std::string& Url() const { return url_; }

private:
    std::string url_;
};

} // namespace qb::sandbox
