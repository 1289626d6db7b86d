#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qb::test {

// A fresh directory under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes a host file, creating its folders.
void WriteText(const std::filesystem::path& path, std::string_view content);
std::string ReadText(const std::filesystem::path& path);

} // namespace qb::test
