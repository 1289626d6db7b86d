#include "backup/backup_file.h"
#include "backup/saved_entry.h"
#include "checks/reader_checks.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_location.h"
#include "knowledge/program_database.h"
#include "platform/sandbox/sandbox_system.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

namespace qb::fuzz {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBackupPath = "C:\\Program Files\\Quillbrook\\backup\\fuzzed.qbk";
constexpr std::string_view kStartupFolder =
    "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";

void WriteBytes(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Answers every question with No and keeps nothing: a load must not hang on, or depend on, the user.
class SilentDialogs : public Dialogs {
public:
    DialogResult ShowMessage(std::string_view, MessageKind, MessageButtons buttons) override {
        return buttons == MessageButtons::Ok ? DialogResult::Ok : DialogResult::No;
    }
    DialogResult ShowTitledMessage(std::string_view, std::string_view) override {
        return DialogResult::Cancel;
    }
    std::optional<std::string> ChooseFileToOpen(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> ChooseFileToSave(const FileDialogOptions&) override { return std::nullopt; }
};

// Every file of the root but the fuzzed backup, with its content: a load must leave them all as they were.
std::map<std::string, std::string> Snapshot(const fs::path& root, const fs::path& skip) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path() != skip) {
            files[entry.path().string()] =
                entry.is_regular_file() ? ReadBytes(entry.path()) : std::string("<dir>");
        }
    }
    return files;
}

fs::path MakeTempRoot() {
    std::string pattern = (fs::temp_directory_path() / "qb-fuzz-backup-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    return pattern;
}

// Whether the backup holds the entry, by name, place and command, in the state it was given.
bool BackupHolds(const std::optional<std::vector<SavedEntry>>& saved, const StartupItem& item) {
    return saved && std::any_of(saved->begin(), saved->end(), [&](const SavedEntry& entry) {
               return item.Name == FieldText(entry.name).str() &&
                      item.Location == FieldText(entry.location).str() && entry.state == item.State &&
                      SameCommand(FieldText(entry.command), item.Command);
           });
}

} // namespace

struct BackupLoadCheck::Machine {
    std::unique_ptr<sandbox::SandboxSystem> system;
    SilentDialogs dialogs;
    std::unique_ptr<ProgramDatabase> database;
    CountingIconSink icons;
    fs::path backupHost;
    std::map<std::string, std::string> files;
};

BackupLoadCheck::BackupLoadCheck() : root_(MakeTempRoot()), machine_(std::make_unique<Machine>()) {
    // A tiny machine: one run entry and its disabled twin, one shortcut, one running program, the database.
    WriteBytes(root_ / "registry.reg",
               "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
               "\"Agent\"=\"\\\"C:\\\\Apps\\\\agent.exe\\\" /tray\"\r\n\r\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunDisabled]\r\n"
               "\"Off\"=\"C:\\\\off.exe /x\"\r\n");
    WriteBytes(root_ / "processes.txt", "4\tagent.exe\t1048576\t2097152\n");
    WriteBytes(root_ / "drive_c" / "Apps" / "agent.exe", "MZ");
    WriteBytes(root_ / "drive_c" / "Program Files" / "Quillbrook" / "st.dat", "[Agent]\r\nConfirmed=X\r\n");
    auto opened = sandbox::SandboxSystem::Open(root_);
    if (auto* error = std::get_if<std::string>(&opened)) {
        throw std::runtime_error(*error);
    }
    Machine& m = *machine_;
    m.system = std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened));
    m.system->SetDialogs(m.dialogs);
    fs::create_directories(*m.system->Paths().ToHost(kStartupFolder));
    ShortcutInfo link;
    link.target = "C:\\Apps\\agent.exe";
    if (!m.system->Shell().SaveShortcut(std::string(kStartupFolder) + "\\Notes.lnk", link)) {
        throw std::runtime_error("cannot save the shortcut");
    }
    m.database = std::make_unique<ProgramDatabase>(m.system->Services().files);
    m.backupHost = *m.system->Paths().ToHost(kBackupPath);
    WriteBytes(m.backupHost, "");
    // A first load makes whatever a load makes on a new machine, so that later ones change nothing.
    Inventory warmUp;
    LoadBackup(kBackupPath, warmUp, m.system->Services(), *m.database, m.icons);
    m.files = Snapshot(root_, m.backupHost);
}

BackupLoadCheck::~BackupLoadCheck() {
    machine_.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
}

Finding BackupLoadCheck::Run(std::string_view fileBytes) {
    Machine& m = *machine_;
    WriteBytes(m.backupHost, fileBytes);
    Inventory inventory;
    const LoadBackupResult result =
        LoadBackup(kBackupPath, inventory, m.system->Services(), *m.database, m.icons);
    if (!result.loaded && (!inventory.Items.empty() || result.skippedUnsafeNames != 0)) {
        return "a file that was not loaded changed the inventory";
    }
    const auto saved = ReadBackupEntries(kBackupPath, m.system->Services().profiles);
    for (const auto& item : inventory.Items) {
        for (const FieldText* field : {&item->Name, &item->Command, &item->Location}) {
            if (field->size() > FieldText::kLimit) {
                return "a field of " + std::to_string(field->size()) + " bytes";
            }
        }
        if (item->LoadedState != ItemState::Deleted) {
            // Replaced (Deleted), held by the backup as it is and left alone, or enabled or disabled where it
            // is because the backup holds that very entry in the other state.
            if (item->State != ItemState::Deleted && item->State != item->LoadedState &&
                !BackupHolds(saved, *item)) {
                return "the system's entry '" + item->Name.str() +
                       "' was given a state the backup does not hold";
            }
            continue;
        }
        const StartupLocation* location = FindLocation(item->Location);
        // Only a run key has an unnamed value (its default) to restore.
        if (item->Name.empty() && (location == nullptr || location->kind != LocationKind::Registry)) {
            return "an entry without a name was added outside a run key";
        }
        if (location != nullptr && location->kind == LocationKind::Folder) {
            if (const auto problem = ShortcutNameProblem(item->Name)) {
                return "the startup-folder entry '" + item->Name.str() + "' was added: " + *problem;
            }
        }
    }
    if (ReadBytes(m.backupHost) != fileBytes) {
        return "loading changed the backup file";
    }
    if (Snapshot(root_, m.backupHost) != m.files) {
        return "loading changed the machine's files";
    }
    return std::nullopt;
}

} // namespace qb::fuzz
