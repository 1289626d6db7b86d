#include "platform/contract/contract_backend.h"
#include "platform/profile_text.h"
#include "platform/sandbox/host_files.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/temp_dir.h"

#include <sys/stat.h>

namespace qb::test {

namespace {

// A sandbox on an empty temporary root: an empty registry and default settings.
class SandboxBackend : public ContractBackend {
public:
    SandboxBackend() { Reopen(); }

    Registry& Reg() override { return system_->Registry(); }
    ProfileFiles& Profiles() override { return system_->Profiles(); }
    FileSystem& Files() override { return system_->Files(); }
    Shell& ShellService() override { return system_->Shell(); }
    SystemInfo& SystemService() override { return system_->Services().system; }

    std::string ScratchFolder() override {
        const std::string folder = "C:\\Scratch" + std::to_string(++folders_);
        std::filesystem::create_directories(*system_->Paths().ToHost(folder));
        return folder;
    }

    std::string ScratchKey() override { return "SOFTWARE\\ContractTests\\Key" + std::to_string(++keys_); }

    std::string PlaceFixture(const std::string& dataRelativePath, const std::string& folder) override {
        const std::filesystem::path source = std::filesystem::path(QB_TEST_DATA_DIR) / dataRelativePath;
        const std::string path = JoinPath(folder, source.filename().string());
        std::filesystem::copy_file(source, *system_->Paths().ToHost(path));
        return path;
    }

    // The sandbox reads the permission bits itself, so the file is read-only for root too.
    bool MakeReadOnly(const std::string& path) override {
        const auto host = system_->Paths().ToHost(path);
        return ::chmod(host->c_str(), 0444) == 0;
    }

    // A key of section [Environment] in sandbox.ini, read when the system opens again.
    void SetEnvironment(const std::string& name, const std::string& value) override {
        const auto file = dir_.Path() / sandbox::kSettingsFile;
        const std::string content = sandbox::ReadHostFile(file).value_or("");
        sandbox::WriteHostFileAtomically(file, ProfileUpdate(content, "Environment", name, value));
        Reopen();
    }

    std::unique_ptr<Registry> StandardUserRegistry() override {
        return std::make_unique<sandbox::SandboxRegistry>(system_->Registry().File(), false);
    }

private:
    void Reopen() {
        auto opened = sandbox::SandboxSystem::Open(dir_.Path());
        if (auto* error = std::get_if<std::string>(&opened)) {
            throw std::runtime_error(*error);
        }
        system_ = std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened));
    }

    TempDir dir_;
    std::unique_ptr<sandbox::SandboxSystem> system_;
    int folders_ = 0;
    int keys_ = 0;
};

} // namespace

QB_INSTANTIATE_PLATFORM_CONTRACT(Sandbox, (BackendFactory{
                                              "Sandbox", [] { return std::make_unique<SandboxBackend>(); }}));

} // namespace qb::test
