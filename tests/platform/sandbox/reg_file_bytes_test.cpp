// Values nobody changed leave the store as they came in, whatever their bytes.

#include "platform/sandbox/reg_file.h"
#include "platform/text.h"
#include "support/sandbox_root.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>
#include <variant>

namespace qb::sandbox {
namespace {

using namespace std::string_literals;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

std::string Utf16File(std::string_view utf8) {
    return "\xFF\xFE"s + Utf16LeBytes(Utf8ToUtf16(utf8));
}

std::string FileText(std::string_view bytes) {
    return Utf16ToUtf8(FromUtf16LeBytes(bytes.substr(2)));
}

// Text values whose bytes are no clean UTF-16 string: an odd length, lone surrogates, a NUL only, none.
const std::string kOddValues[] = {
    "\"odd\"=hex(1):41,00,42", "\"lone\"=hex(1):00,d8,41,00,00,00", "\"nul\"=hex(1):00,00",
    "\"none\"=hex(1):",        "\"exp\"=hex(2):00,dc,00,00",        "\"multi\"=hex(7):00,d8,00,00,00,00",
};

} // namespace

TEST(RegFileBytes, TextValuesAreWrittenBackAsTheyWereRead) {
    for (const std::string& line : kOddValues) {
        SCOPED_TRACE(line);
        const std::string file = kHeader + "[HKEY_CURRENT_USER\\Software\\T]\r\n" + line + "\r\n\r\n";
        auto parsed = ParseRegFile(Utf16File(file));
        ASSERT_TRUE(std::holds_alternative<RegNode>(parsed));
        RegNode& tree = std::get<RegNode>(parsed);
        EXPECT_NE(FileText(FormatRegFile(tree)).find("\r\n" + line + "\r\n"), std::string::npos);

        // Written anew, a value takes the form the writer gives what it now holds.
        RegNode* key = tree.FindPath("HKEY_CURRENT_USER\\Software\\T");
        ASSERT_NE(key, nullptr);
        const std::string name = line.substr(1, line.find('"', 1) - 1);
        key->SetValue(name, RegistryValue::String("new"));
        EXPECT_NE(FileText(FormatRegFile(tree)).find("\r\n\"" + name + "\"=\"new\"\r\n"), std::string::npos);
    }
}

// The registry service rewrites its whole file for one change: the keys it did not touch keep their bytes.
TEST(RegFileBytes, AChangeElsewhereLeavesOddValuesAsTheyWere) {
    test::SandboxRoot root;
    std::string file = kHeader + "[HKEY_CURRENT_USER\\Software\\T]\r\n";
    for (const std::string& line : kOddValues) {
        file += line + "\r\n";
    }
    test::WriteText(root.Path() / "registry.reg", Utf16File(file + "\r\n"));
    const auto key =
        root.Services().registry.OpenForWriting(RegistryRoot::CurrentUser, "Software\\Other", true);
    ASSERT_TRUE(key);
    key->WriteValue("x", RegistryValue::String("y"));
    const std::string written = FileText(test::ReadText(root.Path() / "registry.reg"));
    for (const std::string& line : kOddValues) {
        EXPECT_NE(written.find("\r\n" + line + "\r\n"), std::string::npos) << line;
    }
}

} // namespace qb::sandbox
