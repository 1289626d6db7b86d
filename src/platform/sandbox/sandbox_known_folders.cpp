#include "platform/sandbox/sandbox_known_folders.h"

#include "platform/known_folders.h"
#include "platform/text.h"

#include <array>

namespace qb::sandbox {

namespace {

constexpr std::string_view kShellFolders =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kUserShellFolders =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// A shell folder the registry may move: its value name under the Shell Folders keys of its hive, and
// where Windows puts it when the registry does not say.
struct ShellFolder {
    std::string_view folderId;
    RegistryRoot root;
    std::string_view valueName;
    std::string_view usualPlace; // expanded in the machine's environment
};

constexpr std::array<ShellFolder, 12> kShellFolderTable = {{
    {folder_id::kDesktop, RegistryRoot::CurrentUser, "Desktop", "%USERPROFILE%\\Desktop"},
    {folder_id::kDocuments, RegistryRoot::CurrentUser, "Personal", "%USERPROFILE%\\Documents"},
    {folder_id::kRoamingAppData, RegistryRoot::CurrentUser, "AppData", "%APPDATA%"},
    {folder_id::kLocalAppData, RegistryRoot::CurrentUser, "Local AppData", "%LOCALAPPDATA%"},
    {folder_id::kStartMenu, RegistryRoot::CurrentUser, "Start Menu",
     "%APPDATA%\\Microsoft\\Windows\\Start Menu"},
    {folder_id::kPrograms, RegistryRoot::CurrentUser, "Programs",
     "%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs"},
    {folder_id::kCommonStartMenu, RegistryRoot::LocalMachine, "Common Start Menu",
     "%ProgramData%\\Microsoft\\Windows\\Start Menu"},
    {folder_id::kCommonPrograms, RegistryRoot::LocalMachine, "Common Programs",
     "%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs"},
    {folder_id::kPublicDesktop, RegistryRoot::LocalMachine, "Common Desktop",
     "%SystemDrive%\\Users\\Public\\Desktop"},
    {folder_id::kPublicDocuments, RegistryRoot::LocalMachine, "Common Documents",
     "%SystemDrive%\\Users\\Public\\Documents"},
    {folder_id::kProgramData, RegistryRoot::LocalMachine, "Common AppData", "%ProgramData%"},
    {folder_id::kFonts, RegistryRoot::CurrentUser, "Fonts", "%windir%\\Fonts"},
}};

// System folders that follow the environment alone.
constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kEnvironmentFolders = {{
    {folder_id::kProfile, "%USERPROFILE%"},
    {folder_id::kProgramFiles, "%ProgramFiles%"},
    {folder_id::kProgramFilesCommon, "%CommonProgramFiles%"},
    {folder_id::kProgramFilesX86, "%ProgramFiles(x86)%"},
    {folder_id::kProgramFilesCommonX86, "%CommonProgramFiles(x86)%"},
    {folder_id::kSystemX86, "%windir%\\SysWOW64"},
}};

std::optional<std::string> RegistryText(Registry& registry, RegistryRoot root, std::string_view path,
                                        std::string_view name) {
    const auto key = registry.OpenForReading(root, path, RegistryView::Native);
    const auto value = key ? key->ReadValue(name) : std::nullopt;
    if (!value || !value->IsText() || value->data.empty()) {
        return std::nullopt;
    }
    return value->data;
}

std::string WithoutTrailingBackslash(std::string path) {
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

} // namespace

std::optional<std::string> SandboxKnownFolderPath(const SandboxSettings& settings, Registry& registry,
                                                  std::string_view folderId) {
    if (folderId == folder_id::kStartup) {
        return settings.startup;
    }
    if (folderId == folder_id::kCommonStartup) {
        return settings.commonStartup;
    }
    if (folderId == folder_id::kWindows) {
        return settings.windowsDirectory;
    }
    if (folderId == folder_id::kSystem || (folderId == folder_id::kSystemX86 && !settings.x64)) {
        return settings.systemDirectory;
    }
    // A 32-bit system has one Program Files folder, which both names give.
    if (!settings.x64 &&
        (folderId == folder_id::kProgramFilesX86 || folderId == folder_id::kProgramFilesCommonX86)) {
        folderId = folderId == folder_id::kProgramFilesX86 ? folder_id::kProgramFiles
                                                           : folder_id::kProgramFilesCommon;
    }
    for (const auto& [id, place] : kEnvironmentFolders) {
        if (id == folderId) {
            return WithoutTrailingBackslash(settings.ExpandEnvironmentStrings(place));
        }
    }
    for (const ShellFolder& folder : kShellFolderTable) {
        if (folder.folderId != folderId) {
            continue;
        }
        if (auto path = RegistryText(registry, folder.root, kUserShellFolders, folder.valueName)) {
            return WithoutTrailingBackslash(settings.ExpandEnvironmentStrings(*path));
        }
        if (auto path = RegistryText(registry, folder.root, kShellFolders, folder.valueName)) {
            return WithoutTrailingBackslash(std::move(*path));
        }
        return WithoutTrailingBackslash(settings.ExpandEnvironmentStrings(folder.usualPlace));
    }
    return std::nullopt;
}

} // namespace qb::sandbox
