#pragma once

#include <string>

namespace qb {

enum class PlatformFamily { Windows9x, NT };

struct OsVersion {
    PlatformFamily family = PlatformFamily::NT;
    int majorVersion = 10;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual OsVersion Version() = 0;
    // Without a trailing backslash.
    virtual std::string SystemDirectory() = 0;
    virtual std::string WindowsDirectory() = 0;
};

} // namespace qb
