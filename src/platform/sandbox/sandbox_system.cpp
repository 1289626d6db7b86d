#include "platform/sandbox/sandbox_system.h"

#include <cstdlib>

namespace qb::sandbox {

namespace fs = std::filesystem;

namespace {
// The folder relative file names are taken from: the host's current folder when it lies on one of the
// sandbox's drives, else the user's profile folder, where a command prompt of the user starts.
std::string CurrentFolder(const PathMap& paths, const SandboxSettings& settings) {
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    if (!ec) {
        if (auto windows = paths.ToWindows(here)) {
            return *windows;
        }
    }
    return settings.ExpandEnvironmentStrings("%USERPROFILE%");
}
} // namespace

SandboxSystem::SandboxSystem(const fs::path& root)
    : paths_(root), settings_(SandboxSettings::Load(root)),
      registry_(root / "registry.reg", settings_.administrator, settings_.x64),
      files_(paths_, settings_.toolDirectory, CurrentFolder(paths_, settings_)), profiles_(paths_),
      shell_(paths_, settings_, registry_, xdg_), processes_(root), systemInfo_(settings_) {
    if (!settings_.administrator) {
        // What Windows keeps from a standard user: the machine's startup folder and the program folders.
        paths_.ProtectFromWriting({settings_.commonStartup, "C:\\Program Files", "C:\\Program Files (x86)",
                                   settings_.windowsDirectory});
    }
}

std::variant<std::unique_ptr<SandboxSystem>, std::string> SandboxSystem::Open(const fs::path& root) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        return "The system root " + root.string() + " is not a directory.";
    }
    std::unique_ptr<SandboxSystem> system(new SandboxSystem(fs::absolute(root, ec)));
    if (const auto error = system->registry_.Check()) {
        return "The registry file " + system->registry_.File().string() + " cannot be read (line " +
               std::to_string(error->line) + ": " + error->message + "). It is left as it is.";
    }
    return system;
}

std::variant<std::unique_ptr<SandboxSystem>, std::string> SandboxSystem::OpenOrSeed(const fs::path& root) {
    std::error_code ec;
    if (!fs::exists(root, ec)) {
        std::string error;
        if (!SeedDemoSystem(root, error)) {
            return error;
        }
    }
    return Open(root);
}

PlatformServices SandboxSystem::Services() {
    return {registry_, profiles_, files_, shell_, processes_, systemInfo_, *dialogs_, *browser_, clock_};
}

fs::path DefaultSandboxRoot() {
    if (const char* root = std::getenv("QUILLBROOK_SYSTEM_ROOT"); root != nullptr && *root != '\0') {
        return root;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != '\0') {
        return fs::path(data) / "quillbrook" / "system";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr && *home != '\0' ? home : ".") / ".local" / "share" / "quillbrook" /
           "system";
}

std::unique_ptr<SandboxSystem> OpenFrontEndSystem(const std::optional<std::string>& root,
                                                  std::string& error) {
    auto opened = SandboxSystem::OpenOrSeed(root ? std::filesystem::path(*root) : DefaultSandboxRoot());
    if (auto* reason = std::get_if<std::string>(&opened)) {
        error = *reason;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<SandboxSystem>>(opened));
}

} // namespace qb::sandbox
