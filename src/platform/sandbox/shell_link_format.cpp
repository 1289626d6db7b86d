#include "platform/sandbox/shell_link_format.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qb::sandbox {

namespace {

constexpr std::size_t kHeaderSize = 0x4C;
constexpr std::string_view kShellLinkClsid{"\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46",
                                           16};
constexpr std::string_view kMyComputerClsid{
    "\xE0\x4F\xD0\x20\xEA\x3A\x69\x10\xA2\xD8\x08\x00\x2B\x30\x30\x9D", 16};

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
constexpr std::uint32_t kVolumeIdSize = 0x11;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveFixed = 3;

constexpr std::uint32_t kEnvironmentBlockSignature = 0xA0000001;
constexpr std::size_t kEnvironmentBlockSize = 0x314;
constexpr std::size_t kEnvironmentAnsiOffset = 8;
constexpr std::size_t kEnvironmentAnsiBytes = 260;
constexpr std::size_t kEnvironmentUnicodeOffset = kEnvironmentAnsiOffset + kEnvironmentAnsiBytes;
constexpr std::size_t kEnvironmentUnicodeBytes = 520;

constexpr unsigned char kRootItemType = 0x1F;
constexpr unsigned char kMyComputerSortIndex = 0x50;
constexpr unsigned char kDriveItemType = 0x2F;
constexpr std::size_t kDriveItemSize = 0x19;
constexpr unsigned char kFolderItemType = 0x31;
constexpr unsigned char kFileItemType = 0x32;
constexpr unsigned char kItemNameIsUnicode = 0x04;
constexpr std::size_t kFileItemNameOffset = 14;
constexpr std::uint32_t kFileExtensionSignature = 0xBEEF0004;
constexpr std::uint16_t kFileExtensionVersion = 3;
constexpr std::size_t kFileExtensionNameOffset = 20;
constexpr std::uint16_t kFileAttributeDirectory = 0x10;

constexpr std::size_t kMaxCount16 = 0xFFFF;

// ---- Reading -------------------------------------------------------------------------------------------

// Text decoded from a link, and whether it is exactly what the writer meant: ANSI bytes that are not
// UTF-8 were written under another code page and are only guessed at.
struct Text {
    std::string value;
    bool lossless = true;
};

std::optional<std::string_view> Slice(std::string_view bytes, std::size_t offset, std::size_t length) {
    if (offset > bytes.size() || length > bytes.size() - offset) {
        return std::nullopt;
    }
    return bytes.substr(offset, length);
}

std::optional<std::uint16_t> ReadU16(std::string_view bytes, std::size_t offset) {
    const auto field = Slice(bytes, offset, 2);
    if (!field) {
        return std::nullopt;
    }
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>((*field)[i]));
    };
    return static_cast<std::uint16_t>(byte(0) | (byte(1) << 8));
}

std::optional<std::uint32_t> ReadU32(std::string_view bytes, std::size_t offset) {
    const auto low = ReadU16(bytes, offset);
    const auto high = ReadU16(bytes, offset + 2);
    if (!low || !high) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*low) | (static_cast<std::uint32_t>(*high) << 16);
}

// The bytes before the first NUL at or after offset; nullopt when no NUL follows inside bytes.
std::optional<std::string_view> AnsiZ(std::string_view bytes, std::size_t offset) {
    if (offset >= bytes.size()) {
        return std::nullopt;
    }
    const std::size_t end = bytes.find('\0', offset);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return bytes.substr(offset, end - offset);
}

// The UTF-16LE bytes before the first NUL unit at or after offset; nullopt when none follows.
std::optional<std::string_view> Utf16Z(std::string_view bytes, std::size_t offset) {
    for (std::size_t i = offset; i < bytes.size() && bytes.size() - i >= 2; i += 2) {
        if (bytes[i] == '\0' && bytes[i + 1] == '\0') {
            return bytes.substr(offset, i - offset);
        }
    }
    return std::nullopt;
}

// The whole field up to its first NUL, for fixed-size fields that need not hold one.
std::string_view UpToNul(std::string_view field) {
    return field.substr(0, field.find('\0'));
}

std::string_view UpToNulUnit(std::string_view field) {
    const auto text = Utf16Z(field, 0);
    return text ? *text : field.substr(0, field.size() & ~std::size_t{1});
}

bool IsUtf8(std::string_view bytes) {
    return Utf16ToUtf8(Utf8ToUtf16(bytes)) == bytes;
}

// Windows-1252 as MultiByteToWideChar maps it; its five unassigned bytes map to the C1 controls.
char16_t FromWindows1252(unsigned char c) {
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return (c >= 0x80 && c < 0xA0) ? kHigh[c - 0x80] : static_cast<char16_t>(c);
}

// The ANSI form for readers that know no other: Windows-1252, the code page of a Western Windows and of
// Wine's default setup, with "?" for what it cannot hold, as WideCharToMultiByte substitutes.
std::string ToWindows1252(std::string_view text) {
    std::string out;
    for (const char16_t unit : Utf8ToUtf16(text)) {
        char byte = '?';
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            byte = static_cast<char>(unit);
        } else {
            for (unsigned char c = 0x80; c < 0xA0; ++c) {
                if (FromWindows1252(c) == unit) {
                    byte = static_cast<char>(c);
                    break;
                }
            }
        }
        out.push_back(byte);
    }
    return out;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ANSI text in the tool's code page (UTF-8). Bytes that are not UTF-8 were written under a legacy code
// page; Windows-1252 is the likeliest and keeps Western European names readable.
Text FromAnsi(std::string_view bytes) {
    if (IsUtf8(bytes)) {
        return {std::string(bytes), true};
    }
    std::u16string wide;
    for (const char c : bytes) {
        wide.push_back(FromWindows1252(static_cast<unsigned char>(c)));
    }
    return {Utf16ToUtf8(wide), false};
}

Text FromUtf16(std::string_view leBytes) {
    return {Utf16ToUtf8(FromUtf16LeBytes(leBytes)), true};
}

bool IsUsableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("\\/:\0", 4)) == std::string_view::npos;
}

// Where the long name starts in a file item's extension block. Wine writes the block with zero version
// and signature but the layout of version 3; later Windows versions insert fields before the name.
std::optional<std::size_t> LongNameOffset(std::string_view extension) {
    const auto version = ReadU16(extension, 2);
    const auto signature = ReadU32(extension, 4);
    if (!version || !signature) {
        return std::nullopt;
    }
    if (*signature == 0 && *version == 0) {
        return kFileExtensionNameOffset;
    }
    if (*signature != kFileExtensionSignature || *version < 3) {
        return std::nullopt;
    }
    if (*version < 7) {
        return kFileExtensionNameOffset;
    }
    return *version == 7 ? 38 : (*version == 8 ? 42 : 46);
}

// The name of a file-system item: the long name of its extension block when there is one (the primary
// name is the 8.3 alias on Windows and ANSI on both), else the primary name.
std::optional<Text> FileItemName(std::string_view item) {
    if (item.size() <= kFileItemNameOffset || (static_cast<unsigned char>(item[2]) & 0x70) != 0x30) {
        return std::nullopt;
    }
    const bool unicodePrimary = (static_cast<unsigned char>(item[2]) & kItemNameIsUnicode) != 0;
    const auto primary =
        unicodePrimary ? Utf16Z(item, kFileItemNameOffset) : AnsiZ(item, kFileItemNameOffset);
    if (!primary) {
        return std::nullopt;
    }
    const std::size_t primaryEnd = kFileItemNameOffset + primary->size() + (unicodePrimary ? 2 : 1);
    // The extension block ends with its own offset in the item.
    const auto extensionOffset = ReadU16(item, item.size() - 2);
    if (extensionOffset && *extensionOffset >= primaryEnd &&
        std::size_t{*extensionOffset} + 4 <= item.size()) {
        const std::string_view extension = item.substr(*extensionOffset);
        const auto extensionSize = ReadU16(extension, 0);
        const auto nameOffset = LongNameOffset(extension);
        if (extensionSize && *extensionSize == extension.size() && nameOffset) {
            const auto longName = Utf16Z(extension.substr(0, extension.size() - 2), *nameOffset);
            if (longName && !longName->empty()) {
                Text name = FromUtf16(*longName);
                if (IsUsableName(name.value)) {
                    return name;
                }
            }
        }
    }
    Text name = unicodePrimary ? FromUtf16(*primary) : FromAnsi(*primary);
    if (!IsUsableName(name.value)) {
        return std::nullopt;
    }
    return name;
}

// The file-system path that an item list of My Computer, a drive and file-system items names; empty
// for any other list (network places, control panel items, virtual folders), which has no path here.
Text PathFromIdList(std::string_view list) {
    std::vector<std::string_view> items;
    std::size_t pos = 0;
    for (;;) {
        const auto size = ReadU16(list, pos);
        if (!size || (*size != 0 && *size < 3)) {
            return {};
        }
        if (*size == 0) {
            break;
        }
        const auto item = Slice(list, pos, *size);
        if (!item) {
            return {};
        }
        items.push_back(*item);
        pos += *size;
    }
    if (items.size() < 2 || items[0].size() != 4 + kMyComputerClsid.size() ||
        static_cast<unsigned char>(items[0][2]) != kRootItemType || items[0].substr(4) != kMyComputerClsid) {
        return {};
    }
    const std::string_view drive = items[1];
    if (drive.size() < 6 || (static_cast<unsigned char>(drive[2]) & 0x70) != 0x20 || drive[4] != ':' ||
        drive[5] != '\\' || !((drive[3] >= 'A' && drive[3] <= 'Z') || (drive[3] >= 'a' && drive[3] <= 'z'))) {
        return {};
    }
    Text path{std::string(drive.substr(3, 3)), true};
    for (std::size_t i = 2; i < items.size(); ++i) {
        const auto name = FileItemName(items[i]);
        if (!name) {
            return {};
        }
        if (i > 2) {
            path.value += '\\';
        }
        path.value += name->value;
        path.lossless = path.lossless && name->lossless;
    }
    return path;
}

// LocalBasePath + CommonPathSuffix, preferring the UTF-16 forms: Windows adds them when the ANSI
// forms could not hold the path. An empty value when the link has no local path; nullopt when the
// structure is cut short or its offsets point outside it, which makes the shell refuse the link.
std::optional<Text> ReadLinkInfo(std::string_view info) {
    const auto headerSize = ReadU32(info, 4);
    const auto flags = ReadU32(info, 8);
    if (!headerSize || !flags || *headerSize < kLinkInfoHeaderSize || *headerSize > info.size()) {
        return std::nullopt;
    }
    if ((*flags & kVolumeIdAndLocalBasePath) == 0) {
        return Text{};
    }
    const std::uint32_t volumeOffset = *ReadU32(info, 0x0C);
    const std::uint32_t baseOffset = *ReadU32(info, 0x10);
    const std::uint32_t suffixOffset = *ReadU32(info, 0x18);
    const auto volumeSize = ReadU32(info, volumeOffset);
    if (volumeOffset < *headerSize || !volumeSize || *volumeSize < 0x10 ||
        !Slice(info, volumeOffset, *volumeSize)) {
        return std::nullopt;
    }
    const auto base = AnsiZ(info, baseOffset);
    if (baseOffset < *headerSize || !base) {
        return std::nullopt;
    }
    // The suffix is required by the format but ignored by Wine; an offset into the header means none.
    std::string_view suffix;
    if (suffixOffset >= *headerSize) {
        const auto text = AnsiZ(info, suffixOffset);
        if (!text) {
            return std::nullopt;
        }
        suffix = *text;
    }
    if (*headerSize >= kLinkInfoUnicodeHeaderSize) {
        const std::uint32_t wideBaseOffset = *ReadU32(info, 0x1C);
        const std::uint32_t wideSuffixOffset = *ReadU32(info, 0x20);
        if (wideBaseOffset != 0) {
            const auto wideBase = Utf16Z(info, wideBaseOffset);
            if (wideBaseOffset < *headerSize || !wideBase) {
                return std::nullopt;
            }
            std::string wide(*wideBase);
            if (wideSuffixOffset >= *headerSize) {
                const auto wideSuffix = Utf16Z(info, wideSuffixOffset);
                if (!wideSuffix) {
                    return std::nullopt;
                }
                wide += *wideSuffix;
            }
            return FromUtf16(wide);
        }
    }
    return FromAnsi(std::string(*base) + std::string(suffix));
}

Text ReadEnvironmentTarget(std::string_view block) {
    const std::string_view wide =
        UpToNulUnit(block.substr(kEnvironmentUnicodeOffset, kEnvironmentUnicodeBytes));
    if (!wide.empty()) {
        return FromUtf16(wide);
    }
    return FromAnsi(UpToNul(block.substr(kEnvironmentAnsiOffset, kEnvironmentAnsiBytes)));
}

// A StringData entry: a character count, then the text without terminator. Wine counts and writes the
// terminator, and the shell hands every string out NUL-terminated, so the text ends at its first NUL.
std::optional<Text> ReadCountedString(std::string_view bytes, std::size_t& pos, bool unicode) {
    const auto count = ReadU16(bytes, pos);
    if (!count) {
        return std::nullopt;
    }
    const std::size_t length = unicode ? std::size_t{*count} * 2 : *count;
    const auto field = Slice(bytes, pos + 2, length);
    if (!field) {
        return std::nullopt;
    }
    pos += 2 + length;
    Text text = unicode ? FromUtf16(*field) : FromAnsi(*field);
    if (const auto nul = text.value.find('\0'); nul != std::string::npos) {
        text.value.resize(nul);
    }
    return text;
}

// ---- Writing -------------------------------------------------------------------------------------------

void PutU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void PutU32(std::string& out, std::uint32_t value) {
    PutU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    PutU16(out, static_cast<std::uint16_t>(value >> 16));
}

// At most maxUnits UTF-16 units, not splitting a surrogate pair.
std::u16string CutUtf16(std::u16string text, std::size_t maxUnits) {
    if (text.size() > maxUnits) {
        std::size_t end = maxUnits;
        if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) {
            --end;
        }
        text.resize(end);
    }
    return text;
}

bool IsOnDrive(std::string_view path) {
    return path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':' && path[2] == '\\';
}

std::string FileItem(std::string_view name, bool isFolder) {
    std::string item;
    PutU16(item, 0); // size, set below
    item.push_back(static_cast<char>(isFolder ? kFolderItemType : kFileItemType));
    item.push_back('\0');
    PutU32(item, 0); // file size
    PutU32(item, 0); // DOS modification date and time
    PutU16(item, isFolder ? kFileAttributeDirectory : 0);
    item.append(ToWindows1252(name));
    item.push_back('\0');
    if (item.size() % 2 != 0) {
        item.push_back('\0');
    }
    const std::size_t extensionOffset = item.size();
    const std::string longName = Utf16LeBytes(Utf8ToUtf16(name)) + std::string(2, '\0');
    const std::size_t extensionSize = kFileExtensionNameOffset + longName.size() + 2;
    if (extensionOffset + extensionSize > kMaxCount16) {
        return {};
    }
    PutU16(item, static_cast<std::uint16_t>(extensionSize));
    PutU16(item, kFileExtensionVersion);
    PutU32(item, kFileExtensionSignature);
    PutU32(item, 0); // creation date and time
    PutU32(item, 0); // access date and time
    PutU16(item, static_cast<std::uint16_t>(kFileExtensionNameOffset - 6));
    PutU16(item, 0); // no localised name
    item += longName;
    PutU16(item, static_cast<std::uint16_t>(extensionOffset));
    item[0] = static_cast<char>(item.size() & 0xFF);
    item[1] = static_cast<char>(item.size() >> 8);
    return item;
}

// IDListSize and the items as the shell saves them: My Computer, the drive, one item per folder and
// file. Empty when the path has no item form (a "." or ".." step, a name too long for an item).
std::string IdList(std::string_view path) {
    std::string items;
    PutU16(items, static_cast<std::uint16_t>(4 + kMyComputerClsid.size()));
    items.push_back(static_cast<char>(kRootItemType));
    items.push_back(static_cast<char>(kMyComputerSortIndex));
    items.append(kMyComputerClsid);

    std::string drive;
    PutU16(drive, static_cast<std::uint16_t>(kDriveItemSize));
    drive.push_back(static_cast<char>(kDriveItemType));
    drive.append(path.substr(0, 3));
    drive.resize(kDriveItemSize, '\0');
    items += drive;

    std::vector<std::string_view> names;
    for (std::size_t start = 3; start < path.size();) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            names.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!IsUsableName(names[i])) {
            return {};
        }
        const std::string item = FileItem(names[i], i + 1 < names.size());
        if (item.empty()) {
            return {};
        }
        items += item;
    }
    PutU16(items, 0);
    if (items.size() > kMaxCount16) {
        return {};
    }
    std::string out;
    PutU16(out, static_cast<std::uint16_t>(items.size()));
    return out + items;
}

// Header 0x1C with the ANSI path only, as the shell writes a path that its code page holds. Other paths
// get header 0x24 and a UTF-16 copy, which Windows prefers; Wine reads only the ANSI form, so that one is
// in Windows-1252 rather than the tool's UTF-8.
std::string LinkInfo(std::string_view path, bool onDrive) {
    const bool ascii = IsAscii(path);
    const std::uint32_t headerSize = ascii ? kLinkInfoHeaderSize : kLinkInfoUnicodeHeaderSize;
    const std::string base = ToWindows1252(path) + '\0';
    const std::string suffix(1, '\0');
    const std::string wideBase = Utf16LeBytes(Utf8ToUtf16(path)) + std::string(2, '\0');
    const std::string wideSuffix(2, '\0');

    const auto volumeOffset = headerSize;
    const auto baseOffset = static_cast<std::uint32_t>(volumeOffset + kVolumeIdSize);
    const auto suffixOffset = static_cast<std::uint32_t>(baseOffset + base.size());
    const auto wideBaseOffset = static_cast<std::uint32_t>(suffixOffset + suffix.size());
    const auto wideSuffixOffset = static_cast<std::uint32_t>(wideBaseOffset + wideBase.size());
    const auto size =
        ascii ? wideBaseOffset : static_cast<std::uint32_t>(wideSuffixOffset + wideSuffix.size());

    std::string out;
    PutU32(out, size);
    PutU32(out, headerSize);
    PutU32(out, kVolumeIdAndLocalBasePath);
    PutU32(out, volumeOffset);
    PutU32(out, baseOffset);
    PutU32(out, 0); // no CommonNetworkRelativeLink
    PutU32(out, suffixOffset);
    if (!ascii) {
        PutU32(out, wideBaseOffset);
        PutU32(out, wideSuffixOffset);
    }
    // No serial number and an empty label; a network or bare path has no root directory to type.
    PutU32(out, kVolumeIdSize);
    PutU32(out, onDrive ? kDriveFixed : kDriveNoRootDir);
    PutU32(out, 0);
    PutU32(out, 0x10);
    out.push_back('\0');
    out += base;
    out += suffix;
    if (!ascii) {
        out += wideBase;
        out += wideSuffix;
    }
    return out;
}

std::string EnvironmentBlock(std::string_view target) {
    std::string out;
    PutU32(out, static_cast<std::uint32_t>(kEnvironmentBlockSize));
    PutU32(out, kEnvironmentBlockSignature);
    std::string ansi = ToWindows1252(target).substr(0, kEnvironmentAnsiBytes - 1);
    ansi.resize(kEnvironmentAnsiBytes, '\0');
    std::string wide = Utf16LeBytes(CutUtf16(Utf8ToUtf16(target), kEnvironmentUnicodeBytes / 2 - 1));
    wide.resize(kEnvironmentUnicodeBytes, '\0');
    return out + ansi + wide;
}

// The documented form: the count of UTF-16 units without a terminator, then the units.
std::string CountedString(std::string_view text) {
    const std::u16string wide = CutUtf16(Utf8ToUtf16(text), kMaxCount16);
    std::string out;
    PutU16(out, static_cast<std::uint16_t>(wide.size()));
    return out + Utf16LeBytes(wide);
}

int NormalShowCommand(std::uint32_t value) {
    return (value == 3 || value == 7) ? static_cast<int>(value) : 1;
}

} // namespace

std::optional<ShellLinkData> DecodeShellLink(std::string_view bytes) {
    const auto headerSize = ReadU32(bytes, 0);
    if (!headerSize || *headerSize != kHeaderSize || bytes.size() < kHeaderSize ||
        bytes.substr(4, kShellLinkClsid.size()) != kShellLinkClsid) {
        return std::nullopt;
    }
    const std::uint32_t flags = *ReadU32(bytes, 0x14);
    ShellLinkData link;
    link.iconIndex = static_cast<std::int32_t>(*ReadU32(bytes, 0x38));
    link.showCommand = NormalShowCommand(*ReadU32(bytes, 0x3C));
    link.hotKey = *ReadU16(bytes, 0x40);
    std::size_t pos = kHeaderSize;

    Text fromIdList;
    if (flags & kHasLinkTargetIdList) {
        const auto size = ReadU16(bytes, pos);
        const auto list = size ? Slice(bytes, pos + 2, *size) : std::nullopt;
        if (!list) {
            return std::nullopt;
        }
        fromIdList = PathFromIdList(*list);
        pos += 2 + list->size();
    }

    Text fromLinkInfo;
    if (flags & kHasLinkInfo) {
        const auto size = ReadU32(bytes, pos);
        const auto info = size ? Slice(bytes, pos, *size) : std::nullopt;
        const auto target = info ? ReadLinkInfo(*info) : std::nullopt;
        if (!target) {
            return std::nullopt;
        }
        if ((flags & kForceNoLinkInfo) == 0) {
            fromLinkInfo = *target;
        }
        pos += info->size();
    }

    const bool unicode = (flags & kIsUnicode) != 0;
    constexpr std::uint32_t kStringFlags[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments,
                                              kHasIconLocation};
    std::array<Text, std::size(kStringFlags)> strings;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        if (flags & kStringFlags[i]) {
            auto text = ReadCountedString(bytes, pos, unicode);
            if (!text) {
                return std::nullopt;
            }
            strings[i] = std::move(*text);
        }
    }
    link.description = strings[0].value;
    link.relativePath = strings[1].value;
    link.workingDirectory = strings[2].value;
    link.arguments = strings[3].value;
    link.iconLocation = strings[4].value;
    const Text& fromRelativePath = strings[1];

    // Blocks run to a terminal block whose size is below 4; a file that simply ends there is accepted.
    Text fromEnvironment;
    for (;;) {
        const auto size = ReadU32(bytes, pos);
        if (!size || *size < 4) {
            break;
        }
        const auto block = Slice(bytes, pos, *size);
        if (!block) {
            return std::nullopt;
        }
        const auto signature = ReadU32(*block, 4);
        if (signature && *signature == kEnvironmentBlockSignature && block->size() >= kEnvironmentBlockSize) {
            fromEnvironment = ReadEnvironmentTarget(*block);
        }
        pos += block->size();
    }

    const Text* const sources[] = {&fromLinkInfo, &fromEnvironment, &fromIdList, &fromRelativePath};
    const auto found = std::find_if(std::begin(sources), std::end(sources),
                                    [](const Text* text) { return !text->value.empty() && text->lossless; });
    const auto guessed = std::find_if(std::begin(sources), std::end(sources),
                                      [](const Text* text) { return !text->value.empty(); });
    if (found != std::end(sources)) {
        link.targetPath = (*found)->value;
    } else if (guessed != std::end(sources)) {
        link.targetPath = (*guessed)->value;
    }
    return link;
}

std::string EncodeShellLink(const ShellLinkData& link) {
    const bool onDrive = IsOnDrive(link.targetPath);
    const std::string idList = onDrive ? IdList(link.targetPath) : std::string();

    std::uint32_t flags = kIsUnicode;
    if (!idList.empty()) {
        flags |= kHasLinkTargetIdList;
    }
    if (!link.targetPath.empty()) {
        flags |= kHasLinkInfo;
    }
    // Windows expands the environment block's copy of the target when it loads the link.
    if (link.targetPath.find('%') != std::string::npos) {
        flags |= kHasExpString;
    }
    const std::pair<std::uint32_t, const std::string*> strings[] = {{kHasName, &link.description},
                                                                    {kHasRelativePath, &link.relativePath},
                                                                    {kHasWorkingDir, &link.workingDirectory},
                                                                    {kHasArguments, &link.arguments},
                                                                    {kHasIconLocation, &link.iconLocation}};
    for (const auto& [flag, text] : strings) {
        if (!text->empty()) {
            flags |= flag;
        }
    }

    std::string out;
    PutU32(out, static_cast<std::uint32_t>(kHeaderSize));
    out.append(kShellLinkClsid);
    PutU32(out, flags);
    PutU32(out, 0);              // file attributes
    out.append(3 * 8 + 4, '\0'); // creation, access and write times, file size
    PutU32(out, static_cast<std::uint32_t>(link.iconIndex));
    PutU32(out, static_cast<std::uint32_t>(NormalShowCommand(static_cast<std::uint32_t>(link.showCommand))));
    PutU16(out, link.hotKey);
    out.append(10, '\0');

    out += idList;
    if (flags & kHasLinkInfo) {
        out += LinkInfo(link.targetPath, onDrive);
    }
    for (const auto& [flag, text] : strings) {
        if (!text->empty()) {
            out += CountedString(*text);
        }
    }
    if (flags & kHasExpString) {
        out += EnvironmentBlock(link.targetPath);
    }
    PutU32(out, 0);
    return out;
}

} // namespace qb::sandbox
