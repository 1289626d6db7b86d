#include "checks/reader_checks.h"
#include "platform/sandbox/shell_link_format.h"

namespace qb::fuzz {

namespace {

std::string ChangedFields(const sandbox::ShellLinkData& a, const sandbox::ShellLinkData& b) {
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

} // namespace

Finding CheckShellLink(std::string_view bytes) {
    const auto decoded = sandbox::DecodeShellLink(bytes);
    if (!decoded) {
        return std::nullopt;
    }
    if (decoded->showCommand != 1 && decoded->showCommand != 3 && decoded->showCommand != 7) {
        return "the show command " + std::to_string(decoded->showCommand) + " was not normalised";
    }
    const std::string encoded = sandbox::EncodeShellLink(*decoded);
    const auto again = sandbox::DecodeShellLink(encoded);
    if (!again) {
        return "the re-encoded link does not decode";
    }
    if (!(*again == *decoded)) {
        return "a round trip changed " + ChangedFields(*decoded, *again);
    }
    if (sandbox::EncodeShellLink(*again) != encoded) {
        return "encoding the decoded link again gives other bytes";
    }
    return std::nullopt;
}

} // namespace qb::fuzz
