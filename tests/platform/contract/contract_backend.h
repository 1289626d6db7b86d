#pragma once

#include "platform/file_system.h"
#include "platform/profile_files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system_info.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>

namespace qb::test {

// What the shared platform tests need of a backend. Every backend runs the same suite; what differs
// between them (the order values enumerate in, the 8.3 form of paths) is tested per backend.
class ContractBackend {
public:
    virtual ~ContractBackend() = default;

    virtual Registry& Reg() = 0;
    virtual ProfileFiles& Profiles() = 0;
    virtual FileSystem& Files() = 0;
    virtual Shell& ShellService() = 0;
    virtual SystemInfo& SystemService() = 0;

    // A fresh, empty folder (a Windows path) for one test's files.
    virtual std::string ScratchFolder() = 0;
    // A fresh key path under HKEY_CURRENT_USER (and the same path under HKEY_LOCAL_MACHINE) for one test.
    virtual std::string ScratchKey() = 0;
    // Copies a file of tests/data into the backend's file system and gives its Windows path.
    virtual std::string PlaceFixture(const std::string& dataRelativePath, const std::string& folder) = 0;
    // Sets the read-only attribute of a file; false when the system would still let this process write it
    // (Wine maps the attribute to Unix permissions, which do not hold back root).
    virtual bool MakeReadOnly(const std::string& path) = 0;
    // Sets a variable of the environment that references expand in, for this test only; "" unsets it.
    // Services taken from the backend before may not be used after it.
    virtual void SetEnvironment(const std::string& name, const std::string& value) = 0;
    // The same registry as a standard user sees it, or nullptr where the backend cannot simulate one.
    virtual std::unique_ptr<Registry> StandardUserRegistry() { return nullptr; }
    // Keeps a file open as another program would, sharing nothing, while the result lives; nullptr where
    // the backend knows no open files.
    virtual std::shared_ptr<void> HoldOpen(const std::string& /*path*/) { return nullptr; }
};

struct BackendFactory {
    std::string name;
    std::function<std::unique_ptr<ContractBackend>()> make;
};

// Test listings (and so CTest's test names) show the backend's name rather than the factory's bytes.
inline void PrintTo(const BackendFactory& factory, std::ostream* out) {
    *out << factory.name;
}

inline std::string BackendName(const ::testing::TestParamInfo<BackendFactory>& info) {
    return info.param.name;
}

class ContractTest : public ::testing::TestWithParam<BackendFactory> {
protected:
    void SetUp() override { backend = GetParam().make(); }
    std::unique_ptr<ContractBackend> backend;
};

// One suite per service, so that a backend instantiates each for itself.
class RegistryContract : public ContractTest {};
class ProfileContract : public ContractTest {};
class FilesContract : public ContractTest {};
class ShellContract : public ContractTest {};
class SystemContract : public ContractTest {};

// Runs f and gives the message of the platform error it threw, or "" when it threw none.
std::string PlatformErrorOf(const std::function<void()>& f);

} // namespace qb::test

// Makes every contract suite run against one backend factory.
#define QB_INSTANTIATE_PLATFORM_CONTRACT(prefix, factory)                                                    \
    INSTANTIATE_TEST_SUITE_P(prefix, RegistryContract, ::testing::Values(factory), ::qb::test::BackendName); \
    INSTANTIATE_TEST_SUITE_P(prefix, ProfileContract, ::testing::Values(factory), ::qb::test::BackendName);  \
    INSTANTIATE_TEST_SUITE_P(prefix, FilesContract, ::testing::Values(factory), ::qb::test::BackendName);    \
    INSTANTIATE_TEST_SUITE_P(prefix, ShellContract, ::testing::Values(factory), ::qb::test::BackendName);    \
    INSTANTIATE_TEST_SUITE_P(prefix, SystemContract, ::testing::Values(factory), ::qb::test::BackendName)
