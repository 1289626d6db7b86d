#include "changes/apply_transaction.h"

#include "platform/failure_cause.h"
#include "platform/platform_error.h"

namespace qb {

namespace {

std::string_view FolderOf(std::string_view path) {
    const auto cut = path.rfind('\\');
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}

// Removes a staged file that is not to be used, keeping the cause of the failure that made it so.
void Discard(FileSystem& files, const std::string& stage) {
    const FailureCause cause = LastFailure();
    if (files.FileExists(stage)) {
        files.DeleteFile(stage);
    }
    SetLastFailure(cause);
}

class JournaledKey : public RegistryKey {
public:
    JournaledKey(std::unique_ptr<RegistryKey> inner, ApplyJournal& journal, RegistryRoot root,
                 RegistryView view, std::string path)
        : inner_(std::move(inner)), journal_(journal), root_(root), view_(view), path_(std::move(path)) {}

    std::vector<std::string> ValueNames() override { return inner_->ValueNames(); }
    std::vector<std::string> SubkeyNames() override { return inner_->SubkeyNames(); }
    std::optional<RegistryValue> ReadValue(std::string_view name) override { return inner_->ReadValue(name); }
    void WriteValue(std::string_view name, const RegistryValue& value) override {
        if (!Record(name)) {
            throw PlatformError::SetDataFailed(name); // not journaled, not written
        }
        inner_->WriteValue(name, value);
    }
    bool DeleteValue(std::string_view name) override { return Record(name) && inner_->DeleteValue(name); }
    // An apply removes values, never keys.
    bool DeleteSubkey(std::string_view relativePath) override { return inner_->DeleteSubkey(relativePath); }

private:
    // The value as it was is read only for its first change: later ones find it recorded.
    bool Record(std::string_view name) {
        return journal_.ValueRecorded(root_, view_, path_, name) ||
               journal_.RecordValue(root_, view_, path_, name, inner_->ReadValue(name));
    }

    std::unique_ptr<RegistryKey> inner_;
    ApplyJournal& journal_;
    RegistryRoot root_;
    RegistryView view_;
    std::string path_;
};

} // namespace

std::unique_ptr<RegistryKey> JournaledRegistry::OpenForWriting(RegistryRoot root, std::string_view path,
                                                               bool createIfMissing, RegistryView view) {
    if (createIfMissing && !inner_.OpenForReading(root, path, view)) {
        // Every key this makes, outermost first, is journaled before it is made.
        const std::string whole = TrimKeySeparators(path);
        for (std::size_t end = whole.find('\\');; end = whole.find('\\', end + 1)) {
            const std::string part = whole.substr(0, end);
            if (!inner_.OpenForReading(root, part, view) && !journal_.RecordNewKey(root, view, part)) {
                return nullptr; // not journaled, not made
            }
            if (end == std::string::npos) {
                break;
            }
        }
    }
    auto key = inner_.OpenForWriting(root, path, createIfMissing, view);
    if (!key) {
        return nullptr;
    }
    return std::make_unique<JournaledKey>(std::move(key), journal_, root, view, std::string(path));
}

bool JournaledFiles::CreateStaged(std::string_view path,
                                  const std::function<bool(const std::string& stage)>& make) {
    // Names match without regard to case: a file in other letters is the same file.
    if (inner_.FileExists(path) || inner_.DirectoryExists(path)) {
        SetLastFailure(FailureCause::AlreadyThere);
        return false;
    }
    const auto stage = journal_.StageName(FolderOf(path));
    if (!stage) {
        return false;
    }
    if (!make(*stage)) {
        Discard(inner_, *stage);
        return false;
    }
    const auto stamp = inner_.Stamp(*stage);
    if (!journal_.RecordNewFile(path, *stage, stamp ? stamp->identity : 0) ||
        !inner_.MoveFile(*stage, path)) {
        Discard(inner_, *stage);
        return false;
    }
    return true;
}

bool JournaledFiles::DeleteFile(std::string_view path) {
    if (!inner_.FileExists(path)) {
        SetLastFailure(FailureCause::NotFound);
        return false;
    }
    if (inner_.IsReadOnly(path)) {
        SetLastFailure(FailureCause::AccessDenied); // Windows refuses to delete a read-only file
        return false;
    }
    const std::string trash = journal_.TrashName();
    if (!journal_.RecordTrashed(trash, path)) {
        return false;
    }
    if (inner_.MoveFile(path, trash)) {
        return true;
    }
    // The journal's folder may be on another volume, where no rename reaches: the file waits in its own.
    const FailureCause cause = LastFailure();
    if (cause != FailureCause::Unknown) {
        return false;
    }
    const auto beside = journal_.TrashNameIn(FolderOf(path));
    if (!beside || !journal_.RecordTrashed(*beside, path) || !inner_.MoveFile(path, *beside)) {
        return false;
    }
    return true;
}

bool JournaledFiles::WriteFile(std::string_view path, std::string_view bytes) {
    if (const auto trash = journal_.TrashOf(path); trash && !inner_.FileExists(path)) {
        // Putting back what this apply set aside: the file itself returns, not a copy.
        if (inner_.ReadFile(*trash) == bytes && inner_.MoveFile(*trash, path)) {
            journal_.Untrash(path);
            return true;
        }
    }
    return CreateStaged(path, [&](const std::string& stage) { return inner_.WriteFile(stage, bytes); });
}

bool JournaledFiles::CopyFile(std::string_view source, std::string_view destination, bool failIfExists) {
    if (!inner_.FileExists(source)) {
        SetLastFailure(FailureCause::NotFound);
        return false;
    }
    if (inner_.FileExists(destination)) {
        if (failIfExists) {
            SetLastFailure(FailureCause::AlreadyThere);
            return false;
        }
        if (!DeleteFile(destination)) {
            return false;
        }
    }
    return CreateStaged(destination,
                        [&](const std::string& stage) { return inner_.CopyFile(source, stage, true); });
}

bool JournaledFiles::MoveFile(std::string_view source, std::string_view destination) {
    return CopyFile(source, destination, true) && DeleteFile(source);
}

bool JournaledShell::SaveShortcut(std::string_view path, const ShortcutInfo& link) {
    return files_.CreateStaged(path,
                               [&](const std::string& stage) { return inner_.SaveShortcut(stage, link); });
}

ApplyTransaction::ApplyTransaction(PlatformServices services)
    : inner_(services), folder_(ApplyJournalFolder(services)), journal_(services.files, folder_),
      registry_(services.registry, journal_), files_(services.files, journal_),
      shell_(services.shell, files_) {
    lock_ = inner_.files.LockFile(ApplyLockPath(folder_));
    if (!lock_) {
        throw PlatformError::ProfileWriteFailed(ApplyLockPath(folder_));
    }
    recovered_ = RecoverFromJournal(inner_, folder_);
    if (recovered_ == Recovery::Failed) {
        // An earlier apply's changes that could not be put right are not built upon.
        throw PlatformError::ProfileWriteFailed(JoinPath(folder_, "journal"));
    }
}

void ApplyTransaction::Begin() {
    if (!journal_.Begin()) {
        ended_ = true;
        journal_.Finish(); // a header cut short by a full disk
        throw PlatformError::ProfileWriteFailed(JoinPath(folder_, "journal"));
    }
    begun_ = true;
    // One step for other instances. A registry kept in one file stores the apply's changes once, at the
    // commit: a thousand changes would otherwise rewrite the whole store a thousand times.
    hold_ = inner_.registry.HoldChanges();
    journal_.DeferValueRecords(hold_ != nullptr);
}

ApplyTransaction::~ApplyTransaction() {
    if (begun_ && !ended_) {
        RollBack();
    }
}

PlatformServices ApplyTransaction::Services() {
    return PlatformServices{registry_,     inner_.profiles, files_,         shell_,      inner_.processes,
                            inner_.system, inner_.dialogs,  inner_.browser, inner_.clock};
}

void ApplyTransaction::FailJournal() {
    RollBack();
    throw PlatformError::ProfileWriteFailed(JoinPath(folder_, "journal"));
}

void ApplyTransaction::Commit() {
    // The value records reach the disk before the registry's changes do.
    if (!journal_.Flush()) {
        FailJournal();
    }
    if (hold_) {
        try {
            auto hold = std::move(hold_);
            hold->Release();
        } catch (const PlatformError&) {
            RollBack(); // none of the registry's changes were stored: the files follow them back
            throw;
        }
    }
    if (!journal_.Commit()) {
        FailJournal();
    }
    ended_ = true;
    // Deletes what was set aside. Should that fail, the journal stays and the next start finishes it.
    RecoverFromJournal(inner_, folder_);
}

void ApplyTransaction::RollBack() {
    if (!begun_ || ended_) {
        return;
    }
    ended_ = true;
    journal_.Flush();
    if (hold_) {
        // Ending the hold stores what was changed under it; the journal then takes it back.
        try {
            auto hold = std::move(hold_);
            hold->Release();
        } catch (const PlatformError&) {
            // Nothing of it was stored.
        }
    }
    RecoverFromJournal(inner_, folder_);
}

} // namespace qb
