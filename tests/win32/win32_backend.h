#pragma once

#include "platform/contract/contract_backend.h"
#include "platform/win32/win32_system.h"
#include "support/temp_dir.h"

#include <optional>
#include <utility>
#include <vector>

namespace qb::test {

// The real system as a contract backend: scratch folders in a temporary folder, scratch keys under
// SOFTWARE\ContractTests of both hives, all removed again afterwards.
class Win32Backend : public ContractBackend {
public:
    Win32Backend();
    ~Win32Backend() override;

    Registry& Reg() override { return system_.Registry(); }
    ProfileFiles& Profiles() override { return system_.Profiles(); }
    FileSystem& Files() override { return system_.Files(); }
    Shell& ShellService() override { return system_.Shell(); }
    SystemInfo& SystemService() override { return system_.System(); }

    std::string ScratchFolder() override;
    std::string ScratchKey() override;
    std::string PlaceFixture(const std::string& dataRelativePath, const std::string& folder) override;
    bool MakeReadOnly(const std::string& path) override;
    std::shared_ptr<void> HoldOpen(const std::string& path) override;
    // In this process's environment; the variable's earlier value comes back when the backend goes.
    void SetEnvironment(const std::string& name, const std::string& value) override;
    // Wine runs every program with the rights of an administrator and has no standard user to become.
    std::unique_ptr<Registry> StandardUserRegistry() override { return nullptr; }

    win32::Win32System& System() { return system_; }
    // The Windows path of a file of tests/data ("lnk/plain.lnk").
    static std::string DataFile(const std::string& dataRelativePath);

private:
    TempDir dir_;
    win32::Win32System system_;
    std::string keyBase_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
    int folders_ = 0;
    int keys_ = 0;
};

} // namespace qb::test
