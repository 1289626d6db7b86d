#pragma once

#include "platform/registry.h"

namespace qb::win32 {

// The Windows registry through the ANSI registry functions. Paths are trimmed of leading and trailing
// backslashes. Keys opened for writing have read, write and delete access (KEY_READ | KEY_WRITE | DELETE),
// so a user without the rights to change a key (HKEY_LOCAL_MACHINE for a standard user) cannot open it
// for writing at all.
class Win32Registry : public Registry {
public:
    std::unique_ptr<RegistryKey> OpenForReading(RegistryRoot root, std::string_view path) override;
    std::unique_ptr<RegistryKey> OpenForWriting(RegistryRoot root, std::string_view path,
                                                bool createIfMissing) override;
    // RegDeleteTree: the key, its values and every subkey.
    bool DeleteKey(RegistryRoot root, std::string_view path) override;
};

} // namespace qb::win32
