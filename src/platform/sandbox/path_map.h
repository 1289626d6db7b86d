#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct stat;

namespace qb::sandbox {

// Maps Windows paths onto the sandbox's drives: "C:\Program Files\X" is <root>/drive_c/Program Files/X.
// Every component is matched without regard to letter case, as on Windows; a component that does not
// exist keeps the spelling it was given, so that it can be created.
class PathMap {
public:
    explicit PathMap(std::filesystem::path root);

    const std::filesystem::path& Root() const { return root_; }

    // nullopt for anything that is not an absolute drive path ("C:\..." or "C:/..."), and for paths that
    // hold a NUL. "." and ".." are resolved as Windows resolves them (never above the drive), repeated
    // separators collapse, and trailing dots and blanks of a component are dropped.
    std::optional<std::filesystem::path> ToHost(std::string_view windowsPath) const;

    // Folders a standard user may not change (the common startup folder, Program Files, Windows): every write
    // into them is refused as "access denied", as Windows refuses it.
    void ProtectFromWriting(const std::vector<std::string>& windowsFolders);
    // ToHost for a path about to be created, changed or deleted: nullopt, with the failure's cause set, when
    // the path is no drive path or lies in a protected folder.
    std::optional<std::filesystem::path> ToHostForWriting(std::string_view windowsPath) const;

    // The Windows form of a host path inside the root ("C:\..."), or nullopt for paths outside the drives.
    std::optional<std::string> ToWindows(const std::filesystem::path& hostPath) const;

    // What a path is as the folder listings of the running load have it (LoadScope), so that a load checks
    // a target file without a stat of its own; nullopt outside a load, or for a drive's root, where the
    // caller asks the host.
    enum class Kind { Missing, File, Directory, Other };
    std::optional<Kind> KindInLoad(std::string_view windowsPath) const;

private:
    struct Entry {
        std::string name;
        Kind kind = Kind::Other; // as the listing found it, symbolic links followed
    };
    // The entry of dir whose name equals name without regard to case; the exact spelling wins. Outside a
    // load an entry found by its exact spelling comes without its kind (Other).
    std::optional<Entry> FindEntry(const std::string& dir, const std::string& name) const;
    // The host folder of a drive letter: <root>/drive_c.
    std::string DriveFolder(char drive) const;

    // Upper-cased name -> entry of every entry of a directory, kept while the directory is unchanged, so
    // that a path in other letters than the disk's costs a lookup, not a scan of its folders. Within a
    // load (LoadScope) the directory is checked at its first lookup in the load only.
    struct DirectoryIndex {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t modified = 0;
        bool isDirectory = true; // false: the path is no directory (or missing) in the load below
        bool settled = false;    // not changed so recently that a coarse clock could hide a change
        std::uint64_t load = 0;  // the load that last checked it (CurrentLoad), 0 for none
        std::unordered_map<std::string, Entry> names;
        std::vector<Entry> others; // further spellings of a name, on a case-sensitive host

        std::optional<Entry> Find(const std::string& name) const;
    };
    static DirectoryIndex ReadIndex(const std::filesystem::path& dir, const struct stat& info);

    std::filesystem::path root_;
    std::string drivePrefix_; // <root>/drive_, to which a drive's letter is added
    std::vector<std::vector<std::string>> protected_; // upper-cased components, drive letter first
    mutable std::mutex cacheMutex_;
    mutable std::unordered_map<std::string, DirectoryIndex> cache_;
};

// Splits a Windows path into its drive letter (upper-case) and normalised components.
struct WindowsPath {
    char drive = 'C';
    std::vector<std::string> components;
};
std::optional<WindowsPath> ParseWindowsPath(std::string_view path);

} // namespace qb::sandbox
