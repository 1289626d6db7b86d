#include "inventory/shell_folders.h"

#include "inventory/command_line.h"

namespace qb {

std::string StartupFolderPath(Shell& shell, bool allUsers) {
    std::string path = shell.StartupFolderPath(allUsers);
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

bool CreateStartupShortcut(Shell& shell, std::string_view command, std::string_view name,
                           std::string_view description, bool allUsers) {
    const std::string folder = StartupFolderPath(shell, allUsers);
    if (folder.empty()) {
        return false;
    }
    return shell.SaveShortcut(JoinPath(folder, std::string(name) + ".lnk"),
                              ShortcutFromCommand(command, description));
}

ShortcutInfo ShortcutFromCommand(std::string_view command, std::string_view description) {
    const auto [program, arguments] = SplitProgramAndArguments(command);
    ShortcutInfo link;
    link.target = program;
    link.arguments = arguments;
    link.description = std::string(description);
    link.showCommand = kShow;
    return link;
}

ShortcutInfo ShortcutForRecord(const StartupItem& item) {
    ShortcutInfo link = ShortcutFromCommand(WholeCommandOf(item), kShortcutDescription);
    if (link.arguments.empty()) {
        link.arguments = item.Arguments;
    }
    return link;
}

std::string RunCommandForRecord(const StartupItem& item) {
    if (item.Arguments.empty()) {
        return WholeCommandOf(item);
    }
    std::string program = WholeCommandOf(item);
    if (program.find(' ') != std::string::npos && !program.starts_with('"')) {
        program = "\"" + program + "\"";
    }
    return program + " " + item.Arguments.str();
}

bool CopyFileNoOverwrite(FileSystem& files, std::string_view source, std::string_view destination) {
    return files.CopyFile(source, destination, true);
}

} // namespace qb
