#pragma once

#include "app/path_mapping.h"
#include "platform/platform_services.h"

#include <memory>
#include <optional>
#include <string>

namespace qb {

// The system the desktop tool works on: the sandbox off Windows, this computer on Windows. The build picks
// one implementation of OpenAppHost.
class AppHost {
public:
    virtual ~AppHost() = default;
    virtual PlatformServices Services() = 0;
    virtual PathMapping Paths() = 0;
    virtual void SetDialogs(Dialogs& dialogs) = 0;
};

// nullptr with the reason in error.
std::unique_ptr<AppHost> OpenAppHost(const std::optional<std::string>& systemRoot, std::string& error);

} // namespace qb
