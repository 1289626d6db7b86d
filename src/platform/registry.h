#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

enum class RegistryRoot { LocalMachine, CurrentUser };

std::string_view RootName(RegistryRoot root); // "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"

// A key path without leading and trailing backslashes, as both backends name keys: "\\Software\\" is
// "Software".
std::string TrimKeySeparators(std::string_view path);

// Which copy of a key 64-bit Windows gives: the system's own (Native) or the one 32-bit programs see
// (Wow32). Only HKEY_LOCAL_MACHINE\SOFTWARE has two copies, and not all of it: keys Windows shares
// between the views, and everything on a 32-bit system, are the same key in both.
enum class RegistryView { Native, Wow32 };

// The registry's value types, numbered as Windows numbers them.
enum class ValueType : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiString = 7,
    ResourceList = 8,
    FullResourceDescriptor = 9,
    ResourceRequirementsList = 10,
    Qword = 11,
};

// A value as the ANSI registry functions hand it over: strings are UTF-8 text without their terminator,
// a multi-string is its strings each followed by a NUL plus a final NUL, numbers are little-endian bytes,
// and every other type is its raw bytes. Keeping the type on reads and writes is what lets a rewrite
// preserve what was there.
struct RegistryValue {
    ValueType type = ValueType::String;
    std::string data;

    static RegistryValue String(std::string_view text) { return {ValueType::String, std::string(text)}; }
    static RegistryValue ExpandString(std::string_view text) {
        return {ValueType::ExpandString, std::string(text)};
    }
    static RegistryValue Dword(std::uint32_t value);
    static RegistryValue Qword(std::uint64_t value);
    static RegistryValue MultiString(const std::vector<std::string>& strings);
    static RegistryValue Binary(std::string_view bytes) { return {ValueType::Binary, std::string(bytes)}; }

    bool IsText() const { return type == ValueType::String || type == ValueType::ExpandString; }
    std::optional<std::uint32_t> AsDword() const;
    std::optional<std::uint64_t> AsQword() const;
    std::vector<std::string> AsMultiString() const;

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// An open registry key. Closing is destruction. The virtual operations are the backend's; the plain
// helpers below them give every backend the same errors.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Names in the order the registry enumerates them: values in the order they were stored (Windows;
    // Wine sorts them), subkeys sorted without regard to case. The unnamed default value is "".
    virtual std::vector<std::string> ValueNames() = 0;
    virtual std::vector<std::string> SubkeyNames() = 0;
    // Missing value: nullopt. Names match without regard to case.
    virtual std::optional<RegistryValue> ReadValue(std::string_view name) = 0;
    // Creates or replaces; throws PlatformError::SetDataFailed(name) when the value cannot be written
    // (for example when the key was opened for reading only).
    virtual void WriteValue(std::string_view name, const RegistryValue& value) = 0;
    virtual bool DeleteValue(std::string_view name) = 0;
    // Removes a subkey path (relative to this key) with everything beneath it.
    virtual bool DeleteSubkey(std::string_view relativePath) = 0;

    bool ValueExists(std::string_view name);
    // Text of a string or expandable string value, unexpanded; a missing value reads as "".
    // Any other type throws PlatformError::InvalidDataType(name).
    std::string ReadString(std::string_view name);
    // A DWORD value; missing throws GetDataFailed(name), another type InvalidDataType(name).
    std::uint32_t ReadInteger(std::string_view name);
    void WriteString(std::string_view name, std::string_view text);
    void WriteExpandString(std::string_view name, std::string_view text);
    void WriteInteger(std::string_view name, std::uint32_t value);
};

// While it lives, other processes' changes to the registry wait, so that the reads and writes made under it
// look like one step to them. A store kept in one file (the sandbox's) also keeps the changes made under the
// outermost hold in memory and writes them once, when that hold ends: other processes then see none of them
// or all of them, and a process killed in between leaves the store as it was before the hold.
class RegistryHold {
public:
    virtual ~RegistryHold() = default;
    // Ends the hold now. When it is the outermost one, what was changed under it is stored; when that fails,
    // none of it is, and the failure is thrown as PlatformError::SetDataFailed naming the first value (or
    // key) changed under the hold. Destruction without Release stores the changes too (a hold that ends by
    // an exception keeps what was done before it), but cannot report a failure.
    virtual void Release() {}
};

class Registry {
public:
    virtual ~Registry() = default;

    // Every operation names the view its key is in; without one it is the native view. A 64-bit system
    // keeps the 32-bit copy of a redirected key apart (under HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node, where
    // regedit shows it); a shared key, and every key of a 32-bit system, is the same in both views.

    // A missing key fails (nullptr) and is not created.
    virtual std::unique_ptr<RegistryKey> OpenForReading(RegistryRoot root, std::string_view path,
                                                        RegistryView view) = 0;
    // Read, write and delete access. With createIfMissing every missing key along the path is created.
    // Fails (nullptr) when the key is missing and not to be created, or the user may not write there.
    virtual std::unique_ptr<RegistryKey> OpenForWriting(RegistryRoot root, std::string_view path,
                                                        bool createIfMissing, RegistryView view) = 0;
    // Removes a key with all its subkeys; false when it did not exist or could not be removed.
    virtual bool DeleteKey(RegistryRoot root, std::string_view path, RegistryView view) = 0;

    std::unique_ptr<RegistryKey> OpenForReading(RegistryRoot root, std::string_view path) {
        return OpenForReading(root, path, RegistryView::Native);
    }
    std::unique_ptr<RegistryKey> OpenForWriting(RegistryRoot root, std::string_view path,
                                                bool createIfMissing) {
        return OpenForWriting(root, path, createIfMissing, RegistryView::Native);
    }
    bool DeleteKey(RegistryRoot root, std::string_view path) {
        return DeleteKey(root, path, RegistryView::Native);
    }
    // Makes the following operations one step for other processes, for a value that moves between two keys
    // and must never be seen in both or in neither. Reads under the hold see the store as it is now. Holds
    // nest; keep them short and on one thread. A store without such a lock gives nullptr, and its steps
    // stay separate, as the Windows registry's own are.
    virtual std::unique_ptr<RegistryHold> HoldChanges() { return nullptr; }
};

} // namespace qb
