#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// Known folders the shell names by GUID, in registry form: what SHGetKnownFolderPath takes.
namespace folder_id {
inline constexpr std::string_view kDesktop = "{B4BFCC3A-DB2C-424C-B029-7FE99A87C641}";
inline constexpr std::string_view kDocuments = "{FDD39AD0-238F-46AF-ADB4-6C85480369C7}";
inline constexpr std::string_view kProfile = "{5E6C858F-0E22-4760-9AFE-EA3317B67173}";
inline constexpr std::string_view kRoamingAppData = "{3EB685DB-65F9-4CF6-A03A-E3EF65729F3D}";
inline constexpr std::string_view kLocalAppData = "{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}";
inline constexpr std::string_view kStartMenu = "{625B53C3-AB48-4EC1-BA1F-A1EF4146FC19}";
inline constexpr std::string_view kPrograms = "{A77F5D77-2E2B-44C3-A6A2-ABA601054A51}";
inline constexpr std::string_view kStartup = "{B97D20BB-F46A-4C97-BA10-5E3608430854}";
inline constexpr std::string_view kCommonStartMenu = "{A4115719-D62E-491D-AA7C-E74B8BE3B067}";
inline constexpr std::string_view kCommonPrograms = "{0139D44E-6AFE-49F2-8690-3DAFCAE6FFB8}";
inline constexpr std::string_view kCommonStartup = "{82A5EA35-D9CD-47C5-9629-E15D2F714E6E}";
inline constexpr std::string_view kPublicDesktop = "{C4AA340D-F20F-4863-AFEF-F87EF2E6BA25}";
inline constexpr std::string_view kPublicDocuments = "{ED4824AF-DCE4-45A8-81E2-FC7965083634}";
inline constexpr std::string_view kProgramData = "{62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}";
inline constexpr std::string_view kWindows = "{F38BF404-1D43-42F2-9305-67DE0B28FC23}";
inline constexpr std::string_view kSystem = "{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}";
inline constexpr std::string_view kSystemX86 = "{D65231B0-B2F1-4857-A4CE-A8E7C6EA7D27}";
inline constexpr std::string_view kFonts = "{FD228CB7-AE11-4AE3-864C-16F3910AB8FE}";
inline constexpr std::string_view kProgramFiles = "{905E63B6-C1BF-494E-B29C-65B732D3D21A}";
inline constexpr std::string_view kProgramFilesX86 = "{7C5A40EF-A0FB-4BFC-874A-C0F2E0B9FA8E}";
inline constexpr std::string_view kProgramFilesCommon = "{F7F1ED05-9F6D-47A2-AAAE-29D317C6F066}";
inline constexpr std::string_view kProgramFilesCommonX86 = "{DE974D24-D9C6-4D3E-BF91-F4455120B917}";
} // namespace folder_id

// Shell namespace roots that an item list may start with (CLSIDs, not known folders).
namespace root_id {
inline constexpr std::string_view kMyComputer = "{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
// The user's files: the namespace root of the profile folder.
inline constexpr std::string_view kUsersFiles = "{59031A47-3F72-44A7-89C5-5595FE6B30EE}";
} // namespace root_id

// The known folder of a CSIDL (the numbers of SHGetSpecialFolderLocation), for the file-system folders
// that have one; nullopt for the rest.
std::optional<std::string_view> KnownFolderOfCsidl(std::uint32_t csidl);

// A GUID stored in packet representation (16 bytes: a little-endian 32-bit and two 16-bit fields, then
// eight bytes as they are) in registry form, upper case; "" when fewer than 16 bytes are given.
std::string GuidText(std::string_view packet);

} // namespace qb
