#include "checks/reader_checks.h"
#include "inventory/command_line.h"
#include "platform/text.h"

#include <algorithm>
#include <set>

namespace qb::fuzz {

namespace {

class FakeSystem : public SystemInfo {
public:
    OsVersion Version() override { return {}; }
    std::string SystemDirectory() override { return "C:\\WINDOWS\\SYSTEM32"; }
    std::string WindowsDirectory() override { return "C:\\WINDOWS"; }
    // No variable is set, so every reference stays as written.
    std::string ExpandEnvironmentStrings(std::string_view text) override { return std::string(text); }
};

// A disk on which a file exists when its name begins with "A", whatever the folders; it remembers every
// path it said yes to.
class FakeDisk : public FileSystem {
public:
    std::string ExecutableDirectory() override { return "C:\\Program Files\\Quillbrook"; }
    std::string FullPath(std::string_view path) override { return std::string(path); }
    bool SetHidden(std::string_view) override { return false; }
    bool FileExists(std::string_view path) override {
        const auto slash = path.rfind('\\');
        const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
        const bool exists = !name.empty() && (name.front() == 'A' || name.front() == 'a');
        if (exists) {
            confirmed.emplace(path);
        }
        return exists;
    }
    bool DirectoryExists(std::string_view) override { return false; }
    bool CreateDirectory(std::string_view) override { return false; }
    bool CopyFile(std::string_view, std::string_view, bool) override { return false; }
    bool DeleteFile(std::string_view) override { return false; }
    std::vector<FileEntry> FindFiles(std::string_view, std::string_view) override { return {}; }
    bool WriteFile(std::string_view, std::string_view) override { return false; }
    std::optional<std::string> ReadFile(std::string_view) override { return std::nullopt; }
    std::optional<FileStamp> Stamp(std::string_view) override { return std::nullopt; }
    bool MoveFile(std::string_view, std::string_view) override { return false; }
    bool IsReadOnly(std::string_view) override { return false; }
    bool AppendFile(std::string_view, std::string_view) override { return false; }
    std::unique_ptr<FileLock> LockFile(std::string_view) override { return nullptr; }

    std::set<std::string, std::less<>> confirmed;
};

Finding CheckExtensionPosition(std::string_view text) {
    const int position = FindExtension(text);
    if (position == 0) {
        return std::nullopt;
    }
    const auto start = static_cast<std::size_t>(position - 1);
    if (position < 0 || start + 4 > text.size()) {
        return "FindExtension gives " + std::to_string(position) + " in a text of " +
               std::to_string(text.size()) + " bytes";
    }
    const std::string_view found = text.substr(start, 4);
    if (std::find(kExtensionList.begin(), kExtensionList.end(), found) == kExtensionList.end()) {
        return "FindExtension points at '" + std::string(found) + "', no extension of the list";
    }
    return std::nullopt;
}

bool IsPartOf(std::string_view whole, std::string_view part) {
    return whole.find(part) != std::string_view::npos;
}

} // namespace

Finding CheckCommandLine(std::string_view command) {
    // Windows' mapping changes the UTF-8 length of a few letters; the byte-for-byte one never does.
    if (AsciiUpperCase(command).size() != command.size()) {
        return "ASCII upper-casing changed the length";
    }
    const std::string upper = UpperCase(command);
    if (auto finding = CheckExtensionPosition(upper)) {
        return finding;
    }
    if (auto finding = CheckExtensionPosition(command)) {
        return finding;
    }

    const std::string fileName = TargetFileName(command);
    if (command.empty() && !fileName.empty()) {
        return "an empty command has the file name '" + fileName + "'";
    }
    if (UpperCase(fileName) != fileName || fileName.size() > upper.size()) {
        return "the file name '" + fileName + "' is no upper-cased part of the command";
    }

    FakeSystem system;
    FakeDisk disk;
    const std::string target = TargetPath(command, system, disk);
    // Host programs and web addresses are their own target: the whole command, less a list's marker.
    const bool wholeCommand =
        !target.empty() && upper.ends_with(target) && target.size() + 14 >= upper.size();
    if (!target.empty() && disk.confirmed.count(target) == 0 && !wholeCommand) {
        return "TargetPath gives '" + target + "', which the disk never confirmed";
    }

    const ProgramAndArguments split = SplitProgramAndArguments(command);
    if (!IsPartOf(command, split.program) || !IsPartOf(command, split.arguments)) {
        return "SplitProgramAndArguments gives '" + split.program + "' and '" + split.arguments +
               "', which are not parts of the command";
    }
    const auto quoted = command.find_first_not_of(" \t");
    if (quoted != std::string_view::npos && command[quoted] == '"') {
        const auto close = command.find('"', quoted + 1);
        const auto inQuotes =
            command.substr(quoted + 1, close == std::string_view::npos ? close : close - quoted - 1);
        if (split.program != inQuotes) {
            return "the quoted program '" + std::string(inQuotes) + "' was split as '" + split.program + "'";
        }
    }
    return std::nullopt;
}

} // namespace qb::fuzz
