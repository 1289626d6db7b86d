#include "win32/win32_backend.h"

#include <algorithm>
#include <atomic>

namespace qb::test {

namespace {
std::string UniqueKeyBase() {
    static std::atomic<int> counter{0};
    return "SOFTWARE\\ContractTests\\Process" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(counter.fetch_add(1));
}
} // namespace

Win32Backend::Win32Backend() : keyBase_(UniqueKeyBase()) {}

Win32Backend::~Win32Backend() {
    for (auto saved = savedEnvironment_.rbegin(); saved != savedEnvironment_.rend(); ++saved) {
        ::SetEnvironmentVariableA(saved->first.c_str(), saved->second ? saved->second->c_str() : nullptr);
    }
    system_.Registry().DeleteKey(RegistryRoot::CurrentUser, keyBase_);
    system_.Registry().DeleteKey(RegistryRoot::LocalMachine, keyBase_);
}

std::string Win32Backend::ScratchFolder() {
    const std::string folder = JoinPath(dir_.Path().string(), "Scratch" + std::to_string(++folders_));
    if (!::CreateDirectoryA(folder.c_str(), nullptr)) {
        throw std::runtime_error("cannot create " + folder);
    }
    return folder;
}

void Win32Backend::SetEnvironment(const std::string& name, const std::string& value) {
    std::optional<std::string> before;
    if (const DWORD size = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0); size > 0) {
        std::string text(size, '\0');
        text.resize(::GetEnvironmentVariableA(name.c_str(), text.data(), size));
        before = std::move(text);
    }
    savedEnvironment_.emplace_back(name, std::move(before));
    if (!::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str())) {
        throw std::runtime_error("cannot set the variable " + name);
    }
}

std::string Win32Backend::ScratchKey() {
    return keyBase_ + "\\Key" + std::to_string(++keys_);
}

std::string Win32Backend::DataFile(const std::string& dataRelativePath) {
    std::string path = std::string(QB_TEST_DATA_DIR) + "\\" + dataRelativePath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string Win32Backend::PlaceFixture(const std::string& dataRelativePath, const std::string& folder) {
    const std::string source = DataFile(dataRelativePath);
    const std::string path = JoinPath(folder, source.substr(source.find_last_of('\\') + 1));
    if (!::CopyFileA(source.c_str(), path.c_str(), TRUE)) {
        throw std::runtime_error("cannot copy " + source);
    }
    return path;
}

bool Win32Backend::MakeReadOnly(const std::string& path) {
    if (!::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    // Windows refuses to open a read-only file for writing, whoever asks. Wine keeps the attribute as the
    // Unix permission bits, which root passes: then the file is not really read-only here.
    const win32::FileHandle probe(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return !probe;
}

std::shared_ptr<void> Win32Backend::HoldOpen(const std::string& path) {
    HANDLE handle =
        ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::shared_ptr<void>(handle, [](void* held) { ::CloseHandle(held); });
}

} // namespace qb::test
