#include "platform/sandbox/sandbox_shell.h"

#include "platform/ansi_code_page.h"
#include "platform/failure_cause.h"
#include "platform/file_system.h"
#include "platform/sandbox/code_page_text.h"
#include "platform/sandbox/command_line_words.h"
#include "platform/sandbox/host_files.h"
#include "platform/sandbox/host_process.h"
#include "platform/sandbox/sandbox_known_folders.h"
#include "platform/shell_link.h"
#include "platform/shortcut_file.h"
#include "platform/text.h"

#include <sys/stat.h>

namespace qb::sandbox {

namespace fs = std::filesystem;

namespace {

bool IsHostFile(const std::optional<fs::path>& host) {
    struct stat info {};
    return host && ::stat(host->c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsHostDirectory(const std::optional<fs::path>& host) {
    struct stat info {};
    return host && ::stat(host->c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsHostExecutable(const std::optional<fs::path>& host) {
    struct stat info {};
    return host && ::stat(host->c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           (info.st_mode & S_IXUSR) != 0;
}

bool HasPathSeparator(std::string_view text) {
    return text.find_first_of("\\/") != std::string_view::npos;
}

bool HasExtension(std::string_view name) {
    const auto slash = name.find_last_of("\\/");
    const auto dot = name.find_last_of('.');
    return dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
}

bool LooksLikeUrl(std::string_view target) {
    const auto colon = target.find(':');
    // "C:\..." has its colon at position 1; a scheme is longer than one letter.
    return colon != std::string_view::npos && colon > 1 && target.find_first_of("\\/") > colon;
}

} // namespace

SandboxShell::SandboxShell(const PathMap& paths, const SandboxSettings& settings, Registry& registry,
                           DesktopHandoff& desktop)
    : paths_(paths), settings_(settings), registry_(registry), desktop_(&desktop) {}

std::string SandboxShell::StartupFolderPath(bool allUsers) {
    return allUsers ? settings_.commonStartup : settings_.startup;
}

ShortcutLoad SandboxShell::LoadShortcut(std::string_view path) {
    const auto host = paths_.ToHost(path);
    if (!IsHostFile(host)) {
        return {std::nullopt, "the file is not there"};
    }
    ShellLinkContext context;
    const unsigned codePage = SystemAnsiCodePage(registry_);
    context.ansiToUtf8 = [codePage](std::string_view ansi) { return CodePageToUtf8(codePage, ansi); };
    context.knownFolderPath = [this](std::string_view folderId) {
        return SandboxKnownFolderPath(settings_, registry_, folderId);
    };
    // IShellLink::GetPath hands out the target with its %NAME% references expanded.
    return ShortcutFromFile(path, ReadHostFile(*host), std::move(context),
                            [this](const std::string& target) { return settings_.ExpandEnvironmentStrings(target); });
}

bool SandboxShell::SaveShortcut(std::string_view path, const ShortcutInfo& info) {
    const auto host = paths_.ToHostForWriting(path);
    if (!host) {
        return false;
    }
    if (!IsHostDirectory(host->parent_path())) {
        SetLastFailure(FailureCause::NotFound);
        return false;
    }
    if (IsHostDirectory(host) || IsReadOnlyHostFile(*host)) {
        SetLastFailure(IsHostDirectory(host) ? FailureCause::AlreadyThere : FailureCause::AccessDenied);
        return false;
    }
    ShellLinkData link;
    link.targetPath = info.target;
    link.arguments = info.arguments;
    link.description = info.description;
    link.workingDirectory = info.workingDirectory;
    link.iconLocation = info.iconLocation;
    link.iconIndex = info.iconIndex;
    link.showCommand = info.showCommand;
    if (!WriteHostFileAtomically(*host, EncodeShellLink(link))) {
        SetLastFailure(CauseOfErrno(errno));
        return false;
    }
    return true;
}

std::optional<ProgramIcon> SandboxShell::ExtractIcon(std::string_view) {
    return std::nullopt;
}

ProgramIcon SandboxShell::StandardApplicationIcon() {
    // A small window: grey frame, blue title bar, white client area.
    constexpr int size = 32;
    ProgramIcon icon;
    icon.width = size;
    icon.height = size;
    icon.standardApplication = true;
    icon.pixels.assign(size * size, 0x00000000u);
    for (int y = 3; y < 29; ++y) {
        for (int x = 2; x < 30; ++x) {
            const bool frame = y == 3 || y == 28 || x == 2 || x == 29;
            const bool title = y > 3 && y < 9;
            icon.pixels[static_cast<std::size_t>(y * size + x)] =
                frame ? 0xFF5A5A5Au : (title ? 0xFF2F6FD0u : 0xFFFFFFFFu);
        }
    }
    return icon;
}

std::optional<std::string> SandboxShell::LocateProgram(const std::string& program) {
    std::vector<std::string> names{program};
    if (!HasExtension(program)) {
        names.insert(names.begin(), program + ".exe");
    }
    for (const auto& name : names) {
        if (HasPathSeparator(name)) {
            if (IsHostFile(paths_.ToHost(name))) {
                return name;
            }
            continue;
        }
        for (const auto& dir : {settings_.systemDirectory, settings_.windowsDirectory}) {
            const std::string candidate = JoinPath(dir, name);
            if (IsHostFile(paths_.ToHost(candidate))) {
                return candidate;
            }
        }
    }
    return std::nullopt;
}

int SandboxShell::RunCommand(std::string_view commandLine, int) {
    const auto candidates = ProgramCandidates(commandLine);
    if (candidates.empty()) {
        return kWinExecFileNotFound;
    }
    // The host has no Notepad: the file it is given opens in the user's own text viewer instead.
    const std::string& first = candidates.front().program;
    const std::string firstName = first.substr(first.find_last_of("\\/") + 1);
    if ((EqualsIgnoreCase(firstName, "notepad.exe") || EqualsIgnoreCase(firstName, "notepad")) &&
        !IsHostExecutable(paths_.ToHost(LocateProgram(first).value_or(first)))) {
        const auto document = paths_.ToHost(candidates.front().arguments);
        return document && desktop_->Open(document->string()) ? kWinExecStarted : kWinExecFileNotFound;
    }
    for (const auto& candidate : candidates) {
        const auto program = LocateProgram(candidate.program);
        if (!program) {
            continue;
        }
        const auto host = paths_.ToHost(*program);
        switch (SpawnHostProgram(*host, SplitCommandLineWords(candidate.arguments))) {
        case SpawnResult::Started:
            return kWinExecStarted;
        case SpawnResult::NotExecutable:
            return kWinExecBadFormat;
        case SpawnResult::NotFound:
            return kWinExecFileNotFound;
        case SpawnResult::Failed:
            return 0;
        }
    }
    // Tell a missing folder from a missing file by the longest reading of the program's path.
    const std::string& longest = candidates.back().program;
    const auto cut = longest.find_last_of("\\/");
    if (cut != std::string::npos && !IsHostDirectory(paths_.ToHost(longest.substr(0, cut + 1)))) {
        return kWinExecPathNotFound;
    }
    return kWinExecFileNotFound;
}

int SandboxShell::OpenWithVerb(std::string_view verb, std::string_view target) {
    constexpr int kOk = 42, kFileNotFound = 2, kNoAssociation = 31;
    if (!EqualsIgnoreCase(verb, "open") && !EqualsIgnoreCase(verb, "explore")) {
        return kNoAssociation;
    }
    if (LooksLikeUrl(target)) {
        return desktop_->Open(target) ? kOk : kNoAssociation;
    }
    const auto host = paths_.ToHost(target);
    if (!host || (!IsHostFile(host) && !IsHostDirectory(host))) {
        return kFileNotFound;
    }
    return desktop_->Open(host->string()) ? kOk : kNoAssociation;
}

bool SandboxShell::ShowProperties(std::string_view path) {
    const auto host = paths_.ToHost(path);
    if (!host || (!IsHostFile(host) && !IsHostDirectory(host))) {
        return false;
    }
    return desktop_->ShowProperties(path, *host);
}

} // namespace qb::sandbox
