#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// What a shortcut (.lnk) file holds that the tool uses.
struct ShortcutInfo {
    std::string target; // the program's path (short 8.3 form when read back, where the system has one)
    std::string arguments;
    std::string description;
    std::string workingDirectory;
    std::string iconLocation;
    int iconIndex = 0;
    int showCommand = 1; // SW_SHOWNORMAL
    friend bool operator==(const ShortcutInfo&, const ShortcutInfo&) = default;
};

// A program icon as 32-bit ARGB pixels, row by row.
struct ProgramIcon {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    bool standardApplication = false; // the system's stand-in for programs without an icon
};

// A shortcut file as the shell reads it: the link, or why the file is none.
struct ShortcutLoad {
    std::optional<ShortcutInfo> link;
    std::string problem; // when there is no link: why, in a few words ("the file is cut short")

    explicit operator bool() const { return link.has_value(); }
    bool has_value() const { return link.has_value(); }
    const ShortcutInfo& operator*() const { return *link; }
    const ShortcutInfo* operator->() const { return &*link; }
};

inline constexpr int kShowNormal = 1; // SW_SHOWNORMAL
inline constexpr int kShow = 5;       // SW_SHOW

class Shell {
public:
    virtual ~Shell() = default;

    // The all-users or current user's startup special folder, without a trailing backslash; "" on failure.
    virtual std::string StartupFolderPath(bool allUsers) = 0;
    // Reads a shortcut file as Windows does; no link, with the reason, when the shell would not load it.
    virtual ShortcutLoad LoadShortcut(std::string_view path) = 0;
    // Writes a shortcut file, replacing one of that name; false when it could not be saved.
    virtual bool SaveShortcut(std::string_view path, const ShortcutInfo& link) = 0;
    // The first icon of a file; nullopt when it has none.
    virtual std::optional<ProgramIcon> ExtractIcon(std::string_view path) = 0;
    virtual ProgramIcon StandardApplicationIcon() = 0;
    // WinExec: a result above 31 means the program started; otherwise 0 (out of resources),
    // 2 (file not found), 3 (path not found), 11 (bad format) or another error below 32.
    virtual int RunCommand(std::string_view commandLine, int showCommand) = 0;
    // ShellExecute with a verb ("open", "explore") on a document, folder or URL; above 32 is success.
    virtual int OpenWithVerb(std::string_view verb, std::string_view target) = 0;
    // ShellExecuteEx with the verb "properties".
    virtual bool ShowProperties(std::string_view path) = 0;
};

} // namespace qb
