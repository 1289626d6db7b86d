#include "platform/sandbox/desktop_handoff.h"

#include "platform/sandbox/host_process.h"

namespace qb::sandbox {

namespace {
std::filesystem::path FindOnPath(const char* program) {
    for (const char* dir : {"/usr/local/bin", "/usr/bin", "/bin"}) {
        std::filesystem::path candidate = std::filesystem::path(dir) / program;
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec)) {
            return candidate;
        }
    }
    return {};
}
} // namespace

bool XdgDesktopHandoff::Open(std::string_view hostPathOrUrl) {
    const auto opener = FindOnPath("xdg-open");
    return !opener.empty() && SpawnHostProgram(opener, {std::string(hostPathOrUrl)}) == SpawnResult::Started;
}

bool XdgDesktopHandoff::ShowProperties(std::string_view, const std::filesystem::path& hostPath) {
    // The nearest thing the desktop offers: the folder that holds the file.
    return Open(hostPath.parent_path().string());
}

} // namespace qb::sandbox
