#include "platform/sandbox/reg_file.h"
#include "platform/text.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qb::sandbox {
namespace {

using namespace std::string_literals;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kTestKey = "[HKEY_CURRENT_USER\\Software\\T]\r\n";

std::string Utf16File(std::string_view utf8) {
    return "\xFF\xFE"s + Utf16LeBytes(Utf8ToUtf16(utf8));
}

// The formatted file as UTF-8 text, after checking its byte order mark.
std::string FileText(std::string_view bytes) {
    EXPECT_TRUE(bytes.starts_with("\xFF\xFE"));
    return Utf16ToUtf8(FromUtf16LeBytes(bytes.substr(2)));
}

RegNode ParseOk(std::string_view bytes) {
    auto result = ParseRegFile(bytes);
    if (const auto* error = std::get_if<RegParseError>(&result)) {
        ADD_FAILURE() << "line " << error->line << ": " << error->message;
        return RegNode();
    }
    return std::move(std::get<RegNode>(result));
}

RegNode EmptyRegistry() {
    RegNode root;
    root.CreatePath("HKEY_LOCAL_MACHINE");
    root.CreatePath("HKEY_CURRENT_USER");
    return root;
}

const RegNode& TestKey(const RegNode& root) {
    static const RegNode missing("missing");
    const RegNode* key = root.FindPath("HKEY_CURRENT_USER\\Software\\T");
    EXPECT_NE(key, nullptr);
    return key != nullptr ? *key : missing;
}

void ExpectRoundTrip(const RegNode& tree) {
    const std::string bytes = FormatRegFile(tree);
    const RegNode parsed = ParseOk(bytes);
    EXPECT_TRUE(parsed == tree) << FileText(bytes);
    EXPECT_EQ(FormatRegFile(parsed), bytes);
}

struct ValueCase {
    const char* behaviour;
    RegistryValue value;
};

const ValueCase kValueCases[] = {
    {"PlainString", RegistryValue::String("C:\\Program Files\\App\\app.exe /min")},
    {"EmptyString", RegistryValue::String("")},
    {"StringWithEscapes", RegistryValue::String("say \"hi\"\r\n\\ end\\")},
    {"StringWithNul", {ValueType::String, "a\0b"s}},
    {"StringEndingInNul", {ValueType::String, "a\0"s}},
    {"NonAsciiString", RegistryValue::String("Gr\xC3\xBC\xC3\x9F"
                                             "e \xE6\x97\xA5 \xF0\x9F\x98\x80")},
    {"ExpandString", RegistryValue::ExpandString("%SystemRoot%\\system32\\app.exe")},
    {"EmptyExpandString", RegistryValue::ExpandString("")},
    {"NonAsciiExpandString", RegistryValue::ExpandString("%APPDATA%\\\xC3\xA9t\xC3\xA9")},
    {"MultiString", RegistryValue::MultiString({"one", "zwei \xC3\xBC", "three"})},
    {"EmptyMultiString", RegistryValue::MultiString({})},
    {"MultiStringWithoutFinalNul", {ValueType::MultiString, "a\0b"s}},
    {"DwordZero", RegistryValue::Dword(0)},
    {"DwordHigh", RegistryValue::Dword(0xDEADBEEF)},
    {"DwordOfThreeBytes", {ValueType::Dword, "\x01\x02\x03"s}},
    {"DwordBigEndian", {ValueType::DwordBigEndian, "\x00\x00\x00\x2a"s}},
    {"Qword", RegistryValue::Qword(0x0102030405060708ULL)},
    {"EmptyBinary", RegistryValue::Binary("")},
    {"LongBinary", RegistryValue::Binary(std::string(300, '\xA5'))},
    {"NoneEmpty", {ValueType::None, ""}},
    {"NoneWithBytes", {ValueType::None, "\x00\xff"s}},
    {"Link", {ValueType::Link, "\x5c\x00\x52\x00"s}},
    {"ResourceList", {ValueType::ResourceList, std::string(90, '\x01')}},
    {"UnknownTypeNumber", {static_cast<ValueType>(0x1234abcd), "\xfe"s}},
    {"HighestTypeNumber", {static_cast<ValueType>(0xffffffff), ""}},
};

TEST(RegFile, EveryValueTypeRoundTripsInStoredOrder) {
    RegNode tree = EmptyRegistry();
    RegNode& key = tree.CreatePath("HKEY_CURRENT_USER\\Software\\T");
    for (const ValueCase& row : kValueCases) {
        key.SetValue(row.behaviour, row.value);
    }
    key.SetValue("", RegistryValue::String("")); // an empty default value, listed last on purpose
    ExpectRoundTrip(tree);
    const RegNode parsed = ParseOk(FormatRegFile(tree));
    for (const ValueCase& row : kValueCases) {
        SCOPED_TRACE(row.behaviour);
        const RegistryValue* value = TestKey(parsed).FindValue(row.behaviour);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, row.value);
    }
}

TEST(RegFile, OddNamesRoundTrip) {
    const char* const valueNames[] = {
        "a\"b",
        "back\\slash",
        "x=y",
        "]",
        "[k]",
        "Gr\xC3\xBC\xC3\x9F"
        "e",
        "\xF0\x9F\x98\x80",
        "  spaced  ",
        ";semi",
        "@",
        "-",
        "\"",
        "\\",
        "tab\tname",
        "line\r\nbreak",
        "hex:01",
    };
    const char* const keyNames[] = {
        "a]b", "[x]", "-dash", "\xC3\xA9", "semi;colon", " lead", "trail ", "=", "\"q\"", "@", "x]", "a[b",
    };
    RegNode tree = EmptyRegistry();
    for (const char* keyName : keyNames) {
        RegNode& key = tree.CreatePath("HKEY_CURRENT_USER\\Odd\\"s + keyName);
        for (const char* valueName : valueNames) {
            key.SetValue(valueName, RegistryValue::String(valueName));
            key.SetValue("bin "s + valueName, RegistryValue::Binary(std::string(40, '\x11')));
        }
    }
    ExpectRoundTrip(tree);
}

TEST(RegFile, EmptyKeysDeepPathsAndOtherHivesSurvive) {
    RegNode tree = EmptyRegistry();
    tree.CreatePath("HKEY_CURRENT_USER\\Empty\\Nested\\Leaf");
    tree.CreatePath("HKEY_USERS");
    tree.CreatePath("HKEY_CLASSES_ROOT\\.txt");
    std::string deep = "HKEY_LOCAL_MACHINE";
    for (std::size_t i = 0; i < kMaxKeyDepth; ++i) {
        deep += "\\k" + std::to_string(i);
    }
    tree.CreatePath(deep).SetValue("bottom", RegistryValue::Dword(1));
    tree.CreatePath("HKEY_CURRENT_USER\\" + std::string(kMaxKeyNameLength, 'n'));
    tree.FindSubkey("HKEY_LOCAL_MACHINE")->SetValue("on the hive", RegistryValue::String("x"));
    ExpectRoundTrip(tree);
    ExpectRoundTrip(EmptyRegistry());
}

TEST(RegFile, FormatsASmallFileByteForByte) {
    RegNode tree = EmptyRegistry();
    RegNode& key = tree.CreatePath("HKEY_CURRENT_USER\\Software\\Test");
    key.SetValue("", RegistryValue::String("d"));
    std::string blob;
    for (int i = 0; i < 30; ++i) {
        blob.push_back(static_cast<char>(i));
    }
    key.SetValue("Blob", RegistryValue::Binary(blob));
    key.SetValue("Path", RegistryValue::ExpandString("%SystemRoot%\\system32\\app.exe"));
    key.SetValue("Num", RegistryValue::Dword(0x2a));
    key.SetValue("Str", RegistryValue::String("a\"b\\c"));
    const std::string expected =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software]\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
        "@=\"d\"\r\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
        "  16,17,18,19,1a,1b,1c,1d\r\n"
        "\"Path\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,\\\r\n"
        "  00,25,00,5c,00,73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,5c,00,61,00,\\\r\n"
        "  70,00,70,00,2e,00,65,00,78,00,65,00,00,00\r\n"
        "\"Num\"=dword:0000002a\r\n"
        "\"Str\"=\"a\\\"b\\\\c\"\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE]\r\n"
        "\r\n";
    const std::string bytes = FormatRegFile(tree);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), "\xFF\xFEW\x00"s);
    EXPECT_EQ(bytes, Utf16File(expected));
    EXPECT_EQ(FileText(bytes), expected);
}

TEST(RegFile, FormatsEachTypeAsRegeditDoes) {
    struct Case {
        RegistryValue value;
        std::string line;
    };
    const Case cases[] = {
        {RegistryValue::String("x"), "\"v\"=\"x\""},
        {RegistryValue::String("\xC3\xA9"), "\"v\"=\"\xC3\xA9\""},
        {{ValueType::String, "a\0b"s}, "\"v\"=hex(1):61,00,00,00,62,00,00,00"},
        {RegistryValue::ExpandString(""), "\"v\"=hex(2):00,00"},
        {RegistryValue::MultiString({"a", "b"}), "\"v\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
        {RegistryValue::Dword(0x2a), "\"v\"=dword:0000002a"},
        {{ValueType::Dword, "\x01\x02"s}, "\"v\"=hex(4):01,02"},
        {RegistryValue::Qword(0x0102030405060708ULL), "\"v\"=hex(b):08,07,06,05,04,03,02,01"},
        {RegistryValue::Binary(""), "\"v\"=hex:"},
        {{ValueType::None, ""}, "\"v\"=hex(0):"},
        {{static_cast<ValueType>(0x1234abcd), "\xff"s}, "\"v\"=hex(1234abcd):ff"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.line);
        RegNode tree;
        tree.CreatePath("HKEY_CURRENT_USER\\K").SetValue("v", row.value);
        EXPECT_EQ(FileText(FormatRegFile(tree)),
                  kHeader + "[HKEY_CURRENT_USER\\K]\r\n" + row.line + "\r\n\r\n");
    }
}

TEST(RegFile, HexLinesStayWithinEightyColumns) {
    for (std::size_t nameLength = 0; nameLength < 70; ++nameLength) {
        SCOPED_TRACE(nameLength);
        RegNode tree = EmptyRegistry();
        tree.CreatePath("HKEY_CURRENT_USER\\K")
            .SetValue(std::string(nameLength, 'n'), RegistryValue::Binary(std::string(200, 'b')));
        const std::string bytes = FormatRegFile(tree);
        const std::string text = FileText(bytes);
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find("\r\n", start);
            const std::string line = text.substr(start, end - start);
            EXPECT_LE(line.size(), 80u) << line;
            if (line.ends_with(",\\")) {
                EXPECT_GE(line.size(), 78u) << line; // wrapped no earlier than regedit wraps
            }
            start = end + 2;
        }
        EXPECT_TRUE(ParseOk(bytes) == tree);
    }
}

TEST(RegFile, ReadsEveryEncodingAndLineEnd) {
    const std::string content = "Windows Registry Editor Version 5.00\n"
                                "\n"
                                "[HKEY_CURRENT_USER\\Software\\T]\n"
                                "\"Name\"=\"Gr\xC3\xBC\xC3\x9F"
                                "e \xF0\x9F\x98\x80\"\n"
                                "\"Exp\"=hex(2):25,00,41,00,25,00,00,00\n"
                                "\"Bin\"=hex:01,02,\\\n"
                                "  03\n";
    auto withLineEnd = [&content](std::string_view lineEnd) {
        std::string out;
        for (const char c : content) {
            out += c == '\n' ? std::string(lineEnd) : std::string(1, c);
        }
        return out;
    };
    const std::pair<const char*, std::string> variants[] = {
        {"Utf16Crlf", Utf16File(withLineEnd("\r\n"))},
        {"Utf16Lf", Utf16File(content)},
        {"Utf8BomCrlf", "\xEF\xBB\xBF" + withLineEnd("\r\n")},
        {"Utf8Lf", content},
        {"Utf8Cr", withLineEnd("\r")},
        {"NoFinalLineEnd", content.substr(0, content.size() - 1)},
    };
    for (const auto& [behaviour, bytes] : variants) {
        SCOPED_TRACE(behaviour);
        const RegNode tree = ParseOk(bytes);
        const RegNode& key = TestKey(tree);
        ASSERT_EQ(key.ValueCount(), 3u);
        EXPECT_EQ(*key.FindValue("name"), RegistryValue::String("Gr\xC3\xBC\xC3\x9F"
                                                                "e \xF0\x9F\x98\x80"));
        EXPECT_EQ(*key.FindValue("exp"), RegistryValue::ExpandString("%A%"));
        EXPECT_EQ(*key.FindValue("bin"), RegistryValue::Binary("\x01\x02\x03"));
    }
}

TEST(RegFile, ReadsRegedit4WithAnsiText) {
    const RegNode tree = ParseOk("REGEDIT4\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\T]\r\n"
                                 "\"Exp\"=hex(2):25,77,69,6e,64,69,72,25,00\r\n"
                                 "\"Multi\"=hex(7):61,00,62,00,00\r\n"
                                 "\"S\"=\"caf\xC3\xA9\"\r\n");
    const RegNode& key = TestKey(tree);
    EXPECT_EQ(*key.FindValue("Exp"), RegistryValue::ExpandString("%windir%"));
    EXPECT_EQ(*key.FindValue("Multi"), RegistryValue::MultiString({"a", "b"}));
    EXPECT_EQ(*key.FindValue("S"), RegistryValue::String("caf\xC3\xA9"));
}

TEST(RegFile, AcceptsWhatRegeditAccepts) {
    const RegNode tree = ParseOk(kHeader + "; a comment\r\n"
                                           "  [hkcu\\Software\\T]  \r\n"
                                           "\t\"a\" = \"x\" ; trailing comment\r\n"
                                           "  @ =  dword:2A\r\n"
                                           "\"b\"=hex:01,02, \\\r\n"
                                           "\t03,\\\r\n"
                                           "04 ; the end\r\n"
                                           "\"c\"=hex:\\\r\n"
                                           "  0f\r\n"
                                           "\"d\"=hex:1,2,\r\n"
                                           "\"e\"=hex(B):01,00,00,00,00,00,00,00\r\n"
                                           "\"\"=\"named default\"\r\n"
                                           "[HKLM\\Software\\X]\r\n"
                                           "[Hkey_Local_Machine\\SOFTWARE\\y]\r\n"
                                           "[HKEY_CURRENT_USER\\a]b]\r\n"
                                           "\"in bracket key\"=\"1\"\r\n"
                                           "[HKEY_CURRENT_USER\\\\double\\\\slash\\]\r\n");
    const RegNode& key = TestKey(tree);
    EXPECT_EQ(*key.FindValue("a"), RegistryValue::String("x"));
    EXPECT_EQ(*key.FindValue(""), RegistryValue::String("named default"));
    EXPECT_EQ(*key.FindValue("b"), RegistryValue::Binary("\x01\x02\x03\x04"));
    EXPECT_EQ(*key.FindValue("c"), RegistryValue::Binary("\x0f"));
    EXPECT_EQ(*key.FindValue("d"), RegistryValue::Binary("\x01\x02"));
    EXPECT_EQ(*key.FindValue("e"), RegistryValue::Qword(1));
    EXPECT_EQ(key.ValueCount(), 6u);
    EXPECT_EQ(tree.FindPath("HKEY_LOCAL_MACHINE\\Software")->Name(), "Software");
    EXPECT_NE(tree.FindPath("HKEY_LOCAL_MACHINE\\Software\\Y"), nullptr);
    const RegNode* bracketKey = tree.FindPath("HKEY_CURRENT_USER\\a]b");
    ASSERT_NE(bracketKey, nullptr);
    EXPECT_NE(bracketKey->FindValue("in bracket key"), nullptr);
    EXPECT_NE(tree.FindPath("HKEY_CURRENT_USER\\double\\slash"), nullptr);
    EXPECT_EQ(tree.SubkeyCount(), 2u);
}

TEST(RegFile, DeletionLinesRemoveKeysAndValues) {
    const RegNode tree = ParseOk(kHeader + "[HKEY_CURRENT_USER\\A\\B\\C]\r\n"
                                           "\"v\"=\"1\"\r\n"
                                           "[HKEY_CURRENT_USER\\A\\D]\r\n"
                                           "\"keep\"=\"1\"\r\n"
                                           "\"drop\"=\"2\"\r\n"
                                           "\"DROP\"=-\r\n"
                                           "\"never there\"=-\r\n"
                                           "[-HKEY_CURRENT_USER\\a\\b]\r\n"
                                           "[-HKEY_CURRENT_USER\\Missing\\Key]\r\n"
                                           "[-HKEY_USERS\\Missing]\r\n"
                                           "[HKEY_CURRENT_USER\\a\\d]\r\n"
                                           "\"after\"=\"3\"\r\n"
                                           "\"drop\"=\"again\"\r\n");
    const RegNode* a = tree.FindPath("HKEY_CURRENT_USER\\A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->SubkeyCount(), 1u);
    const RegNode* d = a->FindSubkey("D");
    ASSERT_NE(d, nullptr);
    std::vector<std::string> names;
    for (const auto& [name, value] : d->Values()) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"keep", "after", "drop"}));
    EXPECT_EQ(tree.FindSubkey("HKEY_USERS"), nullptr);
}

struct HostileCase {
    const char* behaviour;
    std::string bytes;
    int line;
    const char* message;
};

std::vector<HostileCase> HostileCases() {
    const std::string value = kHeader + kTestKey; // a value line in these is line 4
    std::string deep = "[HKEY_CURRENT_USER";
    for (std::size_t i = 0; i <= kMaxKeyDepth; ++i) {
        deep += "\\k";
    }
    deep += "]\r\n";
    std::string truncated = Utf16File(value + "\"a\"=\"b\"");
    truncated.pop_back();
    return {
        {"EmptyFile", "", 1, "missing header"},
        {"HeaderMissing", kTestKey, 1, "missing header"},
        {"BlankLineBeforeHeader", "\r\n" + kHeader, 1, "missing header"},
        {"WrongVersion", "Windows Registry Editor Version 4.00\r\n", 1, "missing header"},
        {"Utf16WithoutByteOrderMark", Utf16LeBytes(Utf8ToUtf16(kHeader)), 1, "missing header"},
        {"BigEndianUtf16", "\xFE\xFF\0W"s, 1, "big-endian"},
        {"TruncatedUtf16", truncated, 4, "middle of a character"},
        {"ValueBeforeKey", kHeader + "\"a\"=\"b\"\r\n", 3, "before any key"},
        {"ValueAfterDeletedKey", kHeader + "[-HKCU\\x]\r\n\"a\"=\"b\"\r\n", 4, "after a key deletion"},
        {"UnterminatedString", value + "\"a\"=\"b\r\n", 4, "unterminated string"},
        {"StringAcrossLines", value + "\"a\"=\"b\r\nc\"\r\n", 4, "unterminated string"},
        {"EscapeAtLineEnd", value + "\"a\"=\"b\\\r\n", 4, "unterminated string"},
        {"UnterminatedName", value + "\"a=\"b\r\n", 4, "expected '='"},
        {"UnterminatedBareName", value + "\"abc\r\n", 4, "unterminated value name"},
        {"UnknownEscape", value + "\"a\"=\"C:\\Windows\"\r\n", 4, "unknown escape '\\W'"},
        {"BadHexByte", value + "\"a\"=hex:01,zz\r\n", 4, "bad hex byte 'zz'"},
        {"HexByteOfThreeDigits", value + "\"a\"=hex:123,4\r\n", 4, "bad hex byte '123'"},
        {"HexByteWithJunk", value + "\"a\"=hex:01,0g\r\n", 4, "bad hex byte '0g'"},
        {"BlankInsideHexList", value + "\"a\"=hex:01, 02\r\n", 4, "blank inside a hex list"},
        {"BlankBeforeComma", value + "\"a\"=hex:01 ,02\r\n", 4, "blank inside a hex list"},
        {"BlankAfterColon", value + "\"a\"=hex: 01\r\n", 4, "blank inside a hex list"},
        {"ContinuationWithoutComma", value + "\"a\"=hex:01\\\r\n02\r\n", 4, "must follow a comma"},
        {"TextAfterContinuation", value + "\"a\"=hex:01,\\ 02\r\n", 4, "after the line continuation"},
        {"ContinuationPastEnd", value + "\"a\"=hex:01,\\\r\n", 4, "past the end of the file"},
        {"BadByteOnContinuationLine", value + "\"a\"=hex:01,\\\r\n  02,\\\r\n  x\r\n", 6, "bad hex byte 'x'"},
        {"KeyLineAsContinuation", value + "\"a\"=hex:01,\\\r\n[HKCU\\x]\r\n", 5, "bad hex byte '[HKCU"},
        {"BadTypeNumber", value + "\"a\"=hex(zz):01\r\n", 4, "bad value type"},
        {"TypeNumberTooLong", value + "\"a\"=hex(123456789):\r\n", 4, "bad value type"},
        {"UnclosedTypeNumber", value + "\"a\"=hex(2:01\r\n", 4, "bad value type"},
        {"MissingColon", value + "\"a\"=hex(2)01\r\n", 4, "expected ':'"},
        {"UpperCaseDword", value + "\"a\"=DWORD:1\r\n", 4, "lower-case"},
        {"UpperCaseHex", value + "\"a\"=HEX:01\r\n", 4, "lower-case"},
        {"DwordOfNineDigits", value + "\"a\"=dword:123456789\r\n", 4, "more than 8"},
        {"EmptyDword", value + "\"a\"=dword:\r\n", 4, "1 to 8 hex digits"},
        {"NegativeDword", value + "\"a\"=dword:-1\r\n", 4, "1 to 8 hex digits"},
        {"DwordWithJunk", value + "\"a\"=dword:12 34\r\n", 4, "unexpected text"},
        {"JunkAfterString", value + "\"a\"=\"b\" c\r\n", 4, "unexpected text"},
        {"JunkAfterDeletion", value + "\"a\"=- x\r\n", 4, "unexpected text"},
        {"GarbageLine", value + "hello\r\n", 4, "unrecognised line 'hello'"},
        {"MissingEquals", value + "\"a\" \"b\"\r\n", 4, "expected '='"},
        {"AtWithName", value + "@x=\"b\"\r\n", 4, "expected '=' after '@'"},
        {"MissingData", value + "\"a\"=\r\n", 4, "missing value data"},
        {"CommentInsteadOfData", value + "\"a\"= ;x\r\n", 4, "missing value data"},
        {"UnknownDataForm", value + "\"a\"=str(2):\"x\"\r\n", 4, "unrecognised value data"},
        {"KeyWithoutClosingBracket", kHeader + "[HKEY_CURRENT_USER\\x\r\n", 3, "without a closing"},
        {"TextAfterKey", kHeader + "[HKEY_CURRENT_USER\\x] ; c\r\n", 3, "after the key line"},
        {"UnknownRoot", kHeader + "[HKEY_NOWHERE\\x]\r\n", 3, "unknown root key 'HKEY_NOWHERE'"},
        {"RootWithLeadingBlank", kHeader + "[ HKCU\\x]\r\n", 3, "unknown root key"},
        {"EmptyKeyPath", kHeader + "[]\r\n", 3, "empty key path"},
        {"EmptyDeletionPath", kHeader + "[-]\r\n", 3, "empty key path"},
        {"LeadingBackslash", kHeader + "[\\HKCU\\x]\r\n", 3, "must start with a root key"},
        {"DeleteHive", kHeader + "[-HKEY_CURRENT_USER\\]\r\n", 3, "cannot be deleted"},
        {"KeyNameTooLong", kHeader + "[HKCU\\" + std::string(kMaxKeyNameLength + 1, 'k') + "]\r\n", 3,
         "longer than 255"},
        {"KeyPathTooDeep", kHeader + deep, 3, "deeper than 512"},
        {"ValueNameTooLong", value + "\"" + std::string(kMaxValueNameLength + 1, 'v') + "\"=\"x\"\r\n", 4,
         "longer than 16383"},
        {"NulInString", value + "\"a\"=\"b\0c\"\r\n"s, 4, "NUL character"},
        {"NulOnContinuationLine", value + "\"a\"=hex:01,\\\r\n0\0\r\n"s, 5, "NUL character"},
        {"HugeGarbageLine", value + std::string(1 << 20, 'x') + "\r\n", 4, "unrecognised line 'xxxx"},
    };
}

TEST(RegFile, HostileFilesAreRefusedWithTheirLine) {
    for (const HostileCase& row : HostileCases()) {
        SCOPED_TRACE(row.behaviour);
        const auto result = ParseRegFile(row.bytes);
        const auto* error = std::get_if<RegParseError>(&result);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->line, row.line) << error->message;
        EXPECT_NE(error->message.find(row.message), std::string::npos) << error->message;
        EXPECT_LT(error->message.size(), 160u);
    }
}

TEST(RegFile, LargeRegistryRoundTrips) {
    RegNode tree = EmptyRegistry();
    for (int k = 0; k < 2000; ++k) {
        RegNode& key = tree.CreatePath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" + std::to_string(k % 37) +
                                       "\\App" + std::to_string(k));
        for (int v = 0; v < 10; ++v) {
            const std::string name = "Value" + std::to_string((v * 7) % 10);
            switch (v % 4) {
            case 0:
                key.SetValue(
                    name, RegistryValue::String("C:\\Program Files\\App" + std::to_string(k) + "\\run.exe"));
                break;
            case 1:
                key.SetValue(name, RegistryValue::Dword(static_cast<std::uint32_t>(k * v)));
                break;
            case 2:
                key.SetValue(name, RegistryValue::Binary(std::string(static_cast<std::size_t>(k % 64), 'b')));
                break;
            default:
                key.SetValue(name, RegistryValue::MultiString({"a", std::to_string(k)}));
            }
        }
    }
    ExpectRoundTrip(tree);
}

TEST(RegFile, KeyWithManyValuesAndDeletionsParses) {
    std::string text = kHeader + kTestKey;
    constexpr int kValues = 20000;
    for (int i = 0; i < kValues; ++i) {
        text += "\"v" + std::to_string(i) + "\"=dword:" + std::to_string(i % 10) + "\r\n";
    }
    for (int i = 0; i < kValues; i += 2) {
        text += "\"V" + std::to_string(i) + "\"=-\r\n";
    }
    text += "\"v0\"=\"back\"\r\n";
    const RegNode tree = ParseOk(text);
    const RegNode& key = TestKey(tree);
    EXPECT_EQ(key.ValueCount(), static_cast<std::size_t>(kValues / 2 + 1));
    EXPECT_EQ(key.Values().begin()->first, "v1");
    EXPECT_EQ(*key.FindValue("v0"), RegistryValue::String("back"));
    EXPECT_EQ(key.FindValue("v2"), nullptr);
}

TEST(RegFile, HugeStringValueRoundTrips) {
    RegNode tree = EmptyRegistry();
    tree.CreatePath("HKEY_CURRENT_USER\\K").SetValue("big", RegistryValue::String(std::string(1 << 20, 'x')));
    tree.CreatePath("HKEY_CURRENT_USER\\K")
        .SetValue("blob", RegistryValue::Binary(std::string(1 << 18, '\x7f')));
    ExpectRoundTrip(tree);
}

} // namespace
} // namespace qb::sandbox
