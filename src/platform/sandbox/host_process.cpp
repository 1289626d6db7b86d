#include "platform/sandbox/host_process.h"

#include "platform/sandbox/host_files.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qb::sandbox {

namespace fs = std::filesystem;

namespace {

std::optional<std::uint32_t> ParsePid(const std::string& name) {
    std::uint32_t pid = 0;
    const auto result = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (result.ec != std::errc() || result.ptr != name.data() + name.size()) {
        return std::nullopt;
    }
    return pid;
}

// "VmRSS:	    1234 kB" -> 1234 * 1024
std::optional<std::uint64_t> StatusField(const std::string& status, std::string_view field) {
    const auto at = status.find(std::string(field) + ":");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::size_t i = at + field.size() + 1;
    while (i < status.size() && (status[i] == ' ' || status[i] == '\t')) {
        ++i;
    }
    std::uint64_t kb = 0;
    const auto result = std::from_chars(status.data() + i, status.data() + status.size(), kb);
    if (result.ec != std::errc()) {
        return std::nullopt;
    }
    return kb * 1024;
}

int PidFdOpen(std::uint32_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// A host process held by a pidfd, so that a recycled pid can never make us signal another program.
class HostRunningProcess : public RunningProcess {
public:
    HostRunningProcess(std::uint32_t pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}
    ~HostRunningProcess() override {
        if (pidfd_ >= 0) {
            ::close(pidfd_);
        }
    }

    std::uint32_t Pid() const override { return pid_; }

    // The polite request to close, as a window's close box would make.
    void RequestClose() override { Signal(SIGTERM); }

    WaitResult WaitForExit(std::chrono::milliseconds timeout) override {
        if (pidfd_ < 0) {
            return WaitResult::Failed;
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{pidfd_, POLLIN, 0};
            const int ready = ::poll(&entry, 1, static_cast<int>(std::max<std::int64_t>(0, left.count())));
            if (ready > 0) {
                // A child of ours would stay a zombie until reaped.
                ::waitpid(static_cast<pid_t>(pid_), nullptr, WNOHANG);
                return WaitResult::Ended;
            }
            if (ready == 0) {
                return WaitResult::TimedOut;
            }
            if (errno != EINTR) {
                return WaitResult::Failed;
            }
        }
    }

    bool Terminate(std::uint32_t) override { return Signal(SIGKILL); }

private:
    bool Signal(int signal) {
#ifdef SYS_pidfd_send_signal
        if (pidfd_ >= 0) {
            return ::syscall(SYS_pidfd_send_signal, pidfd_, signal, nullptr, 0) == 0;
        }
#endif
        return false;
    }

    std::uint32_t pid_;
    int pidfd_;
};

} // namespace

std::optional<std::vector<ProcessEntry>> ListHostProcesses() {
    std::vector<ProcessEntry> out;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const auto pid = ParsePid(it->path().filename().string());
        if (!pid) {
            continue;
        }
        // "pid (comm) state ...": the name may hold blanks and parentheses, so it ends at the last ')'.
        const auto stat = ReadHostFile(it->path() / "stat");
        if (!stat) {
            continue; // ended meanwhile
        }
        const auto open = stat->find('(');
        const auto close = stat->rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open || close + 2 >= stat->size()) {
            continue;
        }
        // A zombie has ended; only its exit status is left for a parent that may never collect it.
        if ((*stat)[close + 2] == 'Z' || (*stat)[close + 2] == 'X') {
            continue;
        }
        out.push_back({*pid, stat->substr(open + 1, close - open - 1)});
    }
    if (ec && out.empty()) {
        return std::nullopt;
    }
    return out;
}

std::optional<MemoryCounters> ReadHostProcessMemory(std::uint32_t pid) {
    const auto status = ReadHostFile(fs::path("/proc") / std::to_string(pid) / "status");
    if (!status) {
        return std::nullopt;
    }
    const auto rss = StatusField(*status, "VmRSS");
    const auto peak = StatusField(*status, "VmHWM");
    if (!rss) {
        return std::nullopt; // kernel threads have no memory of their own
    }
    return MemoryCounters{*rss, peak.value_or(*rss)};
}

std::unique_ptr<RunningProcess> OpenHostProcess(std::uint32_t pid) {
    if (pid == 0) {
        return nullptr;
    }
    const int fd = PidFdOpen(pid);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<HostRunningProcess>(pid, fd);
}

SpawnResult SpawnHostProgram(const fs::path& program, const std::vector<std::string>& arguments) {
    if (::access(program.c_str(), F_OK) != 0) {
        return SpawnResult::NotFound;
    }
    if (::access(program.c_str(), X_OK) != 0 || fs::is_directory(program)) {
        return SpawnResult::NotExecutable;
    }
    std::vector<std::string> argvText{program.string()};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argvText) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    // The grandchild reports exec's errno through a close-on-exec pipe: EOF means exec succeeded.
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        return SpawnResult::Failed;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(status[0]);
        ::close(status[1]);
        return SpawnResult::Failed;
    }
    if (child == 0) {
        ::close(status[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            ::_exit(grandchild < 0 ? 1 : 0);
        }
        const int devNull = ::open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            ::dup2(devNull, 0);
            ::dup2(devNull, 1);
            ::dup2(devNull, 2);
        }
        ::execv(argv[0], argv.data());
        const int error = errno;
        [[maybe_unused]] const auto written = ::write(status[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(status[1]);
    int childStatus = 0;
    while (::waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(status[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(status[0]);
    if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) {
        return SpawnResult::Failed;
    }
    if (got == static_cast<ssize_t>(sizeof error)) {
        return error == ENOEXEC || error == EACCES ? SpawnResult::NotExecutable : SpawnResult::Failed;
    }
    return SpawnResult::Started;
}

} // namespace qb::sandbox
