#pragma once

#include "platform/platform_services.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace qb::cli {

// The machine the command line works on: the sandbox off Windows, the real system on Windows. The build
// picks one implementation of OpenHostSystem.
class HostSystem {
public:
    virtual ~HostSystem() = default;
    virtual PlatformServices Services() = 0;
    // Where the system is, for messages ("the sandbox at ...", "this computer").
    virtual std::string Description() const = 0;
};

// What --system-root does in this build, for --help.
std::string SystemRootHelp();

// Makes what is written to `out` reach its file byte for byte from here on, where the C runtime would turn
// each "\n" into "\r\n" (standard output on Windows): a CSV's "\r\n" must not become "\r\r\n".
void KeepLineEnds(std::ostream& out);

// Messages the system would show in a box go to `messages`. nullptr with the reason in `error`.
std::unique_ptr<HostSystem> OpenHostSystem(const std::optional<std::string>& systemRoot,
                                           std::ostream& messages, std::string& error);

} // namespace qb::cli
