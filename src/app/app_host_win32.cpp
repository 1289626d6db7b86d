#include "app/app_host.h"
#include "platform/win32/win32_system.h"

#include <algorithm>

namespace qb {

namespace {

std::string Replaced(std::string_view path, char from, char to) {
    std::string out(path);
    std::replace(out.begin(), out.end(), from, to);
    return out;
}

// The desktop tool on Windows works on this computer: its paths are the system's own. Only the separators
// differ: Qt gives and prefers '/', the core and the registry hold '\' (a backup chosen in the file dialog
// is entered in the backup index as Explorer shows it).
class WindowsAppHost : public AppHost {
public:
    PlatformServices Services() override { return system_.Services(); }
    PathMapping Paths() override {
        return {[](std::string_view windows) -> std::optional<std::string> { return Replaced(windows, '\\', '/'); },
                [](std::string_view local) -> std::optional<std::string> { return Replaced(local, '/', '\\'); }};
    }
    void SetDialogs(Dialogs& dialogs) override { system_.SetDialogs(dialogs); }

private:
    win32::Win32System system_;
};

} // namespace

std::unique_ptr<AppHost> OpenAppHost(const std::optional<std::string>& systemRoot, std::string& error) {
    if (systemRoot) {
        error =
            "On Windows Quillbrook works on this computer itself; a sandbox system root can only be used off "
            "Windows.";
        return nullptr;
    }
    return std::make_unique<WindowsAppHost>();
}

} // namespace qb
