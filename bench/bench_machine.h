#pragma once

// A generated sandbox machine in a temporary directory, with the system and the program database over it,
// shared by the benchmarks. One machine per size lives for the whole run: the library calls a benchmark
// function several times while it settles on an iteration count.

#include "bench/root_generator.h"
#include "knowledge/program_database.h"
#include "platform/sandbox/host_files.h"
#include "platform/sandbox/sandbox_system.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace qb::bench {

inline constexpr std::size_t kBenchProcesses = 500;

class Machine {
public:
    Machine(std::size_t entries, std::size_t systemFiles) {
        std::string pattern = (std::filesystem::temp_directory_path() / "qb-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary directory");
        }
        root_ = pattern;
        generated_ = GenerateRoot(
            root_, {entries, entries / 10, kBenchProcesses, 20000, 10000, 10000, 2000, 7, systemFiles});
        // A real machine's folders were not written a moment ago; the sandbox does not trust its folder
        // indexes for folders changed within the last second, so let the new ones settle first.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        Reopen();
    }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine() {
        database_.reset();
        system_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    // A new system over the same root, as the next start of the tool opens it: nothing parsed or indexed yet.
    // The program database is made again over its files.
    void Reopen() {
        database_.reset();
        system_.reset();
        auto opened = sandbox::SandboxSystem::Open(root_);
        if (auto* error = std::get_if<std::string>(&opened)) {
            throw std::runtime_error(*error);
        }
        system_ = std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened));
        database_ = std::make_unique<ProgramDatabase>(system_->Files());
    }

    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path RegistryFile() const { return root_ / "registry.reg"; }
    const GeneratedRoot& Generated() const { return generated_; }
    sandbox::SandboxSystem& System() { return *system_; }
    PlatformServices Services() { return system_->Services(); }
    ProgramDatabase& Database() { return *database_; }

    // registry.reg now, and put back as it was: benchmarks that change the system start each round from
    // the same file.
    std::string SaveRegistry() const {
        auto bytes = sandbox::ReadHostFile(RegistryFile());
        if (!bytes) {
            throw std::runtime_error("cannot read registry.reg");
        }
        return std::move(*bytes);
    }
    void PutBackRegistry(const std::string& bytes) const {
        if (!sandbox::WriteHostFileAtomically(RegistryFile(), bytes)) {
            throw std::runtime_error("cannot write registry.reg");
        }
    }

private:
    std::filesystem::path root_;
    GeneratedRoot generated_;
    std::unique_ptr<sandbox::SandboxSystem> system_;
    std::unique_ptr<ProgramDatabase> database_;
};

// The machine of that size for the whole run, made on first use.
inline Machine& MachineFor(std::size_t entries, std::size_t systemFiles = 0) {
    static std::map<std::pair<std::size_t, std::size_t>, std::unique_ptr<Machine>> machines;
    auto& machine = machines[{entries, systemFiles}];
    if (!machine) {
        machine = std::make_unique<Machine>(entries, systemFiles);
    }
    return *machine;
}

} // namespace qb::bench
