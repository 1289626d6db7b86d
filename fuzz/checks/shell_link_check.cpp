#include "checks/reader_checks.h"
#include "platform/known_folders.h"
#include "platform/shell_link.h"

namespace qb::fuzz {

namespace {

std::string ChangedFields(const ShellLinkData& a, const ShellLinkData& b) {
    std::string out;
    const auto note = [&out](bool same, const char* field) {
        if (!same) {
            out += out.empty() ? field : std::string(", ") + field;
        }
    };
    note(a.targetPath == b.targetPath, "targetPath");
    note(a.relativePath == b.relativePath, "relativePath");
    note(a.workingDirectory == b.workingDirectory, "workingDirectory");
    note(a.arguments == b.arguments, "arguments");
    note(a.description == b.description, "description");
    note(a.iconLocation == b.iconLocation, "iconLocation");
    note(a.iconIndex == b.iconIndex, "iconIndex");
    note(a.showCommand == b.showCommand, "showCommand");
    note(a.hotKey == b.hotKey, "hotKey");
    return out;
}

// A machine that knows a few folders, so that item lists and folder blocks resolve, and reads ANSI text
// beyond ASCII through a code page callback.
const ShellLinkContext& Machine() {
    static const ShellLinkContext context = [] {
        ShellLinkContext c;
        c.linkFolder = "C:\\Users\\Ann\\Links";
        // One character a byte, as a code page gives no more UTF-16 units than bytes: a longer result would
        // let the writer's 260-character cut change a string that was read whole.
        c.ansiToUtf8 = [](std::string_view ansi) { return std::string(ansi.size(), '?'); };
        c.knownFolderPath = [](std::string_view id) -> std::optional<std::string> {
            if (id == folder_id::kDesktop || id == folder_id::kProfile || id == folder_id::kWindows) {
                return "C:\\Known" + std::string(id.substr(1, 4));
            }
            return std::nullopt;
        };
        return c;
    }();
    return context;
}

} // namespace

Finding CheckShellLink(std::string_view bytes) {
    const auto decoded = DecodeShellLink(bytes, Machine());
    if (!decoded) {
        if (decoded.problem.empty()) {
            return "a refused link gives no reason";
        }
        return std::nullopt;
    }

    if (decoded->showCommand != 1 && decoded->showCommand != 3 && decoded->showCommand != 7) {
        return "the show command " + std::to_string(decoded->showCommand) + " was not normalised";
    }
    const std::string encoded = EncodeShellLink(*decoded);
    const auto again = DecodeShellLink(encoded, Machine());
    if (!again) {
        return "the re-encoded link does not decode";
    }
    if (!(*again == *decoded)) {
        return "a round trip changed " + ChangedFields(*decoded, *again);
    }
    if (EncodeShellLink(*again) != encoded) {
        return "encoding the decoded link again gives other bytes";
    }
    return std::nullopt;
}

} // namespace qb::fuzz
