#pragma once

// Shortcut files built byte by byte, for tests that need what no writer of ours makes: over-long
// counts, item lists of every root, data blocks, names without terminators.

#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace qb::test::lnk {

inline std::string Le16(std::uint16_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

inline std::string Le32(std::uint32_t value) {
    return Le16(static_cast<std::uint16_t>(value & 0xFFFF)) + Le16(static_cast<std::uint16_t>(value >> 16));
}

// UTF-16LE bytes of text, no terminator.
inline std::string Utf16(std::u16string_view text) {
    std::string out;
    for (const char16_t unit : text) {
        out += Le16(static_cast<std::uint16_t>(unit));
    }
    return out;
}

// The header with the given flags, nothing else set.
inline std::string Header(std::uint32_t flags) {
    std::string header =
        Le32(0x4C) + std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    header += Le32(flags);
    header.resize(0x4C, '\0');
    return header;
}

// A GUID in registry form ("{20D04FE0-3AEA-1069-A2D8-08002B30309D}") in packet representation.
inline std::string Guid(std::string_view text) {
    std::string hex;
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            hex += c;
        }
    }
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    const auto swap = [&](std::size_t at, std::size_t length) {
        for (std::size_t i = 0; i < length / 2; ++i) {
            std::swap(bytes[at + i], bytes[at + length - 1 - i]);
        }
    };
    swap(0, 4);
    swap(4, 2);
    swap(6, 2);
    return bytes;
}

// IDListSize, the items and the terminating zero.
inline std::string IdList(std::initializer_list<std::string> items) {
    std::string list;
    for (const std::string& item : items) {
        list += item;
    }
    list += Le16(0);
    return Le16(static_cast<std::uint16_t>(list.size())) + list;
}

// A root item (0x1F) or a shell folder item (0x2E) naming its folder by GUID.
inline std::string GuidItem(std::string_view guid, unsigned char type = 0x1F) {
    return Le16(0x14) + std::string{static_cast<char>(type), '\x50'} + Guid(guid);
}

inline std::string DriveItem(char letter) {
    std::string item = Le16(0x19) + "\x2F" + letter + ":\\";
    item.resize(0x19, '\0');
    return item;
}

// A file-system item whose primary name field and long name field hold exactly the given bytes (add the
// terminators yourself); an empty longField writes no extension block.
inline std::string FileItem(const std::string& primaryField, const std::string& longField,
                            bool folder = false) {
    std::string item = Le16(0) + std::string{folder ? '\x31' : '\x32', '\0'} + Le32(0) + Le32(0) +
                       Le16(folder ? 0x10 : 0) + primaryField;
    if (!longField.empty()) {
        if (item.size() % 2 != 0) {
            item += '\0';
        }
        const auto offset = static_cast<std::uint16_t>(item.size());
        item += Le16(static_cast<std::uint16_t>(20 + longField.size() + 2)) + Le16(3) + Le32(0xBEEF0004) +
                Le32(0) + Le32(0) + Le16(14) + Le16(0) + longField + Le16(offset);
    }
    item[0] = static_cast<char>(item.size() & 0xFF);
    item[1] = static_cast<char>(item.size() >> 8);
    return item;
}

// The usual file item: ANSI primary name and UTF-16 long name, both terminated.
inline std::string NamedItem(const std::string& ansi, std::u16string_view name, bool folder = false) {
    return FileItem(ansi + '\0', Utf16(name) + Le16(0), folder);
}

// LinkInfo with header 0x1C holding the ANSI path bytes.
inline std::string LinkInfo(const std::string& ansiPath) {
    const std::string volume = Le32(0x11) + Le32(3) + Le32(0) + Le32(0x10) + std::string(1, '\0');
    const std::uint32_t base = 0x1C + 0x11;
    const auto suffix = static_cast<std::uint32_t>(base + ansiPath.size() + 1);
    const std::string body = volume + ansiPath + '\0' + '\0';
    return Le32(static_cast<std::uint32_t>(0x1C + body.size())) + Le32(0x1C) + Le32(1) + Le32(0x1C) +
           Le32(base) + Le32(0) + Le32(suffix) + body;
}

inline std::string EnvironmentBlock(const std::string& ansi, std::u16string_view wide) {
    std::string block = Le32(0x314) + Le32(0xA0000001) + ansi;
    block.resize(8 + 260, '\0');
    block += Utf16(wide);
    block.resize(0x314, '\0');
    return block;
}

inline std::string KnownFolderBlock(std::string_view guid, std::uint32_t offset) {
    return Le32(0x1C) + Le32(0xA000000B) + Guid(guid) + Le32(offset);
}

inline std::string SpecialFolderBlock(std::uint32_t csidl, std::uint32_t offset) {
    return Le32(0x10) + Le32(0xA0000005) + Le32(csidl) + Le32(offset);
}

} // namespace qb::test::lnk
