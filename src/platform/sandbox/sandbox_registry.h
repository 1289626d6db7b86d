#pragma once

#include "platform/file_system.h"
#include "platform/load_scope.h"
#include "platform/registry.h"
#include "platform/sandbox/host_files.h"
#include "platform/sandbox/reg_file.h"
#include "platform/sandbox/reg_tree.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

namespace qb::sandbox {

// The registry of a sandbox, stored in one .reg file. Every change is a read-modify-write of the whole
// file under an exclusive lock, and the file is replaced atomically, so two processes working on one root
// lose none of each other's writes and a reader never sees half a file. Between changes the parsed tree
// is reused for as long as the file stays the same. Under a hold the lock is kept and the changes stay in
// the tree until the outermost hold ends, which writes the file once: an apply of a thousand changes is
// one write, not a thousand rewrites of the whole file.
class SandboxRegistry : public Registry {
public:
    // With administrator false, HKEY_LOCAL_MACHINE can be read but not opened for writing. With x64 the
    // machine is 64-bit Windows: the 32-bit view of a redirected key is kept under
    // HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node, as `reg export` shows it; otherwise both views are one.
    SandboxRegistry(std::filesystem::path file, bool administrator, bool x64 = true);

    using Registry::DeleteKey;
    using Registry::OpenForReading;
    using Registry::OpenForWriting;
    std::unique_ptr<RegistryKey> OpenForReading(RegistryRoot root, std::string_view path,
                                                RegistryView view) override;
    std::unique_ptr<RegistryKey> OpenForWriting(RegistryRoot root, std::string_view path,
                                                bool createIfMissing, RegistryView view) override;
    bool DeleteKey(RegistryRoot root, std::string_view path, RegistryView view) override;
    // Holds the file lock (and this object's mutex) until released: other processes' writes wait, and this
    // process's changes under it go to the tree, written to the file when the outermost hold ends.
    std::unique_ptr<RegistryHold> HoldChanges() override;

    // Why the file cannot be used, or nullopt when it can (a missing file is an empty registry). A file
    // that does not parse is never written over: reads find nothing and writes fail until it is mended.
    std::optional<RegParseError> Check();

    const std::filesystem::path& File() const { return file_; }

private:
    friend class SandboxKey;
    friend class SandboxHold;

    // Runs f on the current tree; false (f not run) when the file does not parse.
    bool Read(const std::function<void(const RegNode& tree)>& f);
    // Runs f on the current tree under the file lock and saves the tree when f returns true. False when
    // the file does not parse, f refused, or the save failed (then the file is as it was). Under a hold
    // the tree is saved when the hold ends; `subject` (the value or key changed) names the failure then.
    bool Modify(std::string_view subject, const std::function<bool(RegNode& tree)>& f);
    // At the end of the outermost hold: writes the tree when it was changed under the hold and lets the
    // lock go. On failure the tree is read again from the unchanged file, and the subject of the first
    // change is returned.
    std::optional<std::string> EndHold();
    // Brings tree_ up to date with the file (re-reading it even when its stamp is unchanged when forced);
    // false when it does not parse.
    bool Refresh(bool force = false);
    bool MayWrite(RegistryRoot root) const;
    // The key's path in the store for that view, trimmed of separators.
    std::string ViewPath(RegistryRoot root, std::string_view path, RegistryView view) const;

    std::filesystem::path file_;
    std::filesystem::path lockFile_;
    bool administrator_;
    bool x64_;
    std::recursive_mutex mutex_;
    RegNode tree_;
    std::optional<FileStamp> stamp_; // of the file tree_ was read from; nullopt: nothing read yet
    FreshnessCheck freshness_;       // of stamp_ against the file
    bool missing_ = false;           // tree_ stands for a file that does not exist
    std::optional<RegParseError> error_;
    std::optional<HostFileLock> heldLock_; // while a hold lives
    int holds_ = 0;
    bool changedUnderHold_ = false; // the tree holds changes the file does not yet
    std::string firstChange_;       // the value or key of the first of them
};

// The path of a key in the tree: the hive's name, then the key path.
std::string TreePath(RegistryRoot root, std::string_view path);

// Where 64-bit Windows keeps a key of HKEY_LOCAL_MACHINE in the 32-bit view: SOFTWARE\X becomes
// SOFTWARE\WOW6432Node\X, except for the keys both views share (…\CurrentVersion\Policies) and paths that
// spell WOW6432Node already. The path is expected without leading or trailing backslashes.
std::string Wow32Path(std::string_view path);

} // namespace qb::sandbox
