#include "platform/registry.h"

#include "platform/platform_error.h"

namespace qb {

std::string_view RootName(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string TrimKeySeparators(std::string_view path) {
    while (!path.empty() && path.front() == '\\') {
        path.remove_prefix(1);
    }
    while (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);
    }
    return std::string(path);
}

namespace {
std::string LittleEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

std::uint64_t FromLittleEndian(std::string_view data) {
    std::uint64_t value = 0;
    for (std::size_t i = data.size(); i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(data[i]);
    }
    return value;
}
} // namespace

RegistryValue RegistryValue::Dword(std::uint32_t value) {
    return {ValueType::Dword, LittleEndian(value, 4)};
}

RegistryValue RegistryValue::Qword(std::uint64_t value) {
    return {ValueType::Qword, LittleEndian(value, 8)};
}

RegistryValue RegistryValue::MultiString(const std::vector<std::string>& strings) {
    std::string data;
    for (const auto& s : strings) {
        data += s;
        data.push_back('\0');
    }
    data.push_back('\0');
    return {ValueType::MultiString, data};
}

std::optional<std::uint32_t> RegistryValue::AsDword() const {
    if (type != ValueType::Dword || data.size() != 4) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(FromLittleEndian(data));
}

std::optional<std::uint64_t> RegistryValue::AsQword() const {
    if (type != ValueType::Qword || data.size() != 8) {
        return std::nullopt;
    }
    return FromLittleEndian(data);
}

std::vector<std::string> RegistryValue::AsMultiString() const {
    std::vector<std::string> out;
    std::string current;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\0') {
            current.push_back(data[i]);
        } else if (current.empty()) {
            break; // the empty string ends the list
        } else {
            out.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) {
        out.push_back(std::move(current));
    }
    return out;
}

bool RegistryKey::ValueExists(std::string_view name) {
    return ReadValue(name).has_value();
}

std::string RegistryKey::ReadString(std::string_view name) {
    const auto value = ReadValue(name);
    if (!value) {
        return {};
    }
    if (!value->IsText()) {
        throw PlatformError::InvalidDataType(name);
    }
    return value->data;
}

std::uint32_t RegistryKey::ReadInteger(std::string_view name) {
    const auto value = ReadValue(name);
    if (!value) {
        throw PlatformError::GetDataFailed(name);
    }
    const auto number = value->AsDword();
    if (!number) {
        throw PlatformError::InvalidDataType(name);
    }
    return *number;
}

void RegistryKey::WriteString(std::string_view name, std::string_view text) {
    WriteValue(name, RegistryValue::String(text));
}

void RegistryKey::WriteExpandString(std::string_view name, std::string_view text) {
    WriteValue(name, RegistryValue::ExpandString(text));
}

void RegistryKey::WriteInteger(std::string_view name, std::uint32_t value) {
    WriteValue(name, RegistryValue::Dword(value));
}

} // namespace qb
