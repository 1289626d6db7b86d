#include "platform/shell_link.h"
#include "platform/shell_link_bytes.h"
#include "platform/text.h"
#include "platform/windows_1252.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace qb {

namespace {

using namespace shell_link;

constexpr std::string_view kMyComputerClsid{
    "\xE0\x4F\xD0\x20\xEA\x3A\x69\x10\xA2\xD8\x08\x00\x2B\x30\x30\x9D", 16};
constexpr unsigned char kMyComputerSortIndex = 0x50;
constexpr std::size_t kDriveItemSize = 0x19;
constexpr std::uint16_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kVolumeIdSize = 0x11;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveFixed = 3;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsUsableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("\\/:\0", 4)) == std::string_view::npos;
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
    item.append(Utf8ToWindows1252(name));
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
    const std::string base = Utf8ToWindows1252(path) + '\0';
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
    std::string ansi = Utf8ToWindows1252(target).substr(0, kEnvironmentAnsiBytes - 1);
    ansi.resize(kEnvironmentAnsiBytes, '\0');
    std::string wide = Utf16LeBytes(CutUtf16(Utf8ToUtf16(target), kEnvironmentUnicodeBytes / 2 - 1));
    wide.resize(kEnvironmentUnicodeBytes, '\0');
    return out + ansi + wide;
}

// The documented form: the count of UTF-16 units without a terminator, then the units. A string is cut
// to what Windows reads back (maxUnits), so that no longer count shifts the fields after it.
std::string CountedString(std::string_view text, std::size_t maxUnits) {
    const std::u16string wide = CutUtf16(Utf8ToUtf16(text), maxUnits);
    std::string out;
    PutU16(out, static_cast<std::uint16_t>(wide.size()));
    return out + Utf16LeBytes(wide);
}

int NormalShowCommand(std::uint32_t value) {
    return (value == 3 || value == 7) ? static_cast<int>(value) : 1;
}

} // namespace
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
    // Windows expands the environment block's copy of the target when it loads the link; a target the
    // block cannot hold whole stays in LinkInfo alone.
    if (link.targetPath.find('%') != std::string::npos &&
        Utf8ToUtf16(link.targetPath).size() < kEnvironmentUnicodeBytes / 2) {
        flags |= kHasExpString;
    }
    const struct {
        std::uint32_t flag;
        const std::string* text;
        std::size_t maxUnits;
    } strings[] = {{kHasName, &link.description, kMaxPathChars},
                   {kHasRelativePath, &link.relativePath, kMaxPathChars},
                   {kHasWorkingDir, &link.workingDirectory, kMaxPathChars},
                   {kHasArguments, &link.arguments, kMaxCount16},
                   {kHasIconLocation, &link.iconLocation, kMaxPathChars}};
    for (const auto& [flag, text, maxUnits] : strings) {
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
    for (const auto& [flag, text, maxUnits] : strings) {
        if (!text->empty()) {
            out += CountedString(*text, maxUnits);
        }
    }
    if (flags & kHasExpString) {
        out += EnvironmentBlock(link.targetPath);
    }
    PutU32(out, 0);
    return out;
}

} // namespace qb
