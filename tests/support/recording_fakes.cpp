#include "support/recording_fakes.h"

namespace qb::test {

DialogResult ScriptedDialogs::Next(MessageButtons buttons) {
    if (!answers_.empty()) {
        const DialogResult answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        return DialogResult::Ok;
    case MessageButtons::YesNo:
        return DialogResult::No;
    case MessageButtons::OkCancel:
        return DialogResult::Cancel;
    }
    return DialogResult::Ok;
}

DialogResult ScriptedDialogs::ShowMessage(std::string_view text, MessageKind kind, MessageButtons buttons) {
    shown_.push_back({std::string(text), kind, buttons, {}});
    return Next(buttons);
}

DialogResult ScriptedDialogs::ShowTitledMessage(std::string_view title, std::string_view text) {
    shown_.push_back(
        {std::string(text), MessageKind::Information, MessageButtons::OkCancel, std::string(title)});
    return Next(MessageButtons::OkCancel);
}

std::optional<std::string> ScriptedDialogs::NextFile(const FileDialogOptions& options) {
    fileDialogs_.push_back(options);
    if (files_.empty()) {
        return std::nullopt;
    }
    std::string path = std::move(files_.front());
    files_.pop_front();
    return path;
}

std::optional<std::string> ScriptedDialogs::ChooseFileToOpen(const FileDialogOptions& options) {
    return NextFile(options);
}

std::optional<std::string> ScriptedDialogs::ChooseFileToSave(const FileDialogOptions& options) {
    return NextFile(options);
}

} // namespace qb::test
