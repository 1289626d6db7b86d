#include "inventory/shortcut_names.h"

#include "platform/text.h"

#include <array>

namespace qb {

namespace {
constexpr std::array<std::string_view, 22> kReservedNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
// A shortcut's file name is the entry's name and ".lnk": 255 characters at most in one component.
constexpr std::size_t kMaxNameBytes = 251;

// "CON" and "CON.txt" alike name the device, whatever follows the first dot.
bool IsReservedFileName(std::string_view name) {
    const std::string stem = UpperCase(name.substr(0, name.find('.')));
    std::string_view trimmed = stem;
    while (!trimmed.empty() && trimmed.back() == ' ') {
        trimmed.remove_suffix(1);
    }
    for (const auto reserved : kReservedNames) {
        if (trimmed == reserved) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> NameProblem(std::string_view name, bool madeUp) {
    if (name.empty()) {
        return "The name is empty.";
    }
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
            return "A name for the startup folder cannot contain any of the characters \\ / : * ? \" < > | "
                   "or "
                   "control characters.";
        }
    }
    if (name == "." || name == "..") {
        return "A name for the startup folder cannot be \".\" or \"..\".";
    }
    if (madeUp && (name.back() == '.' || name.back() == ' ')) {
        return "A name for the startup folder cannot end with a dot or a blank.";
    }
    if (IsReservedFileName(name)) {
        return "\"" + std::string(name) + "\" is a name Windows reserves for a device.";
    }
    if (name.size() > kMaxNameBytes) {
        return "The name is too long for a file name.";
    }
    return std::nullopt;
}

} // namespace

bool NamesReservedDevice(std::string_view path) {
    const auto cut = path.find_last_of("\\/:");
    return IsReservedFileName(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::optional<std::string> ShortcutFileNameProblem(std::string_view name) {
    return NameProblem(name, false);
}

std::optional<std::string> ShortcutNameProblem(std::string_view name) {
    return NameProblem(name, true);
}

} // namespace qb
