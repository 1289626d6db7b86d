#include "platform/platform_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_registry.h"
#include "win32/win32_backend.h"

#include <gmock/gmock.h>

namespace qb::test {

using ::testing::UnorderedElementsAreArray;

namespace {
constexpr auto HKCU = RegistryRoot::CurrentUser;

// Stores raw bytes with RegSetValueExA, past the backend, as another program may.
void StoreRaw(const std::string& keyPath, const char* name, DWORD type, std::string_view bytes) {
    win32::RegistryKeyHandle key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_SET_VALUE, key.Receive()),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}
} // namespace

// The first read guesses a small buffer; these take several rounds of ERROR_MORE_DATA.
TEST(Win32Registry, LargeValuesReadBackWhole) {
    Win32Backend backend;
    auto key = backend.Reg().OpenForWriting(HKCU, backend.ScratchKey(), true);
    ASSERT_NE(key, nullptr);
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "Zü東"; // one, two and three UTF-8 bytes for one UTF-16 unit each
    }
    std::string bytes;
    for (int i = 0; i < 300000; ++i) {
        bytes.push_back(static_cast<char>(i * 7));
    }
    const RegistryValue values[] = {
        RegistryValue::String(text),
        RegistryValue::ExpandString("%SystemRoot%\\" + text),
        RegistryValue::MultiString({text, "second", text}),
        RegistryValue::Binary(bytes),
    };
    int i = 0;
    for (const auto& value : values) {
        const std::string name = "large" + std::to_string(i++);
        SCOPED_TRACE(name);
        key->WriteValue(name, value);
        EXPECT_TRUE(key->ReadValue(name) == value);
    }
}

TEST(Win32Registry, LongAndNonAsciiNamesEnumerateWhole) {
    Win32Backend backend;
    const std::string base = backend.ScratchKey();
    auto key = backend.Reg().OpenForWriting(HKCU, base, true);
    ASSERT_NE(key, nullptr);
    std::string longName;
    for (int i = 0; i < 3000; ++i) {
        longName += "東"; // 3000 UTF-16 units, 9000 UTF-8 bytes
    }
    const std::vector<std::string> names = {"plain", "Zürich – 東京", longName, "emoji 😀"};
    for (const auto& name : names) {
        key->WriteString(name, name);
    }
    EXPECT_THAT(key->ValueNames(), UnorderedElementsAreArray(names));
    for (const auto& name : names) {
        EXPECT_EQ(key->ReadString(name), name);
    }
    // 100 UTF-16 units, 300 UTF-8 bytes. (Wine's ANSI registry functions refuse key paths longer than
    // 260 characters, so the longest name Windows allows, 255, cannot be tried under a scratch key.)
    std::string subkey;
    for (int i = 0; i < 100; ++i) {
        subkey += "東";
    }
    ASSERT_NE(backend.Reg().OpenForWriting(HKCU, base + "\\" + subkey, true), nullptr);
    EXPECT_EQ(backend.Reg().OpenForReading(HKCU, base)->SubkeyNames(), std::vector<std::string>{subkey});
}

// Other programs store strings without their terminator, or with text after it.
TEST(Win32Registry, StringsEndAtTheirFirstTerminator) {
    Win32Backend backend;
    const std::string keyPath = backend.ScratchKey();
    auto key = backend.Reg().OpenForWriting(HKCU, keyPath, true);
    ASSERT_NE(key, nullptr);
    StoreRaw(keyPath, "bare", REG_SZ, "C:\\bare.exe");
    StoreRaw(keyPath, "tail", REG_EXPAND_SZ, std::string("%x%\\a.exe\0junk", 14));
    StoreRaw(keyPath, "odd", 0x1234, "opaque");
    EXPECT_EQ(key->ReadString("bare"), "C:\\bare.exe");
    EXPECT_EQ(key->ReadString("tail"), "%x%\\a.exe");
    const auto odd = key->ReadValue("odd");
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(static_cast<std::uint32_t>(odd->type), 0x1234u);
    EXPECT_EQ(odd->data, "opaque");
    EXPECT_EQ(PlatformErrorOf([&] { key->ReadString("odd"); }), "Invalid data type for 'odd'");
}

TEST(Win32Registry, AKeyOpenedForReadingChangesNothing) {
    Win32Backend backend;
    const std::string base = backend.ScratchKey();
    {
        auto key = backend.Reg().OpenForWriting(HKCU, base + "\\Child", true);
        ASSERT_NE(key, nullptr);
        key->WriteString("v", "x");
    }
    auto key = backend.Reg().OpenForReading(HKCU, base);
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->DeleteSubkey("Child"));
    EXPECT_NE(backend.Reg().OpenForReading(HKCU, base + "\\Child"), nullptr);
    auto child = backend.Reg().OpenForReading(HKCU, base + "\\Child");
    EXPECT_FALSE(child->DeleteValue("v"));
    EXPECT_TRUE(child->ValueExists("v"));
}

TEST(Win32Registry, NamesHoldingANulAreRefused) {
    Win32Backend backend;
    auto key = backend.Reg().OpenForWriting(HKCU, backend.ScratchKey(), true);
    ASSERT_NE(key, nullptr);
    const std::string name("a\0b", 3);
    EXPECT_THROW(key->WriteString(name, "x"), PlatformError);
    EXPECT_FALSE(key->ValueExists("a")); // not cut short and written as "a"
    EXPECT_EQ(backend.Reg().OpenForWriting(HKCU, backend.ScratchKey() + std::string("\0x", 2), true),
              nullptr);
}

} // namespace qb::test

namespace qb::test {

// What Windows (and Wine, in a 64-bit prefix) does with the 32-bit view: the machine's SOFTWARE keys have a
// copy of their own under WOW6432Node; HKEY_CURRENT_USER and Policies are shared.
TEST(Win32Registry, TheThirtyTwoBitViewIsTheWow6432NodeCopyOfTheMachinesKeys) {
    constexpr auto HKLM = RegistryRoot::LocalMachine;
    const std::string key = "SOFTWARE\\QuillbrookViewTest";
    const std::string wowKey = "SOFTWARE\\WOW6432Node\\QuillbrookViewTest";
    win32::Win32Registry registry;
    registry.DeleteKey(HKLM, key);
    registry.DeleteKey(HKLM, key, RegistryView::Wow32);

    auto wow = registry.OpenForWriting(HKLM, key + "\\Run", true, RegistryView::Wow32);
    ASSERT_NE(wow, nullptr);
    wow->WriteString("Old32", "a.exe");
    wow.reset();
    EXPECT_EQ(registry.OpenForReading(HKLM, key + "\\Run"), nullptr); // not in the native view
    auto seen = registry.OpenForReading(HKLM, wowKey + "\\Run");
    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(seen->ValueExists("Old32"));
    seen.reset();

    // RegDeleteKey could not reach it; the view's delete does, and leaves the native view alone.
    registry.OpenForWriting(HKLM, key + "\\Native", true)->WriteString("Stays", "b.exe");
    EXPECT_TRUE(registry.DeleteKey(HKLM, key, RegistryView::Wow32));
    EXPECT_EQ(registry.OpenForReading(HKLM, wowKey), nullptr);
    EXPECT_NE(registry.OpenForReading(HKLM, key + "\\Native"), nullptr);
    EXPECT_TRUE(registry.DeleteKey(HKLM, key));
}

} // namespace qb::test
