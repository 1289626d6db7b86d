#include "cli/host_system.h"
#include "platform/win32/win32_system.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <ostream>

namespace qb::cli {

namespace {

class WindowsHost : public HostSystem {
public:
    explicit WindowsHost(std::ostream& messages)
        : dialogs_(messages, false), consoleCodePage_(::GetConsoleOutputCP()) {
        system_.SetDialogs(dialogs_);
        system_.SetBrowserPane(browser_);
        // Names and commands are UTF-8; a console shows them right only in its UTF-8 code page. Output
        // that goes to a file or a pipe is UTF-8 either way.
        ::SetConsoleOutputCP(CP_UTF8);
    }
    ~WindowsHost() override {
        if (consoleCodePage_ != 0) {
            ::SetConsoleOutputCP(consoleCodePage_);
        }
    }
    WindowsHost(const WindowsHost&) = delete;
    WindowsHost& operator=(const WindowsHost&) = delete;

    PlatformServices Services() override { return system_.Services(); }
    std::string Description() const override { return "this computer"; }

private:
    win32::Win32System system_;
    ConsoleDialogs dialogs_;
    HeadlessBrowserPane browser_;
    UINT consoleCodePage_; // 0 without a console
};

} // namespace

std::string SystemRootHelp() {
    return "Only off Windows, where the tool works on a sandbox system; here it works on this computer, and "
           "a root given is refused";
}

void KeepLineEnds(std::ostream& out) {
    if (&out == &std::cout) {
        out.flush();
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
    }
}

// On Windows the command line works on this computer's own registry and folders. A sandbox root, given
// or named by QUILLBROOK_SYSTEM_ROOT, is refused rather than ignored: whoever names one expects to change
// a simulated machine, not the real one.
std::unique_ptr<HostSystem> OpenHostSystem(const std::optional<std::string>& systemRoot,
                                           std::ostream& messages, std::string& error) {
    const char* variable = std::getenv("QUILLBROOK_SYSTEM_ROOT");
    if (systemRoot || (variable != nullptr && *variable != '\0')) {
        error = "On Windows quillbrook-cli works on this computer itself; a sandbox system root (" +
                (systemRoot ? "--system-root " + *systemRoot
                            : "QUILLBROOK_SYSTEM_ROOT=" + std::string(variable)) +
                ") can only be used off Windows.";
        return nullptr;
    }
    return std::make_unique<WindowsHost>(messages);
}

} // namespace qb::cli
