#include "platform/shell_link_items.h"

#include "platform/known_folders.h"
#include "platform/shell_link_bytes.h"
#include "platform/text.h"
#include "platform/windows_1252.h"

#include <algorithm>
#include <vector>

namespace qb::shell_link {

namespace {

struct Item {
    std::size_t offset = 0; // in the list
    std::string_view bytes; // size field included
};

unsigned char TypeOf(const Item& item) {
    return static_cast<unsigned char>(item.bytes[2]);
}

bool IsFileSystemItem(const Item& item) {
    return (TypeOf(item) & 0x70) == 0x30;
}

// A root item (0x1F) or a shell folder below one (0x2E) names its folder by a GUID after two bytes.
std::optional<std::string> GuidOfItem(const Item& item) {
    const unsigned char type = TypeOf(item);
    if ((type != kRootItemType && type != 0x2E) || item.bytes.size() < 20) {
        return std::nullopt;
    }
    return GuidText(item.bytes.substr(4, 16));
}

// "X:\" of a drive item, whose text starts after the type byte.
std::optional<std::string> DriveOfItem(const Item& item) {
    const std::string_view bytes = item.bytes;
    if ((TypeOf(item) & 0x70) != 0x20 || bytes.size() < 6 || bytes[4] != ':' || bytes[5] != '\\') {
        return std::nullopt;
    }
    const char letter = bytes[3];
    if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) {
        return std::nullopt;
    }
    return std::string(bytes.substr(3, 3));
}

// The items up to the terminating zero size; nullopt when an item is too small to hold its type or runs
// past the list.
std::optional<std::vector<Item>> SplitItems(std::string_view list) {
    std::vector<Item> items;
    std::size_t pos = 0;
    for (;;) {
        const auto size = ReadU16(list, pos);
        if (!size || (*size != 0 && *size < 3)) {
            return std::nullopt;
        }
        if (*size == 0) {
            return items;
        }
        const auto bytes = Slice(list, pos, *size);
        if (!bytes) {
            return std::nullopt;
        }
        items.push_back({pos, *bytes});
        pos += *size;
    }
}

// C0 controls, DEL and the C1 controls (which Windows-1252's unassigned bytes decode to).
bool HasControlCharacter(std::string_view utf8) {
    const std::u16string units = Utf8ToUtf16(utf8);
    return std::any_of(units.begin(), units.end(),
                       [](char16_t unit) { return unit < 0x20 || (unit >= 0x7F && unit < 0xA0); });
}

// A name a folder can hold: no separators, no "." or "..", and nothing a display would choke on.
bool IsUsableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("\\/:\0", 4)) == std::string_view::npos &&
           !HasControlCharacter(name);
}

// The bytes of field up to its first NUL, or all of it when it holds none.
std::string_view UpToNul(std::string_view field) {
    return field.substr(0, field.find('\0'));
}

std::string_view UpToNulUnit(std::string_view field) {
    for (std::size_t i = 0; i + 1 < field.size(); i += 2) {
        if (field[i] == '\0' && field[i + 1] == '\0') {
            return field.substr(0, i);
        }
    }
    return field.substr(0, field.size() & ~std::size_t{1});
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

// The extension block of a file item: the item's last two bytes give its offset, and it must lie after
// the primary name's start and inside the item.
std::optional<std::string_view> ExtensionBlock(std::string_view item) {
    const auto offset = ReadU16(item, item.size() - 2);
    if (!offset || *offset <= kFileItemNameOffset || *offset >= item.size() - 2) {
        return std::nullopt;
    }
    const auto size = ReadU16(item, *offset);
    if (!size || *size < 8) {
        return std::nullopt;
    }
    return Slice(item, *offset, *size);
}

// The name of a file-system item: the long name of its extension block when it has a usable one (the
// primary name is the 8.3 alias on Windows and ANSI on both), else the primary name. The primary name
// ends at the extension block, the long name at the block's closing offset, terminator or not.
std::optional<Text> FileItemName(const Item& item, const ShellLinkContext& context) {
    const std::string_view bytes = item.bytes;
    if (bytes.size() <= kFileItemNameOffset) {
        return std::nullopt;
    }
    const auto extension = ExtensionBlock(bytes);
    const std::size_t primaryEnd =
        extension ? static_cast<std::size_t>(extension->data() - bytes.data()) : bytes.size();
    if (extension) {
        const auto nameOffset = LongNameOffset(*extension);
        if (nameOffset && *nameOffset + 2 < extension->size()) {
            const std::string_view field =
                extension->substr(*nameOffset, extension->size() - 2 - *nameOffset);
            Text name{Utf16ToUtf8(FromUtf16LeBytes(UpToNulUnit(field))), true};
            if (IsUsableName(name.value)) {
                return name;
            }
        }
    }
    const std::string_view field = bytes.substr(kFileItemNameOffset, primaryEnd - kFileItemNameOffset);
    const bool unicodePrimary = (TypeOf(item) & 0x04) != 0;
    Text name = unicodePrimary ? Text{Utf16ToUtf8(FromUtf16LeBytes(UpToNulUnit(field))), true}
                               : FromAnsi(UpToNul(field), context);
    if (!IsUsableName(name.value)) {
        return std::nullopt;
    }
    return name;
}

std::optional<Text> KnownFolder(std::string_view folderId, const ShellLinkContext& context) {
    if (!context.knownFolderPath) {
        return std::nullopt;
    }
    auto path = context.knownFolderPath(folderId);
    if (!path || path->empty()) {
        return std::nullopt;
    }
    return Text{std::move(*path), true};
}

// base joined with the names of items[first...]; nullopt when one of them has no usable name.
std::optional<Text> WithNames(Text base, const std::vector<Item>& items, std::size_t first,
                              const ShellLinkContext& context) {
    for (std::size_t i = first; i < items.size(); ++i) {
        if (!IsFileSystemItem(items[i])) {
            return std::nullopt;
        }
        const auto name = FileItemName(items[i], context);
        if (!name) {
            return std::nullopt;
        }
        if (base.value.empty() || base.value.back() != '\\') {
            base.value += '\\';
        }
        base.value += name->value;
        base.exact = base.exact && name->exact;
    }
    return base;
}

} // namespace

Text FromAnsi(std::string_view bytes, const ShellLinkContext& context) {
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return {std::string(bytes), true};
    }
    return {context.ansiToUtf8 ? context.ansiToUtf8(bytes) : Windows1252ToUtf8(bytes), false};
}

std::optional<Text> ItemListPath(std::string_view list, const ShellLinkContext& context) {
    const auto items = SplitItems(list);
    if (!items || items->empty()) {
        return std::nullopt;
    }
    const Item& first = items->front();
    if (const auto drive = DriveOfItem(first)) {
        return WithNames({*drive, true}, *items, 1, context);
    }
    if (IsFileSystemItem(first)) {
        // A list without a root item is relative to the namespace root, whose files are the Desktop's.
        const auto desktop = KnownFolder(folder_id::kDesktop, context);
        return desktop ? WithNames(*desktop, *items, 0, context) : std::nullopt;
    }
    const auto root = GuidOfItem(first);
    if (!root) {
        return std::nullopt;
    }
    if (*root == root_id::kMyComputer) {
        if (items->size() < 2) {
            return std::nullopt;
        }
        if (const auto drive = DriveOfItem((*items)[1])) {
            return WithNames({*drive, true}, *items, 2, context);
        }
        const auto folder = GuidOfItem((*items)[1]);
        const auto base = folder ? KnownFolder(*folder, context) : std::nullopt;
        return base ? WithNames(*base, *items, 2, context) : std::nullopt;
    }
    const auto base = KnownFolder(*root == root_id::kUsersFiles ? folder_id::kProfile : *root, context);
    return base ? WithNames(*base, *items, 1, context) : std::nullopt;
}

std::optional<Text> AnchoredItemListPath(std::string_view list, const FolderAnchor& anchor,
                                         const ShellLinkContext& context) {
    const auto items = SplitItems(list);
    if (!items) {
        return std::nullopt;
    }
    const auto below = std::find_if(items->begin(), items->end(),
                                    [&](const Item& item) { return item.offset == anchor.offset; });
    const std::size_t listEnd = items->empty() ? 0 : items->back().offset + items->back().bytes.size();
    if (below == items->end() && anchor.offset != listEnd) {
        return std::nullopt;
    }
    const auto base = KnownFolder(anchor.folderId, context);
    return base ? WithNames(*base, *items, static_cast<std::size_t>(below - items->begin()), context)
                : std::nullopt;
}

} // namespace qb::shell_link
