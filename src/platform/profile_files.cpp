#include "platform/profile_files.h"

#include <cstdint>

namespace qb {

std::optional<int> ParseProfileInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    std::uint32_t value = 0;
    bool any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            break;
        }
        // Windows lets the value wrap around in 32 bits; so do we, without undefined behaviour.
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<int>(static_cast<std::int32_t>(value));
}

std::vector<std::optional<std::string>> ProfileFiles::ReadValues(std::string_view file,
                                                                 const std::vector<ProfileKey>& keys) {
    std::vector<std::optional<std::string>> values;
    values.reserve(keys.size());
    for (const auto& key : keys) {
        values.push_back(ReadValue(file, key.section, key.key));
    }
    return values;
}

void ProfileFiles::WriteValues(std::string_view file, const std::vector<ProfileEntry>& entries) {
    for (const auto& entry : entries) {
        WriteString(file, entry.section, entry.key, entry.value);
    }
}

std::string ProfileFiles::ReadString(std::string_view file, std::string_view section, std::string_view key,
                                     std::string_view defaultValue) {
    auto value = ReadValue(file, section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

int ProfileFiles::ReadInteger(std::string_view file, std::string_view section, std::string_view key,
                              int defaultValue) {
    const auto value = ReadValue(file, section, key);
    if (!value) {
        return defaultValue;
    }
    return ParseProfileInteger(*value).value_or(defaultValue);
}

void ProfileFiles::WriteInteger(std::string_view file, std::string_view section, std::string_view key,
                                int value) {
    WriteString(file, section, key, std::to_string(value));
}

} // namespace qb
