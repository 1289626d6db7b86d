#include "platform/win32/win32_registry.h"

#include "platform/platform_error.h"
#include "platform/win32/win32_failure.h"
#include "platform/win32/win32_handles.h"

#include <algorithm>

namespace qb::win32 {

namespace {

constexpr REGSAM kReadAccess = KEY_READ;
constexpr REGSAM kWriteAccess = KEY_READ | KEY_WRITE | DELETE;

REGSAM ViewFlag(RegistryView view) {
    return view == RegistryView::Wow32 ? KEY_WOW64_32KEY : 0;
}

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The ANSI functions take names as C strings: a name holding a NUL cannot be named to them at all.
bool Nameable(std::string_view name) {
    return name.find('\0') == std::string_view::npos;
}

// The registry stores text as UTF-16; the ANSI functions convert it, so a caller cannot know the size in
// UTF-8 beforehand (RegQueryInfoKey counts UTF-16 units). Every enumeration and read therefore starts
// with a guess and grows the buffer for as long as the function answers ERROR_MORE_DATA, which also
// covers a value that another process makes longer between two calls.
constexpr DWORD kUtf8BytesPerUnit = 3;
// Beyond any name the registry allows (16383 units) and any value a key should hold; a function that
// still asks for more is broken, and the read fails rather than grow without end.
constexpr std::size_t kLongestName = 1 << 20;
constexpr std::size_t kLargestValue = std::size_t{1} << 30;

// A key remembers whether it was opened for writing, and refuses changes when not. Windows would refuse
// them for lack of access too, but RegDeleteTree does not check the access of the handle it is given under
// Wine, and the contract must not depend on that.
class Win32Key : public RegistryKey {
public:
    Win32Key(RegistryKeyHandle key, bool writable) : key_(std::move(key)), writable_(writable) {}

    // Values in the order RegEnumValue gives them (stored order on Windows, sorted under Wine).
    std::vector<std::string> ValueNames() override {
        DWORD longest = 0;
        ::RegQueryInfoKeyA(key_.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           &longest, nullptr, nullptr, nullptr);
        return Enumerate(longest, [&](DWORD index, char* buffer, DWORD* size) {
            return ::RegEnumValueA(key_.Get(), index, buffer, size, nullptr, nullptr, nullptr, nullptr);
        });
    }

    // Subkeys come back sorted without regard to case, as the registry keeps them.
    std::vector<std::string> SubkeyNames() override {
        DWORD longest = 0;
        ::RegQueryInfoKeyA(key_.Get(), nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr);
        return Enumerate(longest, [&](DWORD index, char* buffer, DWORD* size) {
            return ::RegEnumKeyExA(key_.Get(), index, buffer, size, nullptr, nullptr, nullptr, nullptr);
        });
    }

    std::optional<RegistryValue> ReadValue(std::string_view name) override {
        if (!Nameable(name)) {
            return std::nullopt;
        }
        const std::string valueName(name);
        std::string data(256, '\0');
        for (;;) {
            DWORD type = REG_NONE;
            DWORD size = static_cast<DWORD>(data.size());
            const LONG result = ::RegQueryValueExA(key_.Get(), valueName.c_str(), nullptr, &type,
                                                   reinterpret_cast<BYTE*>(data.data()), &size);
            if (result == ERROR_MORE_DATA && data.size() < kLargestValue) {
                data.resize(std::max<std::size_t>(size, data.size() * 2));
                continue;
            }
            if (result != ERROR_SUCCESS) {
                return std::nullopt;
            }
            data.resize(std::min<std::size_t>(size, data.size()));
            RegistryValue value{static_cast<ValueType>(type), std::move(data)};
            if (value.IsText()) {
                // Text is what comes before its terminator; a value stored without one is whole.
                value.data.resize(std::min(value.data.find('\0'), value.data.size()));
            }
            return value;
        }
    }

    void WriteValue(std::string_view name, const RegistryValue& value) override {
        // The error thrown carries no cause of its own: the cause is set too, so that a caller that goes on
        // after it reads why, not an earlier call's reason.
        if (!writable_ || !Nameable(name)) {
            Failed(!writable_ ? ERROR_ACCESS_DENIED : ERROR_INVALID_NAME);
            throw PlatformError::SetDataFailed(name);
        }
        std::string data = value.data;
        if (value.IsText()) {
            data.push_back('\0'); // RegSetValueEx stores string data with its terminator
        }
        const std::string valueName(name);
        const BYTE none = 0;
        const LONG result =
            ::RegSetValueExA(key_.Get(), valueName.c_str(), 0, static_cast<DWORD>(value.type),
                             data.empty() ? &none : reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size()));
        if (result != ERROR_SUCCESS) {
            Failed(static_cast<DWORD>(result));
            throw PlatformError::SetDataFailed(name);
        }
    }

    bool DeleteValue(std::string_view name) override {
        if (!writable_) {
            return Failed(ERROR_ACCESS_DENIED);
        }
        if (!Nameable(name)) {
            return Failed(ERROR_FILE_NOT_FOUND); // no value can have such a name
        }
        const LONG result = ::RegDeleteValueA(key_.Get(), std::string(name).c_str());
        return result == ERROR_SUCCESS || Failed(static_cast<DWORD>(result));
    }

    bool DeleteSubkey(std::string_view relativePath) override {
        const std::string relative = TrimKeySeparators(relativePath);
        if (!writable_) {
            return Failed(ERROR_ACCESS_DENIED);
        }
        if (relative.empty() || !Nameable(relative)) {
            return Failed(ERROR_INVALID_NAME);
        }
        const LONG result = ::RegDeleteTreeA(key_.Get(), relative.c_str());
        return result == ERROR_SUCCESS || Failed(static_cast<DWORD>(result));
    }

private:
    template <typename EnumFunction>
    static std::vector<std::string> Enumerate(DWORD longest, EnumFunction f) {
        std::vector<std::string> names;
        std::string buffer(std::max<std::size_t>(64, (std::size_t{longest} + 1) * kUtf8BytesPerUnit), '\0');
        for (DWORD index = 0;;) {
            DWORD size = static_cast<DWORD>(buffer.size());
            const LONG result = f(index, buffer.data(), &size);
            if (result == ERROR_MORE_DATA && buffer.size() < kLongestName) {
                buffer.resize(buffer.size() * 2);
                continue;
            }
            if (result != ERROR_SUCCESS) {
                break; // ERROR_NO_MORE_ITEMS, or the key went away
            }
            names.emplace_back(buffer.data(), std::min<std::size_t>(size, buffer.size()));
            ++index;
        }
        return names;
    }

    RegistryKeyHandle key_;
    bool writable_;
};

} // namespace

std::unique_ptr<RegistryKey> Win32Registry::OpenForReading(RegistryRoot root, std::string_view path,
                                                           RegistryView view) {
    const std::string keyPath = TrimKeySeparators(path);
    RegistryKeyHandle key;
    if (!Nameable(keyPath)) {
        Failed(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (const LONG result =
            ::RegOpenKeyExA(RootKey(root), keyPath.c_str(), 0, kReadAccess | ViewFlag(view), key.Receive());
        result != ERROR_SUCCESS) {
        Failed(static_cast<DWORD>(result));
        return nullptr;
    }
    return std::make_unique<Win32Key>(std::move(key), false);
}

std::unique_ptr<RegistryKey> Win32Registry::OpenForWriting(RegistryRoot root, std::string_view path,
                                                           bool createIfMissing, RegistryView view) {
    const std::string keyPath = TrimKeySeparators(path);
    if (!Nameable(keyPath)) {
        Failed(ERROR_INVALID_NAME);
        return nullptr;
    }
    RegistryKeyHandle key;
    const LONG result =
        createIfMissing
            ? ::RegCreateKeyExA(RootKey(root), keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                kWriteAccess | ViewFlag(view), nullptr, key.Receive(), nullptr)
            : ::RegOpenKeyExA(RootKey(root), keyPath.c_str(), 0, kWriteAccess | ViewFlag(view),
                              key.Receive());
    if (result != ERROR_SUCCESS) {
        // Keep why: a standard user's "access denied" is what the user must read, not "no key".
        Failed(static_cast<DWORD>(result));
        return nullptr;
    }
    return std::make_unique<Win32Key>(std::move(key), true);
}

bool Win32Registry::DeleteKey(RegistryRoot root, std::string_view path, RegistryView view) {
    const std::string keyPath = TrimKeySeparators(path);
    if (keyPath.empty() || !Nameable(keyPath)) {
        return Failed(ERROR_INVALID_NAME);
    }
    RegistryKeyHandle key;
    LSTATUS result =
        ::RegOpenKeyExA(RootKey(root), keyPath.c_str(), 0, kWriteAccess | ViewFlag(view), key.Receive());
    if (result == ERROR_SUCCESS) {
        result = ::RegDeleteTreeA(key.Get(), nullptr);
    }
    if (result == ERROR_SUCCESS) {
        result = ::RegDeleteKeyExA(RootKey(root), keyPath.c_str(), ViewFlag(view), 0);
    }
    return result == ERROR_SUCCESS || Failed(static_cast<DWORD>(result));
}

} // namespace qb::win32
