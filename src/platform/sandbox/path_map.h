#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

    // The Windows form of a host path inside the root ("C:\..."), or nullopt for paths outside the drives.
    std::optional<std::string> ToWindows(const std::filesystem::path& hostPath) const;

private:
    std::filesystem::path root_;
};

// Splits a Windows path into its drive letter (upper-case) and normalised components.
struct WindowsPath {
    char drive = 'C';
    std::vector<std::string> components;
};
std::optional<WindowsPath> ParseWindowsPath(std::string_view path);

} // namespace qb::sandbox
