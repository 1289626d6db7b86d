#include "hardening/hardening_support.h"

#include "cli/cli_app.h"
#include "support/temp_dir.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qb::test {

namespace fs = std::filesystem;

std::string CliProgram() {
    return QB_CLI_PROGRAM;
}

CliResult RunCliHere(std::vector<std::string> args) {
    args.insert(args.begin(), "quillbrook-cli");
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    std::ostringstream out, err;
    const int status = cli::Run(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

pid_t StartCli(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<std::string> words{CliProgram()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

std::optional<int> WaitForChild(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

Watchdog::Watchdog(std::chrono::seconds bound, std::string what) : what_(std::move(what)) {
#ifdef QB_SLOWED_BY_SANITIZERS
    // Sanitized programs, started hundreds of times beside other tests, run several times slower; the
    // bound is there to catch a hang, not to time anything.
    const std::chrono::seconds limit = 4 * bound;
#else
    const std::chrono::seconds limit = bound;
#endif
    thread_ = std::thread([this, limit] {
        std::unique_lock lock(mutex_);
        if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
            std::fprintf(stderr, "Watchdog: still running after %lld s: %s\n",
                         static_cast<long long>(limit.count()), what_.c_str());
            std::fflush(stderr);
            std::_Exit(3);
        }
    });
}

Watchdog::~Watchdog() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    done_.notify_all();
    thread_.join();
}

void Watchdog::Doing(std::string what) {
    std::lock_guard lock(mutex_);
    what_ = std::move(what);
}

std::map<std::string, std::string> SnapshotFiles(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), dir).generic_string()] = ReadText(entry.path());
        }
    }
    return files;
}

std::vector<std::string> ChangedFiles(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after) {
    std::vector<std::string> changed;
    for (const auto& [path, content] : after) {
        const auto it = before.find(path);
        if (it == before.end() || it->second != content) {
            changed.push_back(path);
        }
    }
    for (const auto& [path, content] : before) {
        if (!after.contains(path)) {
            changed.push_back(path);
        }
    }
    return changed;
}

} // namespace qb::test
