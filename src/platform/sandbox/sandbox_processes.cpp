#include "platform/sandbox/sandbox_processes.h"

#include "platform/sandbox/host_files.h"
#include "platform/sandbox/host_process.h"

#include <charconv>
#include <sys/stat.h>
#include <thread>

namespace qb::sandbox {

namespace fs = std::filesystem;

namespace {

template <typename T> std::optional<T> Number(std::string_view text) {
    T value{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

// A process of the fixed table. It "ends" when its line leaves the table; ending it removes the line.
class TableRunningProcess : public RunningProcess {
public:
    TableRunningProcess(fs::path table, std::uint32_t pid) : table_(std::move(table)), pid_(pid) {}

    std::uint32_t Pid() const override { return pid_; }
    void RequestClose() override {} // table processes have no windows to ask

    WaitResult WaitForExit(std::chrono::milliseconds timeout) override {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (!StillListed()) {
                return WaitResult::Ended;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return WaitResult::TimedOut;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    bool Terminate(std::uint32_t) override {
        auto lock = HostFileLock::Acquire(table_.string() + ".lock");
        const auto content = ReadHostFile(table_);
        if (!lock || !content) {
            return false;
        }
        auto processes = ParseProcessTable(*content);
        std::erase_if(processes, [&](const TableProcess& p) { return p.pid == pid_; });
        return WriteHostFileAtomically(table_, FormatProcessTable(processes));
    }

private:
    bool StillListed() const {
        const auto content = ReadHostFile(table_);
        if (!content) {
            return false;
        }
        for (const auto& process : ParseProcessTable(*content)) {
            if (process.pid == pid_) {
                return true;
            }
        }
        return false;
    }

    fs::path table_;
    std::uint32_t pid_;
};

} // namespace

std::vector<TableProcess> ParseProcessTable(std::string_view content) {
    std::vector<TableProcess> out;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        std::string_view line =
            content.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? content.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const auto fields = SplitTabs(line);
        if (fields.size() != 4 || fields[1].empty()) {
            continue;
        }
        const auto pid = Number<std::uint32_t>(fields[0]);
        const auto workingSet = Number<std::uint64_t>(fields[2]);
        const auto peak = Number<std::uint64_t>(fields[3]);
        if (pid && workingSet && peak) {
            out.push_back({*pid, std::string(fields[1]), *workingSet, *peak});
        }
    }
    return out;
}

std::string FormatProcessTable(const std::vector<TableProcess>& processes) {
    std::string out;
    for (const auto& p : processes) {
        out += std::to_string(p.pid) + "\t" + p.executable + "\t" + std::to_string(p.workingSet) + "\t" +
               std::to_string(p.peakWorkingSet) + "\n";
    }
    return out;
}

SandboxProcesses::SandboxProcesses(fs::path root) : table_(std::move(root) / "processes.txt") {}

const std::vector<TableProcess>* SandboxProcesses::Table() {
    if (!freshness_.Due()) {
        return hasTable_ ? &parsed_ : nullptr; // checked already in this load
    }
    struct stat info {};
    if (::stat(table_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        hasTable_ = false;
        parsed_.clear();
        parsedStamp_.reset();
        return nullptr;
    }
    hasTable_ = true;
    const std::int64_t modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    const FileStamp stamp{static_cast<std::uint64_t>(info.st_size), modified, static_cast<std::uint64_t>(info.st_ino)};
    // A file changed within the last second may change again unseen by a coarse clock: read it again.
    const bool settled = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                                 .count() -
                             modified >
                         1'000'000'000;
    if (parsedStamp_ && *parsedStamp_ == stamp && settled) {
        return &parsed_;
    }
    const auto content = ReadHostFile(table_);
    parsed_ = content ? ParseProcessTable(*content) : std::vector<TableProcess>{};
    parsedStamp_ = stamp;
    return &parsed_;
}

std::optional<std::vector<ProcessEntry>> SandboxProcesses::List() {
    const auto* table = Table();
    if (!table) {
        return ListHostProcesses();
    }
    std::vector<ProcessEntry> out;
    for (const auto& p : *table) {
        out.push_back({p.pid, p.executable});
    }
    return out;
}

std::optional<MemoryCounters> SandboxProcesses::ReadMemory(std::uint32_t pid) {
    const auto* table = Table();
    if (!table) {
        return ReadHostProcessMemory(pid);
    }
    for (const auto& p : *table) {
        if (p.pid == pid) {
            return MemoryCounters{p.workingSet, p.peakWorkingSet};
        }
    }
    return std::nullopt;
}

std::unique_ptr<RunningProcess> SandboxProcesses::Open(std::uint32_t pid) {
    const auto* table = Table();
    if (!table) {
        return OpenHostProcess(pid);
    }
    for (const auto& p : *table) {
        if (p.pid == pid) {
            return std::make_unique<TableRunningProcess>(table_, pid);
        }
    }
    return nullptr;
}

} // namespace qb::sandbox
