#include "support/process_guard.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qb::test {

namespace fs = std::filesystem;

namespace {

bool IsUnder(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool IsUnderAny(const std::string& path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& f) { return IsUnder(path, f); });
}

// The words of a process's command line, or the target of its exe link, name a file under the folder.
bool RunsFrom(const fs::path& procEntry, const std::vector<std::string>& folders) {
    std::error_code error;
    const fs::path exe = fs::read_symlink(procEntry / "exe", error);
    if (!error && IsUnderAny(exe.string(), folders)) {
        return true;
    }
    std::ifstream in(procEntry / "cmdline", std::ios::binary);
    const std::string words{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (std::size_t start = 0; start < words.size();) {
        const std::size_t end = std::min(words.find('\0', start), words.size());
        if (IsUnderAny(words.substr(start, end - start), folders)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace

ProcessGuard::~ProcessGuard() {
    if (pid_ <= 0) {
        return;
    }
    // Only a child that waitpid still knows as running is ours to kill.
    if (::waitpid(pid_, nullptr, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

int FolderProcessGuard::EndAll() const {
    // The folder as the test named it and as the kernel resolves it: a started program may carry either.
    std::error_code error;
    std::vector<std::string> folders{folder_.lexically_normal().string()};
    const fs::path canonical = fs::weakly_canonical(folder_, error);
    if (!error) {
        folders.push_back(canonical.string());
    }
    for (auto& folder : folders) {
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        if (folder.size() <= 1) {
            return 0; // never every process of the machine
        }
    }
    const pid_t self = ::getpid();
    int ended = 0;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (pid != self && RunsFrom(entry.path(), folders) && ::kill(pid, SIGKILL) == 0) {
            ++ended;
        }
    }
    return ended;
}

} // namespace qb::test
