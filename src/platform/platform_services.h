#pragma once

#include "platform/browser_pane.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/profile_files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system_info.h"

namespace qb {

// Every service the logic uses, handed in by reference. Whoever builds it owns the services; a test
// replaces any one of them (a fake, or a fault injector around the real one) by building another.
struct PlatformServices {
    Registry& registry;
    ProfileFiles& profiles;
    FileSystem& files;
    Shell& shell;
    Processes& processes;
    SystemInfo& system;
    Dialogs& dialogs;
    BrowserPane& browser;
    Clock& clock;
};

} // namespace qb
