#include "changes/apply_journal.h"

#include "platform/failure_cause.h"
#include "platform/platform_error.h"
#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <random>
#include <sstream>

namespace qb {

namespace {

constexpr std::string_view kHeader = "QBJ";
constexpr std::string_view kJournalFile = "journal";
constexpr std::string_view kLockFile = "lock";

// Names, paths and data may hold any byte, blanks and line breaks included: each is written as hex digits.
std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2 + 1);
    text += 'x'; // never empty, so that fields split on blanks
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::optional<std::string> FromHex(std::string_view text) {
    if (text.empty() || text.front() != 'x' || text.size() % 2 != 1) {
        return std::nullopt;
    }
    std::string bytes;
    for (std::size_t i = 1; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2) {
            return std::nullopt;
        }
        bytes += static_cast<char>(value);
    }
    return bytes;
}

std::string_view FolderOf(std::string_view path) {
    const auto cut = path.rfind('\\');
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}

std::string ValueKey(RegistryRoot root, RegistryView view, std::string_view keyPath, std::string_view name) {
    return std::string(RootName(root)) + (view == RegistryView::Wow32 ? "\n32\n" : "\n64\n") +
           UpperCase(keyPath) + '\n' + UpperCase(name);
}

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    std::istringstream in{std::string(line)};
    for (std::string field; in >> field;) {
        fields.push_back(std::move(field));
    }
    return fields;
}

std::string NewJournalId() {
    std::random_device entropy;
    std::mt19937_64 random((std::uint64_t{entropy()} << 32) ^ entropy());
    return std::to_string(random() % 1000000000000ULL);
}

} // namespace

ApplyJournal::ApplyJournal(FileSystem& files, std::string folder)
    : files_(files), folder_(std::move(folder)), path_(JoinPath(folder_, kJournalFile)) {}

bool ApplyJournal::Begin() {
    id_ = NewJournalId();
    return files_.AppendFile(path_, std::string(kHeader) + " " + id_ + "\n");
}

bool ApplyJournal::Append(std::string line, bool durableNow) {
    pending_ += line;
    pending_ += '\n';
    if (durableNow && !Flush()) {
        // Not written, so not to be written later either: a commit mark that could not be written must not
        // reach the journal with the records of the rollback that follows.
        pending_.resize(pending_.size() - line.size() - 1);
        return false;
    }
    return true;
}

bool ApplyJournal::Flush() {
    if (pending_.empty()) {
        return true;
    }
    if (!files_.AppendFile(path_, pending_)) {
        return false;
    }
    pending_.clear();
    return true;
}

bool ApplyJournal::ValueRecorded(RegistryRoot root, RegistryView view, std::string_view keyPath,
                                 std::string_view name) const {
    return valuesRecorded_.contains(ValueKey(root, view, keyPath, name));
}

bool ApplyJournal::RecordValue(RegistryRoot root, RegistryView view, std::string_view keyPath,
                               std::string_view name, const std::optional<RegistryValue>& before) {
    const std::string key = ValueKey(root, view, keyPath, name);
    if (valuesRecorded_.contains(key)) {
        return true;
    }
    std::string line = "V ";
    line += root == RegistryRoot::LocalMachine ? "LM " : "CU ";
    line += view == RegistryView::Wow32 ? "32 " : "64 ";
    line += Hex(keyPath) + " " + Hex(name) + " ";
    if (before) {
        line += "1 " + std::to_string(static_cast<std::uint32_t>(before->type)) + " " + Hex(before->data);
    } else {
        line += "0 0 x";
    }
    if (!Append(std::move(line), !deferValues_)) {
        return false;
    }
    valuesRecorded_.insert(key);
    return true;
}

bool ApplyJournal::RecordNewKey(RegistryRoot root, RegistryView view, std::string_view keyPath) {
    std::string line = "K ";
    line += root == RegistryRoot::LocalMachine ? "LM " : "CU ";
    line += view == RegistryView::Wow32 ? "32 " : "64 ";
    line += Hex(keyPath);
    return Append(std::move(line), !deferValues_);
}

bool ApplyJournal::RecordNewFile(std::string_view path, std::string_view stage, std::uint64_t identity) {
    return Append("N " + Hex(path) + " " + Hex(stage) + " " + std::to_string(identity), true);
}

bool ApplyJournal::RecordTrashed(std::string_view trash, std::string_view original) {
    if (!Append("T " + Hex(trash) + " " + Hex(original), true)) {
        return false;
    }
    trashOf_[UpperCase(original)] = std::string(trash);
    return true;
}

bool ApplyJournal::Commit() {
    return Append("C", true);
}

std::optional<std::string> ApplyJournal::StageName(std::string_view folder) {
    const std::string upper = UpperCase(folder);
    if (std::find(stageFolders_.begin(), stageFolders_.end(), upper) == stageFolders_.end()) {
        if (!Append("D " + Hex(folder), true)) {
            return std::nullopt;
        }
        stageFolders_.push_back(upper);
    }
    return JoinPath(folder, "~qb" + id_ + "-" + std::to_string(++sequence_) + ".tmp");
}

std::string ApplyJournal::TrashName() {
    return JoinPath(folder_, id_ + "-" + std::to_string(++sequence_) + ".trash");
}

std::optional<std::string> ApplyJournal::TrashNameIn(std::string_view folder) {
    return StageName(folder);
}

std::optional<std::string> ApplyJournal::TrashOf(std::string_view original) const {
    const auto found = trashOf_.find(UpperCase(original));
    if (found == trashOf_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void ApplyJournal::Untrash(std::string_view original) {
    trashOf_.erase(UpperCase(original));
}

void ApplyJournal::Finish() {
    files_.DeleteFile(path_);
}

namespace {
// Makes every missing folder along the path ("C:\a\b\c"); false when one cannot be made.
bool CreateFolders(FileSystem& files, std::string_view path) {
    if (files.DirectoryExists(path)) {
        return true;
    }
    const std::string_view parent = FolderOf(path);
    if (parent.size() > 3 && !CreateFolders(files, parent)) {
        return false;
    }
    return files.CreateDirectory(path);
}
} // namespace

namespace {
// Where the journal is kept by preference, and where when that cannot be made.
std::vector<std::string> JournalFolders(PlatformServices services) {
    std::vector<std::string> folders;
    const std::string appData = services.system.ExpandEnvironmentStrings("%APPDATA%");
    if (!appData.empty() && appData.find('%') == std::string::npos) {
        folders.push_back(JoinPath(JoinPath(appData, "Quillbrook"), "Apply"));
    }
    folders.push_back(JoinPath(services.files.ExecutableDirectory(), "Apply"));
    return folders;
}
} // namespace

std::string ApplyJournalFolder(PlatformServices services) {
    const auto folders = JournalFolders(services);
    for (const std::string& folder : folders) {
        if (CreateFolders(services.files, folder)) {
            return folder;
        }
    }
    return folders.back();
}

std::string ApplyLockPath(std::string_view journalFolder) {
    return JoinPath(journalFolder, kLockFile);
}

namespace {

struct Journal {
    std::string id;
    bool committed = false;
    std::vector<std::vector<std::string>> records; // in the order written, without the header
    std::vector<std::string> stageFolders;
};

// A last line without its line end was cut off while it was written: the change it announced never began.
std::optional<Journal> ParseJournal(std::string_view text) {
    Journal journal;
    bool first = true;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos) {
            break;
        }
        const auto fields = Fields(text.substr(0, end));
        text.remove_prefix(end + 1);
        if (first) {
            if (fields.size() != 2 || fields[0] != kHeader) {
                return std::nullopt;
            }
            journal.id = fields[1];
            first = false;
            continue;
        }
        if (fields.empty()) {
            continue;
        }
        if (fields[0] == "C") {
            journal.committed = true;
        } else if (fields[0] == "D" && fields.size() == 2) {
            if (auto folder = FromHex(fields[1])) {
                journal.stageFolders.push_back(std::move(*folder));
            }
        } else {
            journal.records.push_back(fields);
        }
    }
    if (first) {
        return std::nullopt;
    }
    return journal;
}

// Deletes what is left of this apply's staged files (and files set aside beside their folder).
bool SweepStagedFiles(FileSystem& files, const Journal& journal) {
    bool ok = true;
    for (const std::string& folder : journal.stageFolders) {
        for (const FileEntry& entry : files.FindFiles(folder, "~qb" + journal.id + "-*.tmp")) {
            if (!entry.isDirectory) {
                ok = files.DeleteFile(JoinPath(folder, entry.name)) && ok;
            }
        }
    }
    return ok;
}

bool PurgeTrash(FileSystem& files, const Journal& journal) {
    bool ok = true;
    for (const auto& record : journal.records) {
        if (record[0] == "T" && record.size() == 3) {
            const auto trash = FromHex(record[1]);
            if (trash && files.FileExists(*trash)) {
                ok = files.DeleteFile(*trash) && ok;
            }
        }
    }
    return ok;
}

bool RollBackValue(Registry& registry, const std::vector<std::string>& record) {
    if (record.size() != 8) {
        return true; // not one this program writes
    }
    const RegistryRoot root = record[1] == "LM" ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    const RegistryView view = record[2] == "32" ? RegistryView::Wow32 : RegistryView::Native;
    const auto keyPath = FromHex(record[3]);
    const auto name = FromHex(record[4]);
    const auto data = FromHex(record[7]);
    if (!keyPath || !name || !data) {
        return true;
    }
    const bool present = record[5] == "1";
    std::uint32_t type = 0;
    std::from_chars(record[6].data(), record[6].data() + record[6].size(), type);
    const auto key = registry.OpenForWriting(root, *keyPath, present, view);
    if (!key) {
        return !present; // a key that is not there holds no value to take away
    }
    const auto now = key->ReadValue(*name);
    if (present) {
        const RegistryValue before{static_cast<ValueType>(type), *data};
        if (now != before) {
            key->WriteValue(*name, before);
        }
        return true;
    }
    return !now || key->DeleteValue(*name);
}

// Takes away a key the apply made, unless something is in it now (another program's, or what the rollback
// could not take away). A key left is empty and harmless, so a failure here fails nothing.
void RemoveNewKey(Registry& registry, const std::vector<std::string>& record) {
    if (record.size() != 4) {
        return;
    }
    const RegistryRoot root = record[1] == "LM" ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    const RegistryView view = record[2] == "32" ? RegistryView::Wow32 : RegistryView::Native;
    const auto keyPath = FromHex(record[3]);
    if (!keyPath) {
        return;
    }
    const auto key = registry.OpenForReading(root, *keyPath, view);
    if (!key || !key->ValueNames().empty() || !key->SubkeyNames().empty()) {
        return;
    }
    registry.DeleteKey(root, *keyPath, view);
}

// "Tool (2).lnk" for "Tool.lnk".
std::string KeptBesideName(std::string_view original, int n) {
    const std::string_view folder = FolderOf(original);
    std::string_view name = original.substr(folder.empty() ? 0 : folder.size() + 1);
    const auto dot = name.rfind('.');
    const std::string_view stem = dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string_view ending = name.substr(stem.size());
    const std::string kept = std::string(stem) + " (" + std::to_string(n) + ")" + std::string(ending);
    return folder.empty() ? kept : JoinPath(folder, kept);
}

bool RollBackFile(FileSystem& files, const std::vector<std::string>& record) {
    if (record[0] == "T" && record.size() == 3) {
        const auto trash = FromHex(record[1]);
        const auto original = FromHex(record[2]);
        if (!trash || !original || !files.FileExists(*trash)) {
            return true; // never set aside, or put back already
        }
        if (files.MoveFile(*trash, *original)) {
            return true;
        }
        // Another file of that name came meanwhile: both are kept, the one set aside under a name beside it.
        for (int n = 2; n < 100; ++n) {
            if (files.MoveFile(*trash, KeptBesideName(*original, n))) {
                return true;
            }
        }
        return false;
    }
    if (record[0] == "N" && record.size() == 4) {
        const auto path = FromHex(record[1]);
        const auto stage = FromHex(record[2]);
        std::uint64_t identity = 0;
        std::from_chars(record[3].data(), record[3].data() + record[3].size(), identity);
        if (!path || !stage) {
            return true;
        }
        if (files.FileExists(*stage)) {
            return files.DeleteFile(*stage); // never renamed into place
        }
        // Only the file this apply made goes: one of that name made by another program stays.
        const auto stamp = files.Stamp(*path);
        if (stamp && identity != 0 && stamp->identity == identity) {
            return files.DeleteFile(*path);
        }
    }
    return true;
}

} // namespace

Recovery RecoverFromJournal(PlatformServices services, std::string_view journalFolder) {
    const std::string path = JoinPath(journalFolder, kJournalFile);
    const auto text = services.files.ReadFile(path);
    if (!text) {
        return Recovery::None;
    }
    const auto journal = ParseJournal(*text);
    if (!journal) {
        // Cut off before its header was whole: nothing was changed yet.
        return services.files.DeleteFile(path) ? Recovery::None : Recovery::Failed;
    }
    bool ok = true;
    if (journal->committed) {
        ok = PurgeTrash(services.files, *journal);
        ok = SweepStagedFiles(services.files, *journal) && ok;
    } else {
        for (auto record = journal->records.rbegin(); record != journal->records.rend(); ++record) {
            ok = RollBackFile(services.files, *record) && ok;
        }
        try {
            const auto hold = services.registry.HoldChanges();
            for (const auto& record : journal->records) {
                if (record[0] == "V") {
                    ok = RollBackValue(services.registry, record) && ok;
                }
            }
            // The keys the apply made, innermost first, once the values in them are gone again.
            for (auto record = journal->records.rbegin(); record != journal->records.rend(); ++record) {
                if ((*record)[0] == "K") {
                    RemoveNewKey(services.registry, *record);
                }
            }
            if (hold) {
                hold->Release();
            }
        } catch (const PlatformError&) {
            ok = false;
        }
        // What could not be put back stays where it waits, and so do the staged files, for the next try.
        ok = ok && SweepStagedFiles(services.files, *journal);
    }
    if (!ok) {
        return Recovery::Failed; // the journal stays for the next try
    }
    services.files.DeleteFile(path);
    return journal->committed ? Recovery::Finished : Recovery::RolledBack;
}

Recovery RecoverInterruptedApply(PlatformServices services) {
    // Only looked for at a start: nothing is made where no apply ever ran.
    for (const std::string& folder : JournalFolders(services)) {
        if (!services.files.FileExists(JoinPath(folder, kJournalFile))) {
            continue;
        }
        const auto lock = services.files.LockFile(ApplyLockPath(folder));
        return lock ? RecoverFromJournal(services, folder) : Recovery::Failed;
    }
    return Recovery::None;
}

bool ApplyWasCutOff(PlatformServices services) {
    const auto folders = JournalFolders(services);
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
        return services.files.FileExists(JoinPath(folder, kJournalFile));
    });
}

std::string RecoveryMessage(Recovery recovery) {
    switch (recovery) {
    case Recovery::None:
        return {};
    case Recovery::RolledBack:
        return "An apply that was cut off was rolled back: the startup entries are as they were before it.";
    case Recovery::Finished:
        return "An apply that was cut off after its changes were made has been finished.";
    case Recovery::Failed:
        return "An apply that was cut off could not be put right yet; it will be tried again at the next "
               "start.";
    }
    return {};
}

} // namespace qb
