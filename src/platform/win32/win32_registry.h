#pragma once

#include "platform/registry.h"

namespace qb::win32 {

// The Windows registry through the ANSI registry functions. Paths are trimmed of leading and trailing
// backslashes. Keys opened for writing have read, write and delete access (KEY_READ | KEY_WRITE | DELETE),
// so a user without the rights to change a key (HKEY_LOCAL_MACHINE for a standard user) cannot open it
// for writing at all.
class Win32Registry : public Registry {
public:
    using Registry::DeleteKey;
    using Registry::OpenForReading;
    using Registry::OpenForWriting;
    // The 32-bit view is reached with KEY_WOW64_32KEY; keys opened so stay in that view for their subkeys.
    std::unique_ptr<RegistryKey> OpenForReading(RegistryRoot root, std::string_view path,
                                                RegistryView view) override;
    std::unique_ptr<RegistryKey> OpenForWriting(RegistryRoot root, std::string_view path, bool createIfMissing,
                                                RegistryView view) override;
    // The key, its values and every subkey: RegDeleteTree empties it, RegDeleteKeyEx (which, unlike
    // RegDeleteKey, reaches the other view) removes it.
    bool DeleteKey(RegistryRoot root, std::string_view path, RegistryView view) override;
};

} // namespace qb::win32
