#pragma once

// The machine the backup tests share: a sandbox root, scripted dialogs, a fixed clock (backup files carry
// the time they were made), and the tool's view of the machine as a load makes it. Each test file fills
// the root with the entries it needs before it loads.

#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <memory>
#include <string>
#include <vector>

namespace qb::test {

struct BackupMachine {
    // The root's services with the fixed clock.
    PlatformServices Services() {
        PlatformServices s = root.Services();
        return {s.registry, s.profiles, s.files, s.shell, s.processes, s.system, s.dialogs, s.browser, clock};
    }
    void Load() {
        database = std::make_unique<ProgramDatabase>(root.Services().files);
        LoadInventory(inventory, Services(), *database, icons);
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& m : dialogs.Messages()) {
            out.push_back(m.text);
        }
        return out;
    }
    // The bytes of a file of the simulated drives.
    std::string Bytes(const std::string& path) { return ReadText(root.Host(path)); }

    SandboxRoot root;
    ScriptedDialogs dialogs;
    FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    Inventory inventory;
    std::unique_ptr<ProgramDatabase> database;
    CountingIconSink icons;
};

} // namespace qb::test
