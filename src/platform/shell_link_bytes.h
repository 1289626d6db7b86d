#pragma once

// The little-endian fields and constants shared by the shortcut reader, its item-list part and the
// writer. Internal to them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qb::shell_link {

constexpr std::size_t kHeaderSize = 0x4C;
constexpr std::string_view kShellLinkClsid{"\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46",
                                           16};

constexpr std::uint32_t kHasLinkTargetIdList = 0x1;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kHasName = 0x4;
constexpr std::uint32_t kHasRelativePath = 0x8;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kForceNoLinkInfo = 0x100;
constexpr std::uint32_t kHasExpString = 0x200;

constexpr std::uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr std::uint32_t kLinkInfoUnicodeHeaderSize = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;

constexpr std::uint32_t kEnvironmentBlockSignature = 0xA0000001;
constexpr std::size_t kEnvironmentBlockSize = 0x314;
constexpr std::size_t kEnvironmentAnsiOffset = 8;
constexpr std::size_t kEnvironmentAnsiBytes = 260;
constexpr std::size_t kEnvironmentUnicodeOffset = kEnvironmentAnsiOffset + kEnvironmentAnsiBytes;
constexpr std::size_t kEnvironmentUnicodeBytes = 520;
constexpr std::uint32_t kSpecialFolderBlockSignature = 0xA0000005;
constexpr std::size_t kSpecialFolderBlockSize = 0x10;
constexpr std::uint32_t kKnownFolderBlockSignature = 0xA000000B;
constexpr std::size_t kKnownFolderBlockSize = 0x1C;

constexpr unsigned char kRootItemType = 0x1F;
constexpr unsigned char kDriveItemType = 0x2F;
constexpr unsigned char kFolderItemType = 0x31;
constexpr unsigned char kFileItemType = 0x32;
constexpr std::size_t kFileItemNameOffset = 14;
constexpr std::uint32_t kFileExtensionSignature = 0xBEEF0004;
constexpr std::uint16_t kFileExtensionVersion = 3;
constexpr std::size_t kFileExtensionNameOffset = 20;

// Windows reads NAME, RELATIVE_PATH, WORKING_DIR and ICON_LOCATION into MAX_PATH buffers.
constexpr std::size_t kMaxPathChars = 260;
constexpr std::size_t kMaxCount16 = 0xFFFF;

inline std::optional<std::string_view> Slice(std::string_view bytes, std::size_t offset, std::size_t length) {
    if (offset > bytes.size() || length > bytes.size() - offset) {
        return std::nullopt;
    }
    return bytes.substr(offset, length);
}

inline std::optional<std::uint16_t> ReadU16(std::string_view bytes, std::size_t offset) {
    const auto field = Slice(bytes, offset, 2);
    if (!field) {
        return std::nullopt;
    }
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>((*field)[i]));
    };
    return static_cast<std::uint16_t>(byte(0) | (byte(1) << 8));
}

inline std::optional<std::uint32_t> ReadU32(std::string_view bytes, std::size_t offset) {
    const auto low = ReadU16(bytes, offset);
    const auto high = ReadU16(bytes, offset + 2);
    if (!low || !high) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*low) | (static_cast<std::uint32_t>(*high) << 16);
}

inline void PutU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

inline void PutU32(std::string& out, std::uint32_t value) {
    PutU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    PutU16(out, static_cast<std::uint16_t>(value >> 16));
}

} // namespace qb::shell_link
