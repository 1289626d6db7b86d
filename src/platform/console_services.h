#pragma once

#include "platform/browser_pane.h"
#include "platform/dialogs.h"

#include <iosfwd>
#include <string>

namespace qb {

// Dialogs without a window, for the command line and anything else that runs headless: messages go to a
// stream, questions get a fixed answer and file dialogs choose nothing.
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

} // namespace qb
