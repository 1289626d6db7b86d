#include "platform/contract/contract_backend.h"
#include "platform/failure_cause.h"
#include "platform/platform_error.h"
#include "support/paths.h"

#include <algorithm>
#include <gmock/gmock.h>

namespace qb::test {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

std::string PlatformErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const PlatformError& error) {
        return error.what();
    }
    return {};
}

TEST_P(RegistryContract, MissingKeyDoesNotOpenAndIsNotCreated) {
    const std::string key = backend->ScratchKey() + "\\Missing\\Deeper";
    EXPECT_EQ(backend->Reg().OpenForReading(HKCU, key), nullptr);
    EXPECT_EQ(backend->Reg().OpenForWriting(HKCU, key, false), nullptr);
    EXPECT_EQ(backend->Reg().OpenForReading(HKCU, key), nullptr);
}

// A refused call keeps its cause, so that the user reads why and not only that it failed.
TEST_P(RegistryContract, AFailedCallTellsWhy) {
    const std::string base = backend->ScratchKey();
    SetLastFailure(FailureCause::Unknown);
    EXPECT_EQ(backend->Reg().OpenForWriting(HKCU, base + "\\Missing", false), nullptr);
    EXPECT_EQ(LastFailure(), FailureCause::NotFound);
    auto key = backend->Reg().OpenForWriting(HKCU, base, true);
    ASSERT_NE(key, nullptr);
    SetLastFailure(FailureCause::Unknown);
    EXPECT_FALSE(key->DeleteValue("Absent"));
    EXPECT_EQ(LastFailure(), FailureCause::NotFound);
    SetLastFailure(FailureCause::Unknown);
    EXPECT_FALSE(backend->Reg().DeleteKey(HKCU, base + "\\Missing"));
    EXPECT_EQ(LastFailure(), FailureCause::NotFound);
    if (auto standardUser = backend->StandardUserRegistry()) {
        SetLastFailure(FailureCause::Unknown);
        EXPECT_EQ(standardUser->OpenForWriting(HKLM, "SOFTWARE", false), nullptr);
        EXPECT_EQ(LastFailure(), FailureCause::AccessDenied);
    }
}

// Every refusal sets a cause of its own: a caller that reads it right after the call never reads the reason
// of an earlier call (here a stale "in use"), also when the refusal is thrown as the platform's error.
TEST_P(RegistryContract, ARefusalNeverTellsAnEarlierCallsCause) {
    const std::string base = backend->ScratchKey();
    ASSERT_NE(backend->Reg().OpenForWriting(HKCU, base, true), nullptr);
    auto readOnly = backend->Reg().OpenForReading(HKCU, base);
    auto writable = backend->Reg().OpenForWriting(HKCU, base, false);
    ASSERT_TRUE(readOnly && writable);
    const struct {
        const char* what;
        std::function<void()> refused;
        FailureCause cause;
    } cases[] = {
        {"a value written through a key opened for reading",
         [&] { EXPECT_NE(PlatformErrorOf([&] { readOnly->WriteString("Value", "x"); }), ""); },
         FailureCause::AccessDenied},
        {"a value deleted through a key opened for reading",
         [&] { EXPECT_FALSE(readOnly->DeleteValue("Value")); }, FailureCause::AccessDenied},
        {"a missing subkey deleted", [&] { EXPECT_FALSE(writable->DeleteSubkey("Missing")); },
         FailureCause::NotFound},
        {"a subkey deleted through a key opened for reading",
         [&] { EXPECT_FALSE(readOnly->DeleteSubkey("Missing")); }, FailureCause::AccessDenied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastFailure(FailureCause::InUse);
        c.refused();
        EXPECT_EQ(LastFailure(), c.cause);
    }
}

TEST_P(RegistryContract, OpeningForWritingCreatesEveryMissingKeyAlongThePath) {
    const std::string base = backend->ScratchKey();
    ASSERT_NE(backend->Reg().OpenForWriting(HKCU, base + "\\One\\Two\\Three", true), nullptr);
    EXPECT_NE(backend->Reg().OpenForReading(HKCU, base + "\\One"), nullptr);
    EXPECT_NE(backend->Reg().OpenForReading(HKCU, base + "\\one\\TWO\\three"), nullptr); // any case
}

TEST_P(RegistryContract, EnumeratesEveryValueAndSubkeysSortedWithoutRegardToCase) {
    const std::string base = backend->ScratchKey();
    auto key = backend->Reg().OpenForWriting(HKCU, base, true);
    ASSERT_NE(key, nullptr);
    key->WriteString("Zulu", "z");
    key->WriteString("alpha", "a");
    key->WriteInteger("Mike", 7);
    key->WriteString("", "default");
    for (const char* sub : {"beta", "Alpha", "charlie"}) {
        ASSERT_NE(backend->Reg().OpenForWriting(HKCU, base + "\\" + sub, true), nullptr);
    }
    // Windows keeps values in the order they were stored and Wine sorts them: only the set is common.
    EXPECT_THAT(key->ValueNames(), UnorderedElementsAre("Zulu", "alpha", "Mike", ""));
    EXPECT_THAT(key->SubkeyNames(), ElementsAre("Alpha", "beta", "charlie"));
}

struct ReadCase {
    const char* label;
    std::optional<RegistryValue> stored; // nullopt: the value is missing
    bool readInteger;
    std::string expectedText;
    std::uint32_t expectedNumber;
    std::string expectedError;
};

TEST_P(RegistryContract, ReadsGiveTheTextOrNumberOrTheExactError) {
    const ReadCase cases[] = {
        {"plain string", RegistryValue::String("C:\\App\\app.exe /min"), false, "C:\\App\\app.exe /min", 0,
         ""},
        {"expandable string stays unexpanded", RegistryValue::ExpandString("%windir%\\x.exe"), false,
         "%windir%\\x.exe", 0, ""},
        {"empty string", RegistryValue::String(""), false, "", 0, ""},
        {"missing string reads empty", std::nullopt, false, "", 0, ""},
        {"dword as string", RegistryValue::Dword(5), false, "", 0, "Invalid data type for 'v'"},
        {"binary as string", RegistryValue::Binary(std::string("\x01\x00\x02", 3)), false, "", 0,
         "Invalid data type for 'v'"},
        {"multi-string as string", RegistryValue::MultiString({"a", "b"}), false, "", 0,
         "Invalid data type for 'v'"},
        {"dword", RegistryValue::Dword(0xDEADBEEF), true, "", 0xDEADBEEF, ""},
        {"missing integer", std::nullopt, true, "", 0, "Failed to get data for 'v'"},
        {"string as integer", RegistryValue::String("42"), true, "", 0, "Invalid data type for 'v'"},
        {"qword as integer", RegistryValue::Qword(1), true, "", 0, "Invalid data type for 'v'"},
    };
    const std::string base = backend->ScratchKey();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto key = backend->Reg().OpenForWriting(HKCU, base + "\\" + c.label, true);
        ASSERT_NE(key, nullptr);
        if (c.stored) {
            key->WriteValue("v", *c.stored);
        }
        std::string text;
        std::uint32_t number = 0;
        const std::string error = PlatformErrorOf([&] {
            if (c.readInteger) {
                number = key->ReadInteger("v");
            } else {
                text = key->ReadString("v");
            }
        });
        EXPECT_EQ(error, c.expectedError);
        EXPECT_EQ(text, c.expectedText);
        EXPECT_EQ(number, c.expectedNumber);
    }
}

TEST_P(RegistryContract, EveryValueTypeComesBackAsWritten) {
    const RegistryValue values[] = {
        RegistryValue::String("plain"),
        RegistryValue::String("Zürich – 東京"),
        RegistryValue::ExpandString("%ProgramFiles%\\App\\app.exe"),
        RegistryValue::Dword(0),
        RegistryValue::Dword(0xFFFFFFFF),
        RegistryValue::Qword(0x0123456789ABCDEFULL),
        RegistryValue::MultiString({"first", "second", "Zürich"}),
        RegistryValue::Binary(std::string("\x00\x01\xFE\xFF", 4)),
        RegistryValue::Binary(""),
    };
    auto key = backend->Reg().OpenForWriting(HKCU, backend->ScratchKey(), true);
    ASSERT_NE(key, nullptr);
    int i = 0;
    for (const auto& value : values) {
        const std::string name = "value" + std::to_string(i++);
        SCOPED_TRACE(name);
        key->WriteValue(name, value);
        EXPECT_EQ(key->ReadValue(name), value);
    }
}

TEST_P(RegistryContract, WritingReplacesAValueWhateverTheCaseOfItsName) {
    auto key = backend->Reg().OpenForWriting(HKCU, backend->ScratchKey(), true);
    ASSERT_NE(key, nullptr);
    key->WriteString("Alpha", "one");
    key->WriteString("ALPHA", "two");
    EXPECT_EQ(key->ReadString("alpha"), "two");
    EXPECT_THAT(key->ValueNames(), ElementsAre("Alpha")); // the stored spelling stays
    key->WriteInteger("alpha", 3);
    EXPECT_EQ(key->ReadInteger("Alpha"), 3u);
}

TEST_P(RegistryContract, AKeyOpenedForReadingCannotBeWritten) {
    const std::string base = backend->ScratchKey();
    ASSERT_NE(backend->Reg().OpenForWriting(HKCU, base, true), nullptr);
    auto key = backend->Reg().OpenForReading(HKCU, base);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(PlatformErrorOf([&] { key->WriteString("Name", "x"); }), "Failed to set data for 'Name'");
    EXPECT_FALSE(key->ValueExists("Name"));
}

TEST_P(RegistryContract, DeletingAValueRemovesOnlyThatValue) {
    auto key = backend->Reg().OpenForWriting(HKCU, backend->ScratchKey(), true);
    ASSERT_NE(key, nullptr);
    key->WriteString("keep", "1");
    key->WriteString("drop", "2");
    EXPECT_TRUE(key->DeleteValue("DROP"));
    EXPECT_FALSE(key->DeleteValue("drop"));
    EXPECT_THAT(key->ValueNames(), ElementsAre("keep"));
}

TEST_P(RegistryContract, TheUnnamedDefaultValueIsAValueLikeAnyOther) {
    auto key = backend->Reg().OpenForWriting(HKCU, backend->ScratchKey(), true);
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->ValueExists(""));
    key->WriteString("", "C:\\default.exe");
    EXPECT_TRUE(key->ValueExists(""));
    EXPECT_EQ(key->ReadString(""), "C:\\default.exe");
    EXPECT_THAT(key->ValueNames(), ElementsAre(""));
}

TEST_P(RegistryContract, DeletingAKeyRemovesEverythingBeneathIt) {
    const std::string base = backend->ScratchKey();
    for (const char* path : {"\\Tree\\A\\Deep", "\\Tree\\B", "\\Other"}) {
        auto key = backend->Reg().OpenForWriting(HKCU, base + path, true);
        ASSERT_NE(key, nullptr);
        key->WriteString("v", "x");
    }
    // Relative to an open key...
    auto parent = backend->Reg().OpenForWriting(HKCU, base, false);
    ASSERT_NE(parent, nullptr);
    EXPECT_TRUE(parent->DeleteSubkey("Tree\\A"));
    EXPECT_EQ(backend->Reg().OpenForReading(HKCU, base + "\\Tree\\A\\Deep"), nullptr);
    EXPECT_NE(backend->Reg().OpenForReading(HKCU, base + "\\Tree\\B"), nullptr);
    // ...and from the root.
    EXPECT_TRUE(backend->Reg().DeleteKey(HKCU, base + "\\Tree"));
    EXPECT_EQ(backend->Reg().OpenForReading(HKCU, base + "\\Tree"), nullptr);
    EXPECT_NE(backend->Reg().OpenForReading(HKCU, base + "\\Other"), nullptr);
    EXPECT_FALSE(backend->Reg().DeleteKey(HKCU, base + "\\Tree"));
}

TEST_P(RegistryContract, AStandardUserReadsButCannotChangeTheMachineHive) {
    const std::string base = backend->ScratchKey();
    {
        auto key = backend->Reg().OpenForWriting(HKLM, base, true);
        ASSERT_NE(key, nullptr);
        key->WriteString("Agent", "C:\\agent.exe");
    }
    auto user = backend->StandardUserRegistry();
    if (!user) {
        GTEST_SKIP() << "this backend cannot act as a standard user";
    }
    auto readable = user->OpenForReading(HKLM, base);
    ASSERT_NE(readable, nullptr);
    EXPECT_EQ(readable->ReadString("Agent"), "C:\\agent.exe");
    EXPECT_EQ(user->OpenForWriting(HKLM, base, false), nullptr);
    EXPECT_EQ(user->OpenForWriting(HKLM, base + "\\New", true), nullptr);
    EXPECT_FALSE(user->DeleteKey(HKLM, base));
    EXPECT_NE(user->OpenForWriting(HKCU, base, true), nullptr);
    EXPECT_NE(backend->Reg().OpenForReading(HKLM, base), nullptr);
}

} // namespace qb::test
