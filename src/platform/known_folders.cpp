#include "platform/known_folders.h"

#include <array>
#include <utility>

namespace qb {

std::optional<std::string_view> KnownFolderOfCsidl(std::uint32_t csidl) {
    static constexpr std::array<std::pair<std::uint32_t, std::string_view>, 23> kTable = {{
        {0x00,
         folder_id::kDesktop}, // CSIDL_DESKTOP: the namespace root, whose files are the Desktop folder's
        {0x02, folder_id::kPrograms},
        {0x05, folder_id::kDocuments},
        {0x07, folder_id::kStartup},
        {0x0B, folder_id::kStartMenu},
        {0x10, folder_id::kDesktop},
        {0x14, folder_id::kFonts},
        {0x16, folder_id::kCommonStartMenu},
        {0x17, folder_id::kCommonPrograms},
        {0x18, folder_id::kCommonStartup},
        {0x19, folder_id::kPublicDesktop},
        {0x1A, folder_id::kRoamingAppData},
        {0x1C, folder_id::kLocalAppData},
        {0x23, folder_id::kProgramData},
        {0x24, folder_id::kWindows},
        {0x25, folder_id::kSystem},
        {0x26, folder_id::kProgramFiles},
        {0x28, folder_id::kProfile},
        {0x29, folder_id::kSystemX86},
        {0x2A, folder_id::kProgramFilesX86},
        {0x2B, folder_id::kProgramFilesCommon},
        {0x2C, folder_id::kProgramFilesCommonX86},
        {0x2E, folder_id::kPublicDocuments},
    }};
    // The high bits are flags (CSIDL_FLAG_CREATE and the like), not part of the folder's number.
    const std::uint32_t number = csidl & 0xFF;
    for (const auto& [id, folder] : kTable) {
        if (id == number) {
            return folder;
        }
    }
    return std::nullopt;
}

std::string GuidText(std::string_view packet) {
    if (packet.size() < 16) {
        return {};
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    // Byte order of each group: Data1, Data2 and Data3 are little-endian, Data4 is as stored.
    static constexpr std::array<int, 16> kOrder = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string text = "{";
    for (std::size_t i = 0; i < kOrder.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        const auto byte = static_cast<unsigned char>(packet[static_cast<std::size_t>(kOrder[i])]);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text + "}";
}

} // namespace qb
