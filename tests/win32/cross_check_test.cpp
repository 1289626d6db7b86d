// The sandbox's formats against the real programs that read and write them: shortcuts through the
// Windows shell, registry files through reg.exe. Under Wine these are Wine's own implementations.
#include "platform/sandbox/reg_file.h"
#include "platform/shell_link.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_handles.h"
#include "win32/child_process.h"
#include "win32/win32_backend.h"

#include <gtest/gtest.h>

namespace qb::test {

namespace {

constexpr auto HKCU = RegistryRoot::CurrentUser;

ShellLinkData Link(std::string target, std::string arguments, std::string description,
                   std::string workingDirectory = {}, std::string iconLocation = {}, int iconIndex = 0) {
    ShellLinkData link;
    link.targetPath = std::move(target);
    link.arguments = std::move(arguments);
    link.description = std::move(description);
    link.workingDirectory = std::move(workingDirectory);
    link.iconLocation = std::move(iconLocation);
    link.iconIndex = iconIndex;
    return link;
}

// Links of every kind the tool makes or meets.
std::vector<ShellLinkData> LinkCases(const std::string& folder) {
    return {
        Link("C:\\windows\\notepad.exe", "", "Shortcut created by Quillbrook"),
        Link("C:\\windows\\system32\\cmd.exe", "/k echo \"quoted words\"", "with arguments", "C:\\windows",
             "C:\\windows\\system32\\shell32.dll", 3),
        Link(JoinPath(folder, "Program Files\\My App\\run me.exe"), "--start", "spaces in the path"),
        Link(JoinPath(folder, "Zürich Tools\\app.exe"), "--stadt=Zürich", "Zürich – 日本"),
        Link("C:\\No Such Folder\\gone.exe", "--quiet", "a target that is gone"),
    };
}

void ExpectSameLink(const ShortcutInfo& loaded, const ShellLinkData& link) {
    // The shell may give the target in its 8.3 form.
    EXPECT_TRUE(EqualsIgnoreCase(loaded.target, link.targetPath) ||
                loaded.target.find('~') != std::string::npos)
        << loaded.target;
    EXPECT_EQ(loaded.arguments, link.arguments);
    EXPECT_EQ(loaded.description, link.description);
    EXPECT_EQ(loaded.workingDirectory, link.workingDirectory);
    EXPECT_EQ(loaded.iconLocation, link.iconLocation);
    EXPECT_EQ(loaded.iconIndex, link.iconIndex);
}

// What the Windows shell itself reads from a link file (IShellLinkW, IPersistFile::Load): the path of its
// item list, which Wine reads from the UTF-16 names (its GetPath converts LinkInfo's ANSI copy in this
// process's UTF-8 code page), and the strings. nullopt when the shell does not load the file.
std::optional<ShortcutInfo> LoadWithTheShell(const std::string& path) {
    win32::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.ReceiveVoid()))) {
        return std::nullopt;
    }
    const auto file = link.As<IPersistFile>(IID_IPersistFile);
    const std::u16string widePath = Utf8ToUtf16(path);
    if (!file || FAILED(file->Load(std::wstring(widePath.begin(), widePath.end()).c_str(), STGM_READ))) {
        return std::nullopt;
    }
    const auto utf8 = [](const wchar_t* text) {
        return Utf16ToUtf8(std::u16string(text, text + ::wcslen(text)));
    };
    ShortcutInfo info;
    wchar_t text[4096] = {};
    win32::ItemListHandle items;
    if (SUCCEEDED(link->GetIDList(items.Receive())) && ::SHGetPathFromIDListW(items.Get(), text)) {
        info.target = utf8(text);
    }
    text[0] = L'\0';
    link->GetArguments(text, 4096);
    info.arguments = utf8(text);
    text[0] = L'\0';
    link->GetDescription(text, 4096);
    info.description = utf8(text);
    text[0] = L'\0';
    link->GetWorkingDirectory(text, 4096);
    info.workingDirectory = utf8(text);
    text[0] = L'\0';
    link->GetIconLocation(text, 4096, &info.iconIndex);
    info.iconLocation = utf8(text);
    return info;
}

// reg.exe, the system's own.
ProgramOutput Reg(const std::string& arguments) {
    const auto result = RunProgram("reg.exe " + arguments);
    EXPECT_TRUE(result.has_value()) << "reg.exe " << arguments;
    return result.value_or(ProgramOutput{1, {}});
}

// The line reg query prints for a value: its name, its type, then its data.
std::string QueryLineOf(const std::string& output, const std::string& name) {
    std::size_t start = 0;
    while (start < output.size()) {
        const auto end = std::min(output.find('\n', start), output.size());
        std::string line = output.substr(start, end - start);
        start = end + 1;
        const auto first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line.compare(first, name.size() + 1, name + " ") == 0) {
            return line;
        }
    }
    return {};
}

struct TypedValue {
    const char* name;
    RegistryValue value;
    const char* regType; // as reg query names the type
};

std::vector<TypedValue> TypedValues() {
    return {
        {"Plain", RegistryValue::String("C:\\Program Files\\App\\app.exe /min"), "REG_SZ"},
        {"Expandable", RegistryValue::ExpandString("%SystemRoot%\\system32\\cmd.exe"), "REG_EXPAND_SZ"},
        {"Counter", RegistryValue::Dword(42), "REG_DWORD"},
        {"Big", RegistryValue::Qword(0x0123456789ABCDEFULL), "REG_QWORD"},
        {"List", RegistryValue::MultiString({"first", "second"}), "REG_MULTI_SZ"},
        {"Bytes", RegistryValue::Binary(std::string("\x00\x01\xFE\xFF", 4)), "REG_BINARY"},
        {"Quotes", RegistryValue::String("say \"hi\" \\ back"), "REG_SZ"},
        {"Umlaut", RegistryValue::String("Zürich – 東京"), "REG_SZ"},
    };
}

} // namespace

TEST(CrossCheck, LinksWrittenByTheSandboxLoadInTheWindowsShell) {
    Win32Backend backend;
    const std::string folder = backend.ScratchFolder();
    int i = 0;
    for (const auto& link : LinkCases(folder)) {
        SCOPED_TRACE(link.description);
        const std::string path = JoinPath(folder, "sandbox" + std::to_string(i++) + ".lnk");
        ASSERT_TRUE(backend.Files().WriteFile(path, EncodeShellLink(link)));
        const auto loaded = LoadWithTheShell(path);
        ASSERT_TRUE(loaded.has_value());
        ExpectSameLink(*loaded, link);
        // And the backend's own reader agrees.
        const auto read = backend.ShellService().LoadShortcut(path);
        ASSERT_TRUE(read.has_value()) << read.problem;
        ExpectSameLink(*read, link);
    }
}

TEST(CrossCheck, LinksSavedByTheWindowsShellDecodeInTheSandbox) {
    Win32Backend backend;
    const std::string folder = backend.ScratchFolder();
    int i = 0;
    for (const auto& link : LinkCases(folder)) {
        SCOPED_TRACE(link.description);
        const std::string path = JoinPath(folder, "shell" + std::to_string(i++) + ".lnk");
        ShortcutInfo info;
        info.target = link.targetPath;
        info.arguments = link.arguments;
        info.description = link.description;
        info.workingDirectory = link.workingDirectory;
        info.iconLocation = link.iconLocation;
        info.iconIndex = link.iconIndex;
        ASSERT_TRUE(backend.ShellService().SaveShortcut(path, info));
        const auto bytes = backend.Files().ReadFile(path);
        ASSERT_TRUE(bytes.has_value());
        const auto decoded = DecodeShellLink(*bytes);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_TRUE(EqualsIgnoreCase(decoded->targetPath, link.targetPath)) << decoded->targetPath;
        EXPECT_EQ(decoded->arguments, link.arguments);
        EXPECT_EQ(decoded->description, link.description);
        EXPECT_EQ(decoded->workingDirectory, link.workingDirectory);
        EXPECT_EQ(decoded->iconLocation, link.iconLocation);
        EXPECT_EQ(decoded->iconIndex, link.iconIndex);
    }
}

TEST(CrossCheck, ARegistryFileOfTheSandboxImportsWithRegAndKeepsEveryType) {
    Win32Backend backend;
    const std::string key = backend.ScratchKey();
    sandbox::RegNode tree;
    sandbox::RegNode& node = tree.CreatePath("HKEY_CURRENT_USER\\" + key + "\\Imported");
    for (const auto& v : TypedValues()) {
        node.SetValue(v.name, v.value);
    }
    node.SetValue("", RegistryValue::String("the default"));
    const std::string file = JoinPath(backend.ScratchFolder(), "registry.reg");
    ASSERT_TRUE(backend.Files().WriteFile(file, sandbox::FormatRegFile(tree)));

    const ProgramOutput imported = Reg("import \"" + file + "\"");
    ASSERT_EQ(imported.exitCode, 0u) << imported.output;

    auto opened = backend.Reg().OpenForReading(HKCU, key + "\\Imported");
    ASSERT_NE(opened, nullptr);
    for (const auto& v : TypedValues()) {
        SCOPED_TRACE(v.name);
        EXPECT_TRUE(opened->ReadValue(v.name) == v.value);
    }
    EXPECT_EQ(opened->ReadString(""), "the default");
}

TEST(CrossCheck, ValuesWeWriteShowInRegQueryWithTheirTypes) {
    Win32Backend backend;
    const std::string key = backend.ScratchKey();
    auto opened = backend.Reg().OpenForWriting(HKCU, key, true);
    ASSERT_NE(opened, nullptr);
    for (const auto& v : TypedValues()) {
        opened->WriteValue(v.name, v.value);
    }
    const ProgramOutput query = Reg("query \"HKCU\\" + key + "\"");
    ASSERT_EQ(query.exitCode, 0u) << query.output;
    for (const auto& v : TypedValues()) {
        SCOPED_TRACE(v.name);
        const std::string line = QueryLineOf(query.output, v.name);
        EXPECT_NE(line.find(std::string(" ") + v.regType + " "), std::string::npos) << line;
    }
    EXPECT_NE(QueryLineOf(query.output, "Counter").find("0x2a"), std::string::npos);
    EXPECT_NE(QueryLineOf(query.output, "Plain").find("C:\\Program Files\\App\\app.exe /min"),
              std::string::npos);
}

TEST(CrossCheck, AnExportOfRegReadsInTheSandboxWithEveryType) {
    Win32Backend backend;
    const std::string key = backend.ScratchKey();
    auto opened = backend.Reg().OpenForWriting(HKCU, key, true);
    ASSERT_NE(opened, nullptr);
    for (const auto& v : TypedValues()) {
        opened->WriteValue(v.name, v.value);
    }
    const std::string file = JoinPath(backend.ScratchFolder(), "export.reg");
    const ProgramOutput exported = Reg("export \"HKCU\\" + key + "\" \"" + file + "\"");
    ASSERT_EQ(exported.exitCode, 0u) << exported.output;
    const auto bytes = backend.Files().ReadFile(file);
    ASSERT_TRUE(bytes.has_value());

    auto parsed = sandbox::ParseRegFile(*bytes);
    ASSERT_TRUE(std::holds_alternative<sandbox::RegNode>(parsed))
        << std::get<sandbox::RegParseError>(parsed).message;
    const sandbox::RegNode* node = std::get<sandbox::RegNode>(parsed).FindPath("HKEY_CURRENT_USER\\" + key);
    ASSERT_NE(node, nullptr);
    for (const auto& v : TypedValues()) {
        SCOPED_TRACE(v.name);
        const RegistryValue* value = node->FindValue(v.name);
        ASSERT_NE(value, nullptr);
        EXPECT_TRUE(*value == v.value);
    }
}

} // namespace qb::test
