#include "platform/sandbox/sandbox_services.h"

#include <ctime>
#include <ostream>

namespace qb::sandbox {

LocalTime HostClock::Now() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

DialogResult ConsoleDialogs::ShowMessage(std::string_view text, MessageKind, MessageButtons buttons) {
    out_ << text << '\n';
    switch (buttons) {
    case MessageButtons::Ok:
        return DialogResult::Ok;
    case MessageButtons::YesNo:
        return answerYes_ ? DialogResult::Yes : DialogResult::No;
    case MessageButtons::OkCancel:
        return answerYes_ ? DialogResult::Ok : DialogResult::Cancel;
    }
    return DialogResult::Ok;
}

DialogResult ConsoleDialogs::ShowTitledMessage(std::string_view title, std::string_view text) {
    out_ << title << ": " << text << '\n';
    return answerYes_ ? DialogResult::Ok : DialogResult::Cancel;
}

} // namespace qb::sandbox
