#include "app/app_host.h"
#include "app/file_properties_dialog.h"
#include "platform/sandbox/sandbox_system.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

namespace qb {

namespace {

// Whether the desktop names a program for this kind of file or address. xdg-open reports success as soon
// as it starts, also when nothing will show the target (a compiled help file on a desktop without a viewer
// for it), so the desktop's own table is asked first; without xdg-mime nothing can be told apart and the
// target is tried all the same.
bool DesktopHasHandler(const QString& mimeType) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForStarted(2000)) {
        return true;
    }
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        return false;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

// The desktop of the machine the sandbox runs on: its file manager, browser and mail program; the
// properties sheet is a small dialog of ours.
class QtDesktopHandoff : public sandbox::DesktopHandoff {
public:
    bool Open(std::string_view target) override {
        const QString text = QString::fromUtf8(target.data(), static_cast<qsizetype>(target.size()));
        const bool local = text.startsWith(QLatin1Char('/'));
        const QUrl url = local ? QUrl::fromLocalFile(text) : QUrl(text);
        const QString kind = local ? (QFileInfo(text).isDir() ? QStringLiteral("inode/directory")
                                                              : QMimeDatabase().mimeTypeForFile(text).name())
                                   : QStringLiteral("x-scheme-handler/") + url.scheme();
        return DesktopHasHandler(kind) && QDesktopServices::openUrl(url);
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
    auto system = sandbox::OpenFrontEndSystem(systemRoot, error);
    return system ? std::make_unique<SandboxAppHost>(std::move(system)) : nullptr;
}

} // namespace qb
