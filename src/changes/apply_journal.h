#pragma once

#include "platform/platform_services.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qb {

// The record of an apply in progress, kept on the disk so that an apply cut off by a kill, a crash or a
// power loss is finished or rolled back by the next start of either program. Each change is recorded (and
// flushed) before it is made: the registry value as it was, each file made (under a staged name, then
// renamed into place) and each file taken away (renamed aside, never deleted before the apply commits).
// Each registry key it makes is recorded too, so that a rollback leaves no empty key behind. Without the
// commit mark the apply is rolled back; with it, what was set aside is deleted.
class ApplyJournal {
public:
    // files: the file system itself, not one that journals; folder: where the journal, its lock and the
    // files set aside are kept.
    ApplyJournal(FileSystem& files, std::string folder);

    // Starts the journal; false when it cannot be written, and then nothing may change.
    bool Begin();
    // While deferred, the registry's records wait in memory: a registry whose changes are held and stored
    // in one step needs them on the disk only before that step (Flush). Every file record flushes them too.
    void DeferValueRecords(bool deferred) { deferValues_ = deferred; }

    // Whether the value as it was is recorded already: later changes of it need no record.
    bool ValueRecorded(RegistryRoot root, RegistryView view, std::string_view keyPath,
                       std::string_view name) const;
    // A value as it was before the apply's first change of it (nullopt: there was none); true, without a
    // second record, for a value recorded already.
    bool RecordValue(RegistryRoot root, RegistryView view, std::string_view keyPath, std::string_view name,
                     const std::optional<RegistryValue>& before);
    // A key about to be made, which a rollback takes away again while it holds nothing.
    bool RecordNewKey(RegistryRoot root, RegistryView view, std::string_view keyPath);
    // A file made at path by renaming the staged file stage, which has that identity (FileStamp::identity).
    bool RecordNewFile(std::string_view path, std::string_view stage, std::uint64_t identity);
    // A file about to be renamed from original to trash, where it waits for the commit.
    bool RecordTrashed(std::string_view trash, std::string_view original);
    bool Flush();
    // The apply is done: from here a cut-off apply is finished, not rolled back. Then the files set aside
    // are deleted and the journal goes.
    bool Commit();
    void Finish();

    // A name for a file staged in that folder, that the next start knows as this apply's; the folder is
    // recorded so that the name is found there even when the apply is cut off before its record.
    std::optional<std::string> StageName(std::string_view folder);
    // Where a file taken away waits: beside the journal, or in its own folder when the journal's is on
    // another volume.
    std::string TrashName();
    std::optional<std::string> TrashNameIn(std::string_view folder);
    // The file set aside from that path in this apply and not yet put back, if any.
    std::optional<std::string> TrashOf(std::string_view original) const;
    void Untrash(std::string_view original);

private:
    bool Append(std::string line, bool durableNow);

    FileSystem& files_;
    std::string folder_;
    std::string path_;
    std::string id_;
    std::uint64_t sequence_ = 0;
    bool deferValues_ = false;
    std::string pending_;
    std::vector<std::string> stageFolders_;                // upper-cased
    std::unordered_set<std::string> valuesRecorded_;       // root, view, key and name, upper-cased
    std::unordered_map<std::string, std::string> trashOf_; // upper-cased original -> trash
};

// Where the journal of the current user's applies is kept, made when missing: "%APPDATA%\Quillbrook\Apply",
// which a standard user may write, or the tool's own folder's "Apply" where that cannot be made.
std::string ApplyJournalFolder(PlatformServices services);
// The lock file that makes one apply (or recovery) at a time of the current user.
std::string ApplyLockPath(std::string_view journalFolder);

enum class Recovery {
    None,       // no apply was cut off
    RolledBack, // one was, and the system is as it was before it
    Finished,   // one was after it had committed, and it is now finished
    Failed,     // one was, and what it left could not all be put right: the next start tries again
};

// Finishes or rolls back an apply that a journal says was cut off. The caller holds the apply lock.
Recovery RecoverFromJournal(PlatformServices services, std::string_view journalFolder);
// The same, taking the lock first, in whichever of the journal's folders holds one: what each program
// does when it starts. It makes nothing where there is no journal.
Recovery RecoverInterruptedApply(PlatformServices services);
// Whether an apply was cut off and left its journal for a start to put right. Makes nothing.
bool ApplyWasCutOff(PlatformServices services);
// What the user reads about a recovery; "" for None.
std::string RecoveryMessage(Recovery recovery);

} // namespace qb
