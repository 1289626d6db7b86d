#pragma once

#include <string>
#include <string_view>

namespace qb {

enum class PlatformFamily { Windows9x, NT };

struct OsVersion {
    PlatformFamily family = PlatformFamily::NT;
    int majorVersion = 10;
    int minorVersion = 0;
    // 64-bit Windows: HKEY_LOCAL_MACHINE's redirected keys have a 32-bit view of their own.
    bool x64 = true;
};

// Windows 8 (NT 6.2) and later keep their own on/off switch for startup entries (StartupApproved).
inline bool HasStartupSwitches(const OsVersion& version) {
    return version.family == PlatformFamily::NT &&
           (version.majorVersion > 6 || (version.majorVersion == 6 && version.minorVersion >= 2));
}

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual OsVersion Version() = 0;
    // Without a trailing backslash.
    virtual std::string SystemDirectory() = 0;
    virtual std::string WindowsDirectory() = 0;
    // ExpandEnvironmentStrings: each %NAME% reference to a variable that is set is replaced by its value
    // (names match without regard to case); a reference to one that is not set, "%%" and a "%" that
    // nothing closes stay as written (ExpandEnvironmentReferences gives the rules). Commands keep their
    // references where they are stored and shown; the expanded text is what finds the file and starts it.
    virtual std::string ExpandEnvironmentStrings(std::string_view text) = 0;
};

} // namespace qb
