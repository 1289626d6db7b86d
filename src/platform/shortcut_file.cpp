#include "platform/shortcut_file.h"

namespace qb {

ShortcutLoad ShortcutFromFile(std::string_view path, const std::optional<std::string>& bytes,
                              ShellLinkContext context,
                              const std::function<std::string(const std::string&)>& finishTarget) {
    if (!bytes) {
        return {std::nullopt, "the file could not be read"};
    }
    const std::size_t slash = path.find_last_of('\\');
    context.linkFolder = std::string(path.substr(0, slash == std::string_view::npos ? 0 : slash));
    const auto link = DecodeShellLink(*bytes, context);
    if (!link) {
        return {std::nullopt, link.problem};
    }
    ShortcutInfo info;
    info.target = link->targetPath.empty() ? std::string() : finishTarget(link->targetPath);
    info.arguments = link->arguments;
    info.description = link->description;
    info.workingDirectory = link->workingDirectory;
    info.iconLocation = link->iconLocation;
    info.iconIndex = link->iconIndex;
    info.showCommand = link->showCommand;
    return {info, {}};
}

} // namespace qb
