#pragma once

#include "platform/browser_pane.h"
#include "platform/clock.h"
#include "platform/dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace qb::test {

// Answers from a script and records every dialog shown. An unscripted question is answered No / Cancel,
// and an unscripted file dialog chooses nothing.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        std::string text;
        MessageKind kind;
        MessageButtons buttons;
        std::string title;
    };

    void Answer(DialogResult result) { answers_.push_back(result); }
    void ChooseFile(std::string path) { files_.push_back(std::move(path)); }

    DialogResult ShowMessage(std::string_view text, MessageKind kind, MessageButtons buttons) override;
    DialogResult ShowTitledMessage(std::string_view title, std::string_view text) override;
    std::optional<std::string> ChooseFileToOpen(const FileDialogOptions& options) override;
    std::optional<std::string> ChooseFileToSave(const FileDialogOptions& options) override;

    const std::vector<Shown>& Messages() const { return shown_; }
    const std::vector<FileDialogOptions>& FileDialogs() const { return fileDialogs_; }

private:
    DialogResult Next(MessageButtons buttons);
    std::optional<std::string> NextFile(const FileDialogOptions& options);

    std::deque<DialogResult> answers_;
    std::deque<std::string> files_;
    std::vector<Shown> shown_;
    std::vector<FileDialogOptions> fileDialogs_;
};

class RecordingBrowserPane : public BrowserPane {
public:
    void Navigate(std::string_view url) override { urls.emplace_back(url); }
    std::vector<std::string> urls;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(LocalTime now) : time(now) {}
    LocalTime Now() override { return time; }
    LocalTime time;
};

} // namespace qb::test
