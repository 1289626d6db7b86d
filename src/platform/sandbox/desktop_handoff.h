#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qb::sandbox {

// Where the sandbox sends what Windows would open on the desktop: documents, folders and URLs, and the
// file properties sheet. The GUI hands over to the desktop, the CLI prints, tests record.
class DesktopHandoff {
public:
    virtual ~DesktopHandoff() = default;
    // A host path or a URL; false when nothing could open it.
    virtual bool Open(std::string_view hostPathOrUrl) = 0;
    virtual bool ShowProperties(std::string_view windowsPath, const std::filesystem::path& hostPath) = 0;
};

// Opens through xdg-open; has no properties sheet of its own.
class XdgDesktopHandoff : public DesktopHandoff {
public:
    bool Open(std::string_view hostPathOrUrl) override;
    bool ShowProperties(std::string_view windowsPath, const std::filesystem::path& hostPath) override;
};

} // namespace qb::sandbox
