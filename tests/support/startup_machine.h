#pragma once

// A sandbox machine with both startup folders registered, the tool's view of it, and the operations a
// test of changes needs: marks as the window makes them, an apply, and what the system then holds.
// Header-only: the test programs that use it link the change and backup modules themselves.

#include "changes/apply_engine.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/faults/faulty_services.h"
#include "support/paths.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <memory>
#include <set>
#include <stdexcept>
#include <string>

namespace qb::test {

class Confirm : public ApplyConfirmation {
public:
    explicit Confirm(std::optional<bool> answer) : answer_(answer) {}
    std::optional<bool> ConfirmWithBackupChoice(const Inventory&) override { return answer_; }

private:
    std::optional<bool> answer_;
};

// The services of a machine with every registry, file and shell change going through a fault plan.
struct FaultyMachineServices {
    FaultyMachineServices(PlatformServices s, FaultPlan& plan)
        : base(s), registry(s.registry, plan), files(s.files, plan), shell(s.shell, plan) {}
    PlatformServices Services() {
        return {registry,    base.profiles, files,        shell,     base.processes,
                base.system, base.dialogs,  base.browser, base.clock};
    }
    PlatformServices base;
    FaultyRegistry registry;
    FaultyFileSystem files;
    FaultyShell shell;
};

struct StartupMachine {
    explicit StartupMachine(const std::string& settings = "") {
        if (!settings.empty()) {
            root.Settings(settings);
        }
        root.Value(HKLM, CV + "Explorer\\Shell Folders", "Common Startup", kCommonStartup)
            .Value(HKCU, CV + "Explorer\\Shell Folders", "Startup", kUserStartup)
            .Folder(kCommonStartup)
            .Folder(kUserStartup)
            .Folder(kTool + "\\backup")
            .File("C:\\Apps\\app.exe");
        root.System().SetDialogs(dialogs);
    }
    PlatformServices Services() { return root.Services(); }
    void Load() {
        database = std::make_unique<ProgramDatabase>(Services().files);
        LoadInventory(inventory, Services(), *database, icons);
    }
    StartupItem& Find(const std::string& name, const std::string& location) {
        for (auto& item : inventory.Items) {
            if (item->Name == name && item->Location == location && item->State != ItemState::Deleted) {
                return *item;
            }
        }
        throw std::runtime_error("no entry " + name);
    }
    StartupItem& Add(const std::string& name, const std::string& command, const std::string& location,
                     ItemState state = ItemState::Enabled) {
        StartupItem item;
        item.Name = name;
        item.Command = command;
        item.Location = location;
        item.State = state;
        return inventory.Append(std::move(item));
    }
    void Edit(StartupItem& item, const std::string& name, const std::string& command,
              const std::string& location) {
        inventory.RememberOriginal(item);
        item.Name = name;
        item.Command = command;
        item.Location = location;
        item.Edited = true;
    }
    ApplyOutcome Apply(PlatformServices services, bool backup = false) {
        Confirm yes(backup);
        return ApplyChanges(inventory, services, yes, *database, icons, true, &report);
    }
    ApplyOutcome Apply() { return Apply(Services()); }
    // Every entry the system holds now: "name @ location +/-" (+ enabled, - disabled).
    std::set<std::string> OnSystem() {
        std::set<std::string> out;
        for (const auto& item : Fresh().Items) {
            out.insert(item->Name.str() + " @ " + item->Location.str() +
                       (item->State == ItemState::Enabled ? " +" : " -"));
        }
        return out;
    }
    // The same with each entry's command (and a shortcut's arguments): "name @ location +/- : command".
    std::set<std::string> WholeSystem() {
        std::set<std::string> out;
        for (const auto& item : Fresh().Items) {
            out.insert(item->Name.str() + " @ " + item->Location.str() +
                       (item->State == ItemState::Enabled ? " + : " : " - : ") + item->Command.str() +
                       (item->Arguments.empty() ? "" : " " + item->Arguments.str()));
        }
        return out;
    }
    std::optional<RegistryValue> Value(RegistryRoot hive, const std::string& key, const std::string& name) {
        const auto opened = Services().registry.OpenForReading(hive, key);
        return opened ? opened->ReadValue(name) : std::nullopt;
    }
    bool Exists(const std::string& path) { return Services().files.FileExists(path); }
    std::vector<std::string> NotChanged() const {
        std::vector<std::string> out;
        for (const auto& entry : report.notChanged) {
            out.push_back(DescribeNotChanged(entry));
        }
        return out;
    }

    SandboxRoot root;
    ScriptedDialogs dialogs;
    Inventory inventory;
    std::unique_ptr<ProgramDatabase> database;
    CountingIconSink icons;
    ApplyReport report;

private:
    Inventory& Fresh() {
        fresh_ = {};
        ProgramDatabase db(Services().files);
        CountingIconSink sink;
        LoadInventory(fresh_, Services(), db, sink);
        return fresh_;
    }
    Inventory fresh_;
};

} // namespace qb::test
