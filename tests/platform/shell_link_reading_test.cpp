// The shortcut reader against links built byte by byte: what Windows makes of counts, item lists, data
// blocks and names that no writer of ours produces.
#include "platform/known_folders.h"
#include "platform/link_bytes.h"
#include "platform/shell_link.h"

#include <gtest/gtest.h>
#include <map>

namespace qb {
namespace {

using namespace test::lnk;

constexpr std::uint32_t kIdListFlag = 0x1, kLinkInfoFlag = 0x2, kName = 0x4, kRelative = 0x8, kWorkDir = 0x10,
                        kArgs = 0x20, kIcon = 0x40, kUnicode = 0x80, kExpString = 0x200;
constexpr std::string_view kNetwork = "{208D2C60-3AEA-1069-A2D7-08002B30309D}";
constexpr std::string_view kControlPanel = "{21EC2020-3AEA-1069-A2DD-08002B30309D}";

// A machine whose folders differ from where the items say they were.
ShellLinkContext Machine(std::string linkFolder = "C:\\Links") {
    ShellLinkContext context;
    context.linkFolder = std::move(linkFolder);
    context.knownFolderPath = [](std::string_view id) -> std::optional<std::string> {
        static const std::map<std::string_view, std::string> kFolders = {
            {folder_id::kDesktop, "C:\\Users\\Ann\\Desktop"},
            {folder_id::kProfile, "C:\\Users\\Ann"},
            {folder_id::kWindows, "C:\\Windows"},
            {folder_id::kDocuments, "D:\\Docs"},
            {folder_id::kProgramFiles, "C:\\Program Files"},
        };
        const auto found = kFolders.find(id);
        return found == kFolders.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    return context;
}

std::string Target(const std::string& bytes, const ShellLinkContext& context = Machine()) {
    const auto link = DecodeShellLink(bytes, context);
    EXPECT_TRUE(link.has_value()) << link.problem;
    return link ? link->targetPath : "(refused)";
}

// Header + item list + data blocks, nothing else.
std::string ItemsOnly(const std::string& idList, const std::string& blocks = {}) {
    return Header(kIdListFlag | kUnicode) + idList + blocks + Le32(0);
}

TEST(ShellLinkReading, OverlongCountsAreReadAsWindowsReadsThem) {
    // The over-long field holds 260 characters, then what Windows reads as the next field: its count and
    // its text. A reader that honours the count would take the hidden arguments for part of the name.
    const std::u16string hidden = u"/c start evil.exe";
    const std::u16string head(260, u'n');
    const std::string overlong = Le16(static_cast<std::uint16_t>(260 + 1 + hidden.size())) + Utf16(head) +
                                 Le16(static_cast<std::uint16_t>(hidden.size())) + Utf16(hidden);
    const struct {
        const char* what;
        std::uint32_t flags;
        std::string strings;
        ShellLinkData expected;
    } cases[] = {
        {"name hides the arguments",
         kName | kArgs,
         overlong,
         {"", "", "", "/c start evil.exe", std::string(260, 'n'), "", 0, 1, 0}},
        {"relative path hides the working folder",
         kRelative | kWorkDir,
         overlong,
         {"C:\\Links\\" + std::string(260, 'n'), std::string(260, 'n'), "/c start evil.exe", "", "", "", 0, 1,
          0}},
        {"working folder hides the arguments",
         kWorkDir | kArgs,
         overlong,
         {"", "", std::string(260, 'n'), "/c start evil.exe", "", "", 0, 1, 0}},
        {"arguments are read whole",
         kArgs | kIcon,
         Le16(300) + Utf16(std::u16string(300, u'a')) + Le16(4) + Utf16(u"i.ic"),
         {"", "", "", std::string(300, 'a'), "", "i.ic", 0, 1, 0}},
        // The count claims more than the file holds; Windows never reads past 260 characters.
        {"icon location is cut too",
         kIcon,
         Le16(270) + Utf16(std::u16string(260, u'i')),
         {"", "", "", "", "", std::string(260, 'i'), 0, 1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto link = DecodeShellLink(Header(c.flags | kUnicode) + c.strings + Le32(0), Machine());
        ASSERT_TRUE(link.has_value()) << link.problem;
        EXPECT_EQ(*link, c.expected);
    }
    // ANSI strings are capped the same way, in bytes.
    const std::string ansi = Le16(265) + std::string(260, 'd') + Le16(3) + "/go";
    const auto link = DecodeShellLink(Header(kName | kArgs) + ansi + Le32(0));
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->description, std::string(260, 'd'));
    EXPECT_EQ(link->arguments, "/go");
}

TEST(ShellLinkReading, ItemListsResolveThroughTheSystemsFolders) {
    const std::string myComputer = GuidItem(root_id::kMyComputer);
    const std::string tools = NamedItem("Tools", u"Tools", true);
    const std::string app = NamedItem("app.exe", u"app.exe");
    const struct {
        const char* what;
        std::string idList;
        const char* target;
    } cases[] = {
        {"a file item first: on the Desktop", IdList({app}), "C:\\Users\\Ann\\Desktop\\app.exe"},
        {"My Computer and a drive", IdList({myComputer, DriveItem('C'), tools, app}), "C:\\Tools\\app.exe"},
        {"My Computer and a known folder", IdList({myComputer, GuidItem(folder_id::kDocuments, 0x2E), app}),
         "D:\\Docs\\app.exe"},
        {"the user's files", IdList({GuidItem(root_id::kUsersFiles), tools, app}),
         "C:\\Users\\Ann\\Tools\\app.exe"},
        {"a known folder as root", IdList({GuidItem(folder_id::kWindows), app}), "C:\\Windows\\app.exe"},
        {"a drive item first", IdList({DriveItem('E'), app}), "E:\\app.exe"},
        {"a drive alone", IdList({myComputer, DriveItem('C')}), "C:\\"},
        {"the network", IdList({GuidItem(kNetwork), app}), ""},
        {"the control panel", IdList({GuidItem(kControlPanel), app}), ""},
        {"a known folder this machine lacks", IdList({GuidItem(folder_id::kFonts), app}), ""},
        {"My Computer alone", IdList({myComputer}), ""},
        {"an empty list", IdList({}), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Target(ItemsOnly(c.idList)), c.target);
    }
}

TEST(ShellLinkReading, FolderBlocksReRootTheListAtTheFoldersCurrentPlace) {
    const std::string myComputer = GuidItem(root_id::kMyComputer);
    const std::string oldWindows = NamedItem("OldWin", u"OldWin", true);
    const std::string app = NamedItem("app.exe", u"app.exe");
    const std::string list = IdList({myComputer, DriveItem('C'), oldWindows, app});
    const auto appOffset = static_cast<std::uint32_t>(myComputer.size() + 0x19 + oldWindows.size());
    const auto endOffset = static_cast<std::uint32_t>(appOffset + app.size());
    const struct {
        const char* what;
        std::string blocks;
        bool withLinkInfo;
        const char* target;
    } cases[] = {
        {"known folder block", KnownFolderBlock(folder_id::kWindows, appOffset), false,
         "C:\\Windows\\app.exe"},
        {"known folder block over LinkInfo", KnownFolderBlock(folder_id::kWindows, appOffset), true,
         "C:\\Windows\\app.exe"},
        {"special folder block (CSIDL_PROFILE)", SpecialFolderBlock(0x28, appOffset), false,
         "C:\\Users\\Ann\\app.exe"},
        {"known folder before special folder",
         SpecialFolderBlock(0x28, appOffset) + KnownFolderBlock(folder_id::kWindows, appOffset), false,
         "C:\\Windows\\app.exe"},
        {"the folder itself", KnownFolderBlock(folder_id::kWindows, endOffset), false, "C:\\Windows"},
        {"an offset inside an item", KnownFolderBlock(folder_id::kWindows, appOffset + 1), false,
         "C:\\OldWin\\app.exe"},
        {"a folder this machine lacks", KnownFolderBlock(folder_id::kFonts, appOffset), false,
         "C:\\OldWin\\app.exe"},
        {"a CSIDL without a folder", SpecialFolderBlock(0x03, appOffset), true, "C:\\OldWin\\app.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = c.withLinkInfo ? Header(kIdListFlag | kLinkInfoFlag | kUnicode) + list +
                                                       LinkInfo("C:\\OldWin\\app.exe") + c.blocks + Le32(0)
                                                 : ItemsOnly(list, c.blocks);
        EXPECT_EQ(Target(bytes), c.target);
    }
}

TEST(ShellLinkReading, LinkInfoGivesWayToTheItemListOnlyWhenItIsAGuess) {
    const std::string list =
        IdList({GuidItem(root_id::kMyComputer), DriveItem('C'), NamedItem("ZRICH~1", u"Z\u00fcrich", true),
                NamedItem("app.exe", u"app.exe")});
    const std::uint32_t both = kIdListFlag | kLinkInfoFlag | kUnicode;
    const struct {
        const char* what;
        std::string bytes;
        const char* target;
    } cases[] = {
        {"ANSI beyond ASCII: the item list",
         Header(both) + list + LinkInfo("C:\\Z\xFCrich\\app.exe") + Le32(0), "C:\\Z\u00fcrich\\app.exe"},
        {"plain ASCII: LinkInfo", Header(both) + list + LinkInfo("C:\\Other\\app.exe") + Le32(0),
         "C:\\Other\\app.exe"},
        {"no item list: the guess", Header(kLinkInfoFlag | kUnicode) + LinkInfo("C:\\Z\xE9\\a.exe") + Le32(0),
         "C:\\Z\u00e9\\a.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Target(c.bytes), c.target);
    }
}

TEST(ShellLinkReading, RelativePathsResolveAgainstTheLinksFolder) {
    const struct {
        const char* folder;
        const char* relative;
        const char* target;
    } cases[] = {
        {"C:\\Links", "..\\Tools\\a.exe", "C:\\Tools\\a.exe"},
        {"C:\\Links", ".\\a.exe", "C:\\Links\\a.exe"},
        {"C:\\Links\\Deep", "..\\..\\..\\..\\a.exe", "C:\\a.exe"},
        {"C:\\Links", "\\a.exe", "C:\\a.exe"},
        {"C:\\Links", "D:\\b.exe", "D:\\b.exe"},
        {"\\\\server\\share\\links", "..\\..\\x.exe", "\\\\server\\share\\x.exe"},
        {"", "..\\a.exe", "..\\a.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.relative);
        const std::u16string relative(c.relative, c.relative + std::char_traits<char>::length(c.relative));
        const std::string bytes = Header(kRelative | kUnicode) +
                                  Le16(static_cast<std::uint16_t>(relative.size())) + Utf16(relative) +
                                  Le32(0);
        const auto link = DecodeShellLink(bytes, Machine(c.folder));
        ASSERT_TRUE(link.has_value());
        EXPECT_EQ(link->targetPath, c.target);
        EXPECT_EQ(link->relativePath, c.relative);
    }
}

TEST(ShellLinkReading, FileItemNamesStayInsideTheirItem) {
    const struct {
        const char* what;
        std::string item;
        const char* target;
    } cases[] = {
        {"long name without terminator ends at the block's offset",
         FileItem("APP~1.EXE" + std::string(1, '\0'), Utf16(u"app.exe")), "C:\\app.exe"},
        {"primary name without terminator ends at the block",
         FileItem("APP.EXE", Utf16(u"\u0001bad") + Le16(0)), "C:\\APP.EXE"},
        {"primary name without terminator or block ends with the item", FileItem("RUN.EXE", ""),
         "C:\\RUN.EXE"},
        {"long name with a control character: the primary name",
         FileItem("OK.EXE" + std::string(1, '\0'), Utf16(u"o\u001bk.exe") + Le16(0)), "C:\\OK.EXE"},
        {"no usable name at all", FileItem(std::string("A\x07") + '\0', ""), ""},
        {"a C1 control from the code page", FileItem(std::string("A\x81.EXE") + '\0', ""), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Target(ItemsOnly(IdList({DriveItem('C'), c.item}))), c.target);
    }
}

TEST(ShellLinkReading, TheEnvironmentBlockCountsOnlyWhenTheLinkSaysSo) {
    const std::string block = EnvironmentBlock("%ProgramFiles%\\a.exe", u"%ProgramFiles%\\\u00e4.exe");
    const std::string info = LinkInfo("C:\\Old\\a.exe");
    const std::uint32_t flags = kLinkInfoFlag | kUnicode;
    const struct {
        const char* what;
        std::string bytes;
        const char* target;
    } cases[] = {
        {"flag and block", Header(flags | kExpString) + info + block + Le32(0), "%ProgramFiles%\\\u00e4.exe"},
        {"block without the flag", Header(flags) + info + block + Le32(0), "C:\\Old\\a.exe"},
        {"flag without a block", Header(flags | kExpString) + info + Le32(0), "C:\\Old\\a.exe"},
        {"flag and an empty block", Header(flags | kExpString) + info + EnvironmentBlock("", u"") + Le32(0),
         "C:\\Old\\a.exe"},
        {"ANSI form only", Header(kExpString | kUnicode) + EnvironmentBlock("%windir%\\b.exe", u"") + Le32(0),
         "%windir%\\b.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Target(c.bytes), c.target);
    }
}

} // namespace
} // namespace qb
