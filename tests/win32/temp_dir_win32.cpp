// TempDir and the small file helpers of the test support library, for Windows: made with the Windows
// API, as the POSIX original uses mkdtemp.
#include "platform/win32/win32_api.h"
#include "support/temp_dir.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qb::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    char base[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH) {
        throw std::runtime_error("no temporary folder");
    }
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const std::string candidate = std::string(base) + "quillbrook-test-" +
                                      std::to_string(::GetCurrentProcessId()) + "-" +
                                      std::to_string(::GetTickCount()) + "-" + std::to_string(attempt);
        if (::CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make files read-only, which Windows will not delete: clear the attribute first.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(path_, ec);
}

void WriteText(const fs::path& path, std::string_view content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

} // namespace qb::test
