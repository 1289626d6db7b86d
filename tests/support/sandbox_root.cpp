#include "support/sandbox_root.h"

#include "platform/shell_link.h"

#include <stdexcept>

namespace qb::test {

SandboxRoot& SandboxRoot::Settings(const std::string& lines) {
    if (system_) {
        throw std::logic_error("settings must come before the system is opened");
    }
    WriteText(dir_.Path() / "sandbox.ini", "[System]\r\n" + lines + "\r\n");
    return *this;
}

SandboxRoot& SandboxRoot::File(const std::string& windowsPath, std::string_view content) {
    WriteText(Host(windowsPath), content);
    return *this;
}

SandboxRoot& SandboxRoot::Folder(const std::string& windowsPath) {
    std::filesystem::create_directories(Host(windowsPath));
    return *this;
}

SandboxRoot& SandboxRoot::Value(RegistryRoot root, const std::string& key, const std::string& name,
                                const RegistryValue& value) {
    // Written with administrator rights, whatever the root's user may do.
    sandbox::SandboxRegistry registry(dir_.Path() / "registry.reg", true);
    auto opened = registry.OpenForWriting(root, key, true);
    if (!opened) {
        throw std::runtime_error("cannot create the key " + key);
    }
    opened->WriteValue(name, value);
    return *this;
}

SandboxRoot& SandboxRoot::Shortcut(const std::string& windowsPath, const std::string& target,
                                   const std::string& arguments) {
    std::filesystem::create_directories(Host(windowsPath).parent_path());
    // Written as the machine's own file, whatever the rights of the user the root simulates.
    ShellLinkData link;
    link.targetPath = target;
    link.arguments = arguments;
    WriteText(Host(windowsPath), EncodeShellLink(link));
    return *this;
}

SandboxRoot& SandboxRoot::Processes(const std::string& lines) {
    WriteText(dir_.Path() / "processes.txt", lines);
    return *this;
}

sandbox::SandboxSystem& SandboxRoot::System() {
    if (!system_) {
        auto opened = sandbox::SandboxSystem::Open(dir_.Path());
        if (auto* error = std::get_if<std::string>(&opened)) {
            throw std::runtime_error(*error);
        }
        system_ = std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened));
    }
    return *system_;
}

std::filesystem::path SandboxRoot::Host(const std::string& windowsPath) {
    const auto host = sandbox::PathMap(dir_.Path()).ToHost(windowsPath);
    if (!host) {
        throw std::invalid_argument("not a drive path: " + windowsPath);
    }
    return *host;
}

} // namespace qb::test
