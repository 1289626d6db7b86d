#include "platform/known_folders.h"
#include "platform/shell_link.h"
#include "platform/shell_link_bytes.h"
#include "platform/shell_link_items.h"
#include "platform/text.h"

#include <array>
#include <iterator>
#include <vector>

namespace qb {

namespace {

using namespace shell_link;

// The refusals, as the information page shows them after "This shortcut cannot be read: ".
constexpr const char* kEmpty = "the file is empty";
constexpr const char* kNotALink = "the file is not a shortcut";
constexpr const char* kCutShort = "the file is cut short";
constexpr const char* kBlockPastEnd = "a block runs past the end of the file";
constexpr const char* kLinkInfoDamaged = "its link information is damaged";

ShellLinkRead Refused(const char* problem) {
    return {std::nullopt, problem};
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

std::string_view UpToNul(std::string_view field) {
    return field.substr(0, field.find('\0'));
}

std::string_view UpToNulUnit(std::string_view field) {
    const auto text = Utf16Z(field, 0);
    return text ? *text : field.substr(0, field.size() & ~std::size_t{1});
}

Text FromUtf16(std::string_view leBytes) {
    return {Utf16ToUtf8(FromUtf16LeBytes(leBytes)), true};
}

// LocalBasePath + CommonPathSuffix, preferring the UTF-16 forms: Windows adds them when the ANSI forms
// could not hold the path. An empty value when the link has no local path; nullopt when the structure is
// cut short or its offsets point outside it, which makes the shell refuse the link.
std::optional<Text> ReadLinkInfo(std::string_view info, const ShellLinkContext& context) {
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
    return FromAnsi(std::string(*base) + std::string(suffix), context);
}

// The target of an environment-variable block: its UTF-16 form, else its ANSI form (in the system's code
// page, as the block documents).
Text ReadEnvironmentTarget(std::string_view block, const ShellLinkContext& context) {
    const std::string_view wide =
        UpToNulUnit(block.substr(kEnvironmentUnicodeOffset, kEnvironmentUnicodeBytes));
    if (!wide.empty()) {
        return FromUtf16(wide);
    }
    return FromAnsi(UpToNul(block.substr(kEnvironmentAnsiOffset, kEnvironmentAnsiBytes)), context);
}

// A StringData entry: a character count, then the text without terminator. Windows reads at most
// maxChars characters whatever the count says, and the next entry starts right after them. Wine counts
// and writes the terminator, and the shell hands every string out NUL-terminated, so the text ends at its
// first NUL. nullopt when the text runs past the end of the file.
std::optional<std::string> ReadCountedString(std::string_view bytes, std::size_t& pos, bool unicode,
                                             std::size_t maxChars, const ShellLinkContext& context) {
    const auto count = ReadU16(bytes, pos);
    if (!count) {
        return std::nullopt;
    }
    const std::size_t chars = std::min<std::size_t>(*count, maxChars);
    const auto field = Slice(bytes, pos + 2, unicode ? chars * 2 : chars);
    if (!field) {
        return std::nullopt;
    }
    pos += 2 + field->size();
    std::string text = unicode ? FromUtf16(*field).value : FromAnsi(*field, context).value;
    if (const auto nul = text.find('\0'); nul != std::string::npos) {
        text.resize(nul);
    }
    return text;
}

bool IsAbsolute(std::string_view path) {
    return path.starts_with("\\\\") || (path.size() >= 2 && path[1] == ':');
}

// A relative path as the shell resolves it: against the link's own folder, "." and ".." steps folded (a
// ".." at the drive's root stays there).
std::string ResolveAgainst(std::string_view folder, std::string_view relative) {
    if (relative.empty() || folder.empty() || IsAbsolute(relative)) {
        return std::string(relative);
    }
    std::vector<std::string> parts;
    std::string root;
    const auto split = [&](std::string_view path) {
        std::size_t start = 0;
        while (start <= path.size()) {
            const std::size_t end = std::min(path.find_first_of("\\/", start), path.size());
            const std::string_view part = path.substr(start, end - start);
            if (part == "..") {
                if (!parts.empty()) {
                    parts.pop_back();
                }
            } else if (!part.empty() && part != ".") {
                parts.emplace_back(part);
            }
            start = end + 1;
        }
    };
    if (folder.size() >= 2 && folder[1] == ':') {
        root = std::string(folder.substr(0, 2));
        folder.remove_prefix(2);
    } else if (folder.starts_with("\\\\")) {
        // A share's server and name are its root: ".." does not climb above them.
        const std::size_t server = folder.find('\\', 2);
        const std::size_t share = server == std::string_view::npos ? server : folder.find('\\', server + 1);
        root = std::string(folder.substr(0, share));
        folder = share == std::string_view::npos ? std::string_view() : folder.substr(share);
    }
    if (!relative.starts_with("\\") && !relative.starts_with("/")) {
        split(folder);
    }
    split(relative);
    std::string path = root;
    for (const std::string& part : parts) {
        path += '\\' + part;
    }
    return parts.empty() ? path + '\\' : path;
}

int NormalShowCommand(std::uint32_t value) {
    return (value == 3 || value == 7) ? static_cast<int>(value) : 1;
}

// Where the data blocks say the item list's folder part ends; the known folder block first, as Windows
// keeps it beside the older special folder block for the same folder.
struct Anchors {
    std::optional<FolderAnchor> knownFolder;
    std::optional<FolderAnchor> specialFolder;
};

} // namespace

ShellLinkRead DecodeShellLink(std::string_view bytes, const ShellLinkContext& context) {
    if (bytes.empty()) {
        return Refused(kEmpty);
    }
    const auto headerSize = ReadU32(bytes, 0);
    if (!headerSize || *headerSize != kHeaderSize) {
        return Refused(kNotALink);
    }
    const auto clsid = Slice(bytes, 4, kShellLinkClsid.size());
    if (clsid && *clsid != kShellLinkClsid) {
        return Refused(kNotALink);
    }
    if (!clsid || bytes.size() < kHeaderSize) {
        return Refused(kCutShort);
    }
    const std::uint32_t flags = *ReadU32(bytes, 0x14);
    ShellLinkData link;
    link.iconIndex = static_cast<std::int32_t>(*ReadU32(bytes, 0x38));
    link.showCommand = NormalShowCommand(*ReadU32(bytes, 0x3C));
    link.hotKey = *ReadU16(bytes, 0x40);
    std::size_t pos = kHeaderSize;

    std::string_view idList;
    if (flags & kHasLinkTargetIdList) {
        const auto size = ReadU16(bytes, pos);
        const auto list = size ? Slice(bytes, pos + 2, *size) : std::nullopt;
        if (!list) {
            return Refused(kCutShort);
        }
        idList = *list;
        pos += 2 + list->size();
    }

    Text fromLinkInfo;
    if (flags & kHasLinkInfo) {
        const auto size = ReadU32(bytes, pos);
        const auto info = size ? Slice(bytes, pos, *size) : std::nullopt;
        if (!info) {
            return Refused(kCutShort);
        }
        const auto target = ReadLinkInfo(*info, context);
        if (!target) {
            return Refused(kLinkInfoDamaged);
        }
        if ((flags & kForceNoLinkInfo) == 0) {
            fromLinkInfo = *target;
        }
        pos += info->size();
    }

    const bool unicode = (flags & kIsUnicode) != 0;
    const struct {
        std::uint32_t flag;
        std::string* field;
        std::size_t maxChars;
    } strings[] = {{kHasName, &link.description, kMaxPathChars},
                   {kHasRelativePath, &link.relativePath, kMaxPathChars},
                   {kHasWorkingDir, &link.workingDirectory, kMaxPathChars},
                   {kHasArguments, &link.arguments, kMaxCount16},
                   {kHasIconLocation, &link.iconLocation, kMaxPathChars}};
    for (const auto& string : strings) {
        if (flags & string.flag) {
            auto text = ReadCountedString(bytes, pos, unicode, string.maxChars, context);
            if (!text) {
                return Refused(kCutShort);
            }
            *string.field = std::move(*text);
        }
    }

    // Blocks run to a terminal block whose size is below 4; a file that simply ends there is accepted.
    std::optional<Text> fromEnvironment;
    Anchors anchors;
    for (;;) {
        const auto size = ReadU32(bytes, pos);
        if (!size || *size < 4) {
            break;
        }
        const auto block = Slice(bytes, pos, *size);
        if (!block) {
            return Refused(kBlockPastEnd);
        }
        const auto signature = ReadU32(*block, 4);
        if (signature == kEnvironmentBlockSignature && block->size() >= kEnvironmentBlockSize) {
            fromEnvironment = ReadEnvironmentTarget(*block, context);
        } else if (signature == kKnownFolderBlockSignature && block->size() >= kKnownFolderBlockSize) {
            anchors.knownFolder = FolderAnchor{GuidText(block->substr(8, 16)), *ReadU32(*block, 24)};
        } else if (signature == kSpecialFolderBlockSignature && block->size() >= kSpecialFolderBlockSize) {
            if (const auto folder = KnownFolderOfCsidl(*ReadU32(*block, 8))) {
                anchors.specialFolder = FolderAnchor{std::string(*folder), *ReadU32(*block, 12)};
            }
        }
        pos += block->size();
    }

    // HasExpString says the environment block is in use: Windows takes the target from it, expanded.
    if ((flags & kHasExpString) && fromEnvironment && !fromEnvironment->value.empty()) {
        link.targetPath = fromEnvironment->value;
        return {link, {}};
    }
    std::optional<Text> anchored;
    for (const auto& anchor : {anchors.knownFolder, anchors.specialFolder}) {
        if (anchor && !anchored && !idList.empty()) {
            anchored = AnchoredItemListPath(idList, *anchor, context);
        }
    }
    const std::optional<Text> fromItems = idList.empty() ? std::nullopt : ItemListPath(idList, context);
    const Text fromRelativePath{ResolveAgainst(context.linkFolder, link.relativePath), true};

    // Exact sources first, then the guesses in the same order.
    const Text* const sources[] = {anchored ? &*anchored : nullptr, &fromLinkInfo,
                                   fromItems ? &*fromItems : nullptr, &fromRelativePath};
    const auto usable = [](const Text* text) { return text != nullptr && !text->value.empty(); };
    const auto exact = std::find_if(std::begin(sources), std::end(sources),
                                    [&](const Text* text) { return usable(text) && text->exact; });
    const auto guessed = std::find_if(std::begin(sources), std::end(sources), usable);
    if (exact != std::end(sources)) {
        link.targetPath = (*exact)->value;
    } else if (guessed != std::end(sources)) {
        link.targetPath = (*guessed)->value;
    }
    return {link, {}};
}

} // namespace qb
