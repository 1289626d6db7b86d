#include "platform/file_system.h"
#include "platform/sandbox/embedded_files.h"
#include "platform/sandbox/host_files.h"
#include "platform/sandbox/sandbox_system.h"

#include <unistd.h>

namespace qb::sandbox {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDemoPrefix = "demo/";
// The demo's shortcuts are made by the sandbox's own shell, one a line: link path, target, arguments,
// description, tab-separated.
constexpr std::string_view kShortcutList = "demo/shortcuts.tsv";

std::vector<std::string> SplitTabs(std::string_view line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        out.emplace_back(
            line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) {
            return out;
        }
        start = tab + 1;
    }
}

bool WriteSeedFile(const fs::path& path, std::string_view bytes, bool executable) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (!WriteHostFileAtomically(path, bytes)) {
        return false;
    }
    if (executable) {
        fs::permissions(path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, ec);
    }
    return !ec;
}

bool MakeShortcuts(const fs::path& root, const SandboxSettings& settings, std::string_view list,
                   std::string& error) {
    PathMap paths(root);
    XdgDesktopHandoff unused;
    SandboxRegistry registry(root / "registry.reg", settings.administrator, settings.x64);
    SandboxShell shell(paths, settings, registry, unused);
    std::size_t start = 0;
    while (start < list.size()) {
        const auto end = list.find('\n', start);
        std::string_view line =
            list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? list.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto fields = SplitTabs(line);
        if (fields.size() != 4) {
            error = "Bad line in the demo's shortcut list: " + std::string(line);
            return false;
        }
        const auto host = paths.ToHost(fields[0]);
        std::error_code ec;
        if (host) {
            fs::create_directories(host->parent_path(), ec);
        }
        ShortcutInfo link;
        link.target = fields[1];
        link.arguments = fields[2];
        link.description = fields[3];
        if (!host || ec || !shell.SaveShortcut(fields[0], link)) {
            error = "Cannot create the demo shortcut " + fields[0];
            return false;
        }
    }
    return true;
}

bool FillRoot(const fs::path& root, std::string& error) {
    for (const auto& file : ShippedDataFiles()) {
        if (file.path.starts_with(kDemoPrefix) && file.path != kShortcutList) {
            if (!WriteSeedFile(root / std::string(file.path.substr(kDemoPrefix.size())), file.bytes,
                               file.executable)) {
                error = "Cannot write " + std::string(file.path) + " into " + root.string();
                return false;
            }
        }
    }
    // The settings the demo brings decide where the tool and the startup folders are.
    const SandboxSettings settings = SandboxSettings::Load(root);
    const PathMap paths(root);
    const auto toolDir = paths.ToHost(settings.toolDirectory);
    if (!toolDir) {
        error = "The demo's tool directory is not a drive path: " + settings.toolDirectory;
        return false;
    }
    for (const auto& file : ShippedDataFiles()) {
        if (!file.path.starts_with(kDemoPrefix) && file.path.find('/') == std::string_view::npos &&
            file.path != "README.md") {
            if (!WriteSeedFile(*toolDir / std::string(file.path), file.bytes, file.executable)) {
                error = "Cannot write " + std::string(file.path) + " into the tool's directory";
                return false;
            }
        }
    }
    std::error_code ec;
    for (const auto& folder : {JoinPath(settings.toolDirectory, "ShortCutAllUser"),
                               JoinPath(settings.toolDirectory, "ShortCutCurrUser"), settings.commonStartup,
                               settings.startup, settings.systemDirectory}) {
        if (const auto host = PathMap(root).ToHost(folder)) {
            fs::create_directories(*host, ec);
        }
    }
    for (const auto& file : ShippedDataFiles()) {
        if (file.path == kShortcutList) {
            return MakeShortcuts(root, settings, file.bytes, error);
        }
    }
    return true;
}

} // namespace

bool SeedDemoSystem(const fs::path& root, std::string& error) {
    std::error_code ec;
    if (fs::exists(root, ec)) {
        error = "The system root " + root.string() + " exists already.";
        return false;
    }
    const fs::path target = fs::absolute(root, ec);
    fs::create_directories(target.parent_path(), ec);
    // Built beside the root and renamed into place, so that a root either is whole or does not exist.
    const fs::path staging =
        target.parent_path() / ("." + target.filename().string() + ".seeding-" + std::to_string(::getpid()));
    fs::remove_all(staging, ec);
    if (!fs::create_directory(staging, ec)) {
        error = "Cannot create the system root " + root.string() + ": " + ec.message();
        return false;
    }
    if (!FillRoot(staging, error)) {
        fs::remove_all(staging, ec);
        return false;
    }
    fs::rename(staging, target, ec);
    if (ec) {
        fs::remove_all(staging, ec);
        // Another process may have seeded the same root meanwhile; that root is as good as ours.
        if (fs::is_directory(target)) {
            return true;
        }
        error = "Cannot create the system root " + root.string();
        return false;
    }
    return true;
}

} // namespace qb::sandbox
