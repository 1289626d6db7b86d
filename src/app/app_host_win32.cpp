#include "app/app_host.h"
#include "platform/win32/win32_system.h"

namespace qb {

namespace {

// The desktop tool on Windows works on this computer: its paths are the system's own.
class WindowsAppHost : public AppHost {
public:
    PlatformServices Services() override { return system_.Services(); }
    PathMapping Paths() override {
        const auto same = [](std::string_view path) -> std::optional<std::string> {
            return std::string(path);
        };
        return {same, same};
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
