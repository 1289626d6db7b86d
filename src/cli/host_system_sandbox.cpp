#include "cli/host_system.h"
#include "platform/sandbox/sandbox_system.h"

#include <ostream>

namespace qb::cli {

namespace {

// The command line opens nothing on a desktop: it says what it would open.
class PrintingDesktop : public sandbox::DesktopHandoff {
public:
    explicit PrintingDesktop(std::ostream& out) : out_(out) {}
    bool Open(std::string_view target) override {
        out_ << "Would open " << target << '\n';
        return true;
    }
    bool ShowProperties(std::string_view windowsPath, const std::filesystem::path&) override {
        out_ << "Would show the properties of " << windowsPath << '\n';
        return true;
    }

private:
    std::ostream& out_;
};

class SandboxHost : public HostSystem {
public:
    SandboxHost(std::unique_ptr<sandbox::SandboxSystem> system, std::ostream& messages)
        : system_(std::move(system)), dialogs_(messages, false), desktop_(messages) {
        system_->SetDialogs(dialogs_);
        system_->SetDesktop(desktop_);
    }
    PlatformServices Services() override { return system_->Services(); }
    std::string Description() const override { return "the sandbox at " + system_->Root().string(); }

private:
    std::unique_ptr<sandbox::SandboxSystem> system_;
    ConsoleDialogs dialogs_;
    PrintingDesktop desktop_;
};

} // namespace

std::string SystemRootHelp() {
    return "The sandbox system to work on (default: $QUILLBROOK_SYSTEM_ROOT, else a per-user root seeded "
           "with the demo system)";
}

void KeepLineEnds(std::ostream&) {} // no stream here translates line ends

std::unique_ptr<HostSystem> OpenHostSystem(const std::optional<std::string>& systemRoot,
                                           std::ostream& messages, std::string& error) {
    auto system = sandbox::OpenFrontEndSystem(systemRoot, error);
    return system ? std::make_unique<SandboxHost>(std::move(system), messages) : nullptr;
}

} // namespace qb::cli
