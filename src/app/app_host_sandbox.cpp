#include "app/app_host.h"
#include "app/file_properties_dialog.h"
#include "platform/sandbox/sandbox_system.h"

#include <QDesktopServices>
#include <QUrl>

namespace qb {

namespace {

// The desktop of the machine the sandbox runs on: its file manager, browser and mail program; the
// properties sheet is a small dialog of ours.
class QtDesktopHandoff : public sandbox::DesktopHandoff {
public:
    bool Open(std::string_view target) override {
        const QString text = QString::fromUtf8(target.data(), static_cast<qsizetype>(target.size()));
        const QUrl url = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl(text);
        return QDesktopServices::openUrl(url);
    }
    bool ShowProperties(std::string_view windowsPath, const std::filesystem::path& hostPath) override {
        FilePropertiesDialog dialog(std::string(windowsPath), hostPath);
        dialog.exec();
        return true;
    }
};

class SandboxAppHost : public AppHost {
public:
    explicit SandboxAppHost(std::unique_ptr<sandbox::SandboxSystem> system) : system_(std::move(system)) {
        system_->SetDesktop(desktop_);
    }
    PlatformServices Services() override { return system_->Services(); }
    PathMapping Paths() override {
        const sandbox::PathMap& map = system_->Paths();
        return {[&map](std::string_view windows) -> std::optional<std::string> {
                    const auto host = map.ToHost(windows);
                    return host ? std::optional(host->string()) : std::nullopt;
                },
                [&map](std::string_view local) { return map.ToWindows(std::filesystem::path(local)); }};
    }
    void SetDialogs(Dialogs& dialogs) override { system_->SetDialogs(dialogs); }

private:
    std::unique_ptr<sandbox::SandboxSystem> system_;
    QtDesktopHandoff desktop_;
};

} // namespace

std::unique_ptr<AppHost> OpenAppHost(const std::optional<std::string>& systemRoot, std::string& error) {
    const std::filesystem::path root =
        systemRoot ? std::filesystem::path(*systemRoot) : sandbox::DefaultSandboxRoot();
    auto opened = sandbox::SandboxSystem::OpenOrSeed(root);
    if (auto* reason = std::get_if<std::string>(&opened)) {
        error = *reason;
        return nullptr;
    }
    return std::make_unique<SandboxAppHost>(
        std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened)));
}

} // namespace qb
