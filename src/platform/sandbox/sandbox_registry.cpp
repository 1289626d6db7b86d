#include "platform/sandbox/sandbox_registry.h"

#include "platform/failure_cause.h"
#include "platform/platform_error.h"
#include "platform/sandbox/host_files.h"
#include "platform/text.h"

#include <algorithm>
#include <sys/stat.h>

namespace qb::sandbox {

namespace fs = std::filesystem;

std::string TreePath(RegistryRoot root, std::string_view path) {
    std::string out(RootName(root));
    if (!path.empty()) {
        out += '\\';
        out += path;
    }
    return out;
}

std::string Wow32Path(std::string_view path) {
    constexpr std::string_view kSoftware = "SOFTWARE";
    if (path.size() < kSoftware.size() || !EqualsIgnoreCase(path.substr(0, kSoftware.size()), kSoftware) ||
        (path.size() > kSoftware.size() && path[kSoftware.size()] != '\\')) {
        return std::string(path); // only SOFTWARE is redirected
    }
    const std::string_view rest = path.substr(std::min(path.size(), kSoftware.size() + 1));
    const auto startsWith = [&](std::string_view prefix) {
        return rest.size() >= prefix.size() && EqualsIgnoreCase(rest.substr(0, prefix.size()), prefix) &&
               (rest.size() == prefix.size() || rest[prefix.size()] == '\\');
    };
    // Keys the two views share, as Windows lists them for the startup places (checked under Wine too).
    constexpr std::string_view kShared[] = {"WOW6432Node", "Microsoft\\Windows\\CurrentVersion\\Policies"};
    for (const auto shared : kShared) {
        if (startsWith(shared)) {
            return std::string(path);
        }
    }
    std::string out(path.substr(0, kSoftware.size()));
    out += "\\WOW6432Node";
    if (!rest.empty()) {
        out += '\\';
        out += rest;
    }
    return out;
}

namespace {

std::optional<FileStamp> StampOf(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modifiedNanoseconds =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.identity = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

RegNode EmptyRegistry() {
    RegNode tree;
    tree.CreatePath(RootName(RegistryRoot::LocalMachine));
    tree.CreatePath(RootName(RegistryRoot::CurrentUser));
    return tree;
}

// Splits "a\b\c" into "a\b" and "c".
std::pair<std::string, std::string> SplitLast(std::string_view path) {
    const auto cut = path.find_last_of('\\');
    if (cut == std::string_view::npos) {
        return {"", std::string(path)};
    }
    return {std::string(path.substr(0, cut)), std::string(path.substr(cut + 1))};
}

// Names Windows itself refuses, and names the .reg file could not hold: creating them fails, as
// RegCreateKeyEx and RegSetValueEx fail.
// A store that cannot be read or changed, for a reason the system does not name: false.
bool Refused() {
    SetLastFailure(FailureCause::Unknown);
    return false;
}

bool IsValidKeyPath(std::string_view path) {
    std::size_t depth = 0;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find('\\', start), path.size());
        const std::string_view name = path.substr(start, end - start);
        if (name.empty() || Utf16Length(name) > kMaxKeyNameLength ||
            name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) {
            return false;
        }
        ++depth;
        start = end + 1;
    }
    return depth <= kMaxKeyDepth + 1; // the hive itself is the first component
}

// The ANSI registry functions pass names and strings on as UTF-16 under the UTF-8 code page, so bytes that
// are not UTF-8 arrive as U+FFFD and "a\xFF" names the value "a\uFFFD". The tree holds text as the file
// stores it, so that a name written is the name found again, in this process as in the next.
std::string AsStored(std::string_view text) {
    return Utf16ToUtf8(Utf8ToUtf16(text));
}

RegistryValue AsStored(const RegistryValue& value) {
    if (value.IsText() || value.type == ValueType::MultiString) {
        return {value.type, AsStored(value.data)};
    }
    return value;
}

bool IsValidValueName(std::string_view name) {
    return Utf16Length(name) <= kMaxValueNameLength && name.find('\0') == std::string_view::npos;
}

} // namespace

class SandboxKey : public RegistryKey {
public:
    SandboxKey(SandboxRegistry& registry, std::string treePath, bool writable)
        : registry_(registry), treePath_(std::move(treePath)), writable_(writable) {}

    std::vector<std::string> ValueNames() override {
        std::vector<std::string> names;
        registry_.Read([&](const RegNode& tree) {
            if (const RegNode* node = tree.FindPath(treePath_)) {
                for (const auto& [name, value] : node->Values()) {
                    names.push_back(name);
                }
            }
        });
        return names;
    }

    std::vector<std::string> SubkeyNames() override {
        std::vector<std::string> names;
        registry_.Read([&](const RegNode& tree) {
            if (const RegNode* node = tree.FindPath(treePath_)) {
                for (const RegNode* child : node->Subkeys()) {
                    names.push_back(child->Name());
                }
            }
        });
        return names;
    }

    std::optional<RegistryValue> ReadValue(std::string_view name) override {
        std::optional<RegistryValue> out;
        const std::string stored = AsStored(name);
        registry_.Read([&](const RegNode& tree) {
            if (const RegNode* node = tree.FindPath(treePath_)) {
                if (const RegistryValue* value = node->FindValue(stored)) {
                    out = *value;
                }
            }
        });
        return out;
    }

    // The error thrown carries no cause of its own: the cause is set too, so that a caller that goes on
    // after it reads why, not an earlier call's reason.
    void WriteValue(std::string_view name, const RegistryValue& value) override {
        if (!writable_ || !IsValidValueName(name)) {
            SetLastFailure(!writable_ ? FailureCause::AccessDenied : FailureCause::BadName);
            throw PlatformError::SetDataFailed(name);
        }
        const bool written = registry_.Modify(name, [&](RegNode& tree) {
            RegNode* node = tree.FindPath(treePath_);
            if (node == nullptr) {
                SetLastFailure(FailureCause::NotFound); // the key was deleted since it was opened
                return false;
            }
            node->SetValue(AsStored(name), AsStored(value));
            return true;
        });
        if (!written) {
            throw PlatformError::SetDataFailed(name);
        }
    }

    bool DeleteValue(std::string_view name) override {
        if (!writable_) {
            SetLastFailure(FailureCause::AccessDenied);
            return false;
        }
        return registry_.Modify(name, [&](RegNode& tree) {
            RegNode* node = tree.FindPath(treePath_);
            if (node == nullptr || node->FindValue(AsStored(name)) == nullptr) {
                SetLastFailure(FailureCause::NotFound);
                return false;
            }
            return node->RemoveValue(AsStored(name)) || Refused();
        });
    }

    bool DeleteSubkey(std::string_view relativePath) override {
        const std::string relative = AsStored(TrimKeySeparators(relativePath));
        if (!writable_ || relative.empty()) {
            SetLastFailure(!writable_ ? FailureCause::AccessDenied : FailureCause::BadName);
            return false;
        }
        // Not a structured binding: clang 14 (the fuzz build) cannot capture one in a lambda.
        const auto split = SplitLast(treePath_ + "\\" + relative);
        return registry_.Modify(split.second, [&](RegNode& tree) {
            RegNode* node = tree.FindPath(split.first);
            if (node == nullptr || !node->RemoveSubkey(split.second)) {
                SetLastFailure(FailureCause::NotFound);
                return false;
            }
            return true;
        });
    }

private:
    SandboxRegistry& registry_;
    std::string treePath_;
    bool writable_;
};

SandboxRegistry::SandboxRegistry(fs::path file, bool administrator, bool x64)
    : file_(std::move(file)), lockFile_(file_.string() + ".lock"), administrator_(administrator), x64_(x64),
      tree_(EmptyRegistry()) {}

bool SandboxRegistry::MayWrite(RegistryRoot root) const {
    return administrator_ || root != RegistryRoot::LocalMachine;
}

bool SandboxRegistry::Refresh(bool force) {
    if (heldLock_) {
        // Nobody else writes while the lock is held, and the tree may hold changes not yet written.
        return !error_;
    }
    if (!force && !freshness_.Due()) {
        return !error_; // checked already in this load
    }
    const auto stamp = StampOf(file_);
    if (!stamp) {
        if (!missing_ || error_) {
            tree_ = EmptyRegistry();
            missing_ = true;
            stamp_.reset();
            error_.reset();
        }
        return true;
    }
    if (!force && stamp_ && *stamp_ == *stamp) {
        return !error_;
    }
    const auto content = ReadHostFile(file_);
    if (!content) {
        error_ = RegParseError{0, "cannot read the file"};
        stamp_.reset();
        return false;
    }
    auto parsed = ParseRegFile(*content);
    if (auto* error = std::get_if<RegParseError>(&parsed)) {
        error_ = *error;
        stamp_ = stamp;
        return false;
    }
    tree_ = std::move(std::get<RegNode>(parsed));
    // Both hives exist on every machine, whatever the file holds.
    tree_.CreatePath(RootName(RegistryRoot::LocalMachine));
    tree_.CreatePath(RootName(RegistryRoot::CurrentUser));
    stamp_ = stamp;
    missing_ = false;
    error_.reset();
    return true;
}

bool SandboxRegistry::Read(const std::function<void(const RegNode&)>& f) {
    std::lock_guard guard(mutex_);
    if (!Refresh()) {
        return false;
    }
    f(tree_);
    return true;
}

bool SandboxRegistry::Modify(std::string_view subject, const std::function<bool(RegNode&)>& f) {
    std::lock_guard guard(mutex_);
    if (heldLock_) {
        // The hold read the file under the lock when it began; the change waits for the hold's end.
        if (error_) {
            return Refused();
        }
        if (!f(tree_)) {
            return false;
        }
        if (!changedUnderHold_) {
            changedUnderHold_ = true;
            firstChange_ = std::string(subject);
        }
        return true;
    }
    const auto lock = HostFileLock::Acquire(lockFile_);
    if (!lock) {
        SetLastFailure(CauseOfErrno(errno));
        return false;
    }
    // Under the lock the file is always read again: a stamp can repeat (coarse clocks, reused inodes),
    // and a change built on a stale tree would undo another process's write.
    if (!Refresh(true)) {
        return Refused();
    }
    if (!f(tree_)) {
        return false;
    }
    if (!WriteHostFileAtomically(file_, FormatRegFile(tree_))) {
        SetLastFailure(CauseOfErrno(errno));
        stamp_.reset(); // the tree holds a change the file does not: read it again next time
        missing_ = false;
        freshness_.Forget();
        Refresh();
        return false;
    }
    stamp_ = StampOf(file_);
    missing_ = false;
    return true;
}

std::optional<std::string> SandboxRegistry::EndHold() {
    std::optional<std::string> failed;
    if (changedUnderHold_ && heldLock_) {
        if (WriteHostFileAtomically(file_, FormatRegFile(tree_))) {
            stamp_ = StampOf(file_);
            missing_ = false;
        } else {
            SetLastFailure(CauseOfErrno(errno));
            failed = firstChange_;
        }
    }
    changedUnderHold_ = false;
    firstChange_.clear();
    heldLock_.reset();
    if (failed) {
        // The file is as it was before the hold: so is the tree, read again from it.
        stamp_.reset();
        missing_ = false;
        Refresh(true);
    }
    return failed;
}

// The file lock, taken once for the outermost hold; the tree is read again under it, since another process
// may have written with a stamp that repeats the one of the last read.
class SandboxHold : public RegistryHold {
public:
    explicit SandboxHold(SandboxRegistry& registry) : registry_(registry) {
        registry_.mutex_.lock();
        if (registry_.holds_++ == 0) {
            auto lock = HostFileLock::Acquire(registry_.lockFile_);
            // Read before the lock counts as held, since from then on Refresh trusts the tree. Without the
            // lock (a root that cannot hold a lock file) every change tries, and fails, on its own.
            registry_.Refresh(true);
            registry_.heldLock_ = std::move(lock);
        }
    }
    SandboxHold(const SandboxHold&) = delete;
    SandboxHold& operator=(const SandboxHold&) = delete;
    ~SandboxHold() override {
        if (!released_) {
            End();
        }
    }

    void Release() override {
        if (released_) {
            return;
        }
        if (const auto failed = End()) {
            throw PlatformError::SetDataFailed(*failed);
        }
    }

private:
    std::optional<std::string> End() {
        released_ = true;
        std::optional<std::string> failed;
        if (--registry_.holds_ == 0) {
            failed = registry_.EndHold();
        }
        registry_.mutex_.unlock();
        return failed;
    }

    SandboxRegistry& registry_;
    bool released_ = false;
};

std::unique_ptr<RegistryHold> SandboxRegistry::HoldChanges() {
    return std::make_unique<SandboxHold>(*this);
}

std::optional<RegParseError> SandboxRegistry::Check() {
    std::lock_guard guard(mutex_);
    Refresh();
    return error_;
}

std::string SandboxRegistry::ViewPath(RegistryRoot root, std::string_view path, RegistryView view) const {
    const std::string trimmed = TrimKeySeparators(path);
    if (view == RegistryView::Wow32 && x64_ && root == RegistryRoot::LocalMachine) {
        return Wow32Path(trimmed);
    }
    return trimmed;
}

std::unique_ptr<RegistryKey> SandboxRegistry::OpenForReading(RegistryRoot root, std::string_view path,
                                                             RegistryView view) {
    const std::string treePath = TreePath(root, AsStored(ViewPath(root, path, view)));
    bool exists = false;
    Read([&](const RegNode& tree) { exists = tree.FindPath(treePath) != nullptr; });
    if (!exists) {
        SetLastFailure(FailureCause::NotFound);
        return nullptr;
    }
    return std::make_unique<SandboxKey>(*this, treePath, false);
}

std::unique_ptr<RegistryKey> SandboxRegistry::OpenForWriting(RegistryRoot root, std::string_view path,
                                                             bool createIfMissing, RegistryView view) {
    if (!MayWrite(root)) {
        SetLastFailure(FailureCause::AccessDenied);
        return nullptr;
    }
    const std::string treePath = TreePath(root, AsStored(ViewPath(root, path, view)));
    bool exists = false;
    if (!Read([&](const RegNode& tree) { exists = tree.FindPath(treePath) != nullptr; })) {
        SetLastFailure(FailureCause::Unknown);
        return nullptr;
    }
    if (!exists) {
        if (!createIfMissing) {
            SetLastFailure(FailureCause::NotFound);
            return nullptr;
        }
        if (!IsValidKeyPath(treePath)) {
            SetLastFailure(FailureCause::BadName);
            return nullptr;
        }
        if (!Modify(SplitLast(treePath).second, [&](RegNode& tree) {
                tree.CreatePath(treePath);
                return true;
            })) {
            SetLastFailure(FailureCause::Unknown);
            return nullptr;
        }
    }
    return std::make_unique<SandboxKey>(*this, treePath, true);
}

bool SandboxRegistry::DeleteKey(RegistryRoot root, std::string_view path, RegistryView view) {
    const std::string relative = AsStored(ViewPath(root, path, view));
    if (!MayWrite(root) || relative.empty()) {
        SetLastFailure(relative.empty() ? FailureCause::BadName : FailureCause::AccessDenied);
        return false;
    }
    const auto split = SplitLast(TreePath(root, relative)); // see SandboxKey::DeleteSubkey
    // Set where it is known: a store that cannot be written (a full disk) keeps its own cause.
    return Modify(split.second, [&](RegNode& tree) {
        RegNode* node = tree.FindPath(split.first);
        if (node == nullptr || !node->RemoveSubkey(split.second)) {
            SetLastFailure(FailureCause::NotFound);
            return false;
        }
        return true;
    });
}

} // namespace qb::sandbox
