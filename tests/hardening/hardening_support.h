#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace qb::test {

// The built quillbrook-cli, for tests that need real, separate processes.
std::string CliProgram();

// What a command of the CLI did, run in this process.
struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};
CliResult RunCliHere(std::vector<std::string> args);

// Starts the CLI program with the arguments; its stdout and stderr go to the log file (emptied first).
pid_t StartCli(const std::vector<std::string>& args, const std::filesystem::path& log);

// Waits for a child to end and returns its exit status (128 + signal when killed); nullopt when it is
// still running after the timeout (it is left running: the caller decides).
std::optional<int> WaitForChild(pid_t pid, std::chrono::milliseconds timeout);

// Ends the whole test program when it outlives its time: a hang shows as a failure that names what was
// running, never as a test that waits forever. Not a timing assertion: the bound is generous.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, std::string what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // What is running now, for the message.
    void Doing(std::string what);

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::string what_;
    std::thread thread_;
};

// Every regular file under a directory (relative path -> content), to see what an action wrote.
std::map<std::string, std::string> SnapshotFiles(const std::filesystem::path& dir);

// Relative paths that were added, removed or changed between two snapshots.
std::vector<std::string> ChangedFiles(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after);

} // namespace qb::test
