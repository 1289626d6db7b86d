#include "platform/console_services.h"

#include <ostream>

namespace qb {

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

} // namespace qb
