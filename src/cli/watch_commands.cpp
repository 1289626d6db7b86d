#include "cli/watch_commands.h"

#include "backup/backup_file.h"
#include "baseline/entry_differences.h"
#include "cli/cli_app.h"
#include "cli/json_output.h"
#include "inventory/row_texts.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace qb::cli {

namespace {

nlohmann::ordered_json EntryJson(const SavedEntry& entry) {
    return {{"name", entry.name},
            {"location", entry.location},
            {"command", entry.command},
            {"arguments", entry.arguments},
            {"state", StateText(entry.state)}};
}

// The command as the list shows it: a shortcut's arguments after its target.
std::string Shown(const SavedEntry& entry) {
    std::string text = "\"" + entry.command + "\"";
    if (!entry.arguments.empty()) {
        text += " with arguments \"" + entry.arguments + "\"";
    }
    return text + ", " + std::string(StateText(entry.state));
}

std::string Named(const SavedEntry& entry) {
    return ShownName(entry.name) + " (" + entry.location + ")";
}

void PrintText(std::ostream& out, const EntryDifferences& differences) {
    for (const SavedEntry& entry : differences.added) {
        out << "Added:   " << Named(entry) << ": " << Shown(entry) << '\n';
    }
    for (const SavedEntry& entry : differences.removed) {
        out << "Removed: " << Named(entry) << ": " << Shown(entry) << '\n';
    }
    for (const ChangedEntry& change : differences.changed) {
        out << "Changed: " << Named(change.now) << ": " << Shown(change.before) << " -> " << Shown(change.now)
            << '\n';
    }
    if (differences.empty()) {
        out << "The system holds the backup's startup setting.\n";
    } else {
        out << differences.added.size() << " added, " << differences.removed.size() << " removed, "
            << differences.changed.size() << " changed.\n";
    }
}

void PrintJson(std::ostream& out, const EntryDifferences& differences) {
    nlohmann::ordered_json added = nlohmann::ordered_json::array();
    for (const SavedEntry& entry : differences.added) {
        added.push_back(EntryJson(entry));
    }
    nlohmann::ordered_json removed = nlohmann::ordered_json::array();
    for (const SavedEntry& entry : differences.removed) {
        removed.push_back(EntryJson(entry));
    }
    nlohmann::ordered_json changed = nlohmann::ordered_json::array();
    for (const ChangedEntry& change : differences.changed) {
        changed.push_back({{"name", change.now.name},
                           {"location", change.now.location},
                           {"before", EntryJson(change.before)},
                           {"now", EntryJson(change.now)}});
    }
    const nlohmann::ordered_json result = {{"added", added}, {"removed", removed}, {"changed", changed}};
    WriteJson(out, result);
}

} // namespace

int CompareCommand(const Options& options, std::ostream& out, std::ostream& err) {
    auto session = Start(options, err, LoadAccess::ReadOnly);
    if (!session) {
        return kExitFailed;
    }
    const std::string file = session->BackupFile(options);
    if (!session->Services().files.FileExists(file)) {
        err << kBackupMissing << '\n';
        return kExitFailed;
    }
    const auto saved = ReadBackupEntries(file, session->Services().profiles);
    if (!saved) {
        err << kBackupFormatError << '\n';
        return kExitFailed;
    }
    const EntryDifferences differences =
        CompareEntries(*saved, SavedEntries(session->Items(), BackupContent::AsLoaded));
    if (options.json) {
        PrintJson(out, differences);
    } else {
        PrintText(out, differences);
    }
    return differences.empty() ? kExitOk : kExitDiffer;
}

int AcceptCommand(const Options& options, std::ostream& out, std::ostream& err) {
    auto session = Start(options, err);
    if (!session) {
        return kExitFailed;
    }
    const int marks = session->startup->Accept();
    out << "Accepted the startup setting as it is; " << marks << (marks == 1 ? " mark" : " marks")
        << " cleared.\n";
    return kExitOk;
}

} // namespace qb::cli
