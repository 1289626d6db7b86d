#pragma once

#include "platform/sandbox/sandbox_system.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>

namespace qb::test {

// A sandbox machine on a temporary root for one test, built up with small calls:
//   SandboxRoot root; root.Settings("Platform=9x").File("C:\\Tools\\a.exe");
// The system is opened on first use, after the settings are written.
class SandboxRoot {
public:
    SandboxRoot() = default;

    // Lines for the [System] section of sandbox.ini.
    SandboxRoot& Settings(const std::string& lines);
    // A file of the simulated drives (folders are created).
    SandboxRoot& File(const std::string& windowsPath, std::string_view content = "MZ");
    SandboxRoot& Folder(const std::string& windowsPath);
    // A registry value; the key is created.
    SandboxRoot& Value(RegistryRoot root, const std::string& key, const std::string& name, const RegistryValue& value);
    SandboxRoot& Value(RegistryRoot root, const std::string& key, const std::string& name, const std::string& text) {
        return Value(root, key, name, RegistryValue::String(text));
    }
    // A shortcut file to a target with its arguments (folders are created).
    SandboxRoot& Shortcut(const std::string& windowsPath, const std::string& target,
                          const std::string& arguments = "");
    // The fixed process table: one (pid, executable, working set, peak) a line.
    SandboxRoot& Processes(const std::string& lines);

    sandbox::SandboxSystem& System();
    PlatformServices Services() { return System().Services(); }
    std::filesystem::path Host(const std::string& windowsPath);
    const std::filesystem::path& Path() const { return dir_.Path(); }

private:
    TempDir dir_;
    std::unique_ptr<sandbox::SandboxSystem> system_;
};

} // namespace qb::test
