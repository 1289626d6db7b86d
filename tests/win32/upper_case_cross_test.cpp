// The tool's one upper-case mapping against the one Windows uses for names (CharUpperBuffW), over every
// character of the Basic Multilingual Plane.

#include "platform/text.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace qb {

TEST(UpperCaseCross, EveryCharacterOfTheBmpMapsAsCharUpperBuffWMapsIt) {
    int checked = 0;
    int changed = 0;
    for (char32_t c = 1; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue; // halves of surrogate pairs are no characters of their own
        }
        WCHAR unit = static_cast<WCHAR>(c);
        ASSERT_EQ(::CharUpperBuffW(&unit, 1), 1u);
        const char32_t windows = unit;
        ++checked;
        changed += windows != c ? 1 : 0;
        // Both the letter function and the text function, which goes through UTF-8.
        ASSERT_EQ(UpperCaseLetter(c), windows) << std::hex << static_cast<unsigned>(c);
        const std::string text = Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(c)));
        ASSERT_EQ(UpperCase(text), Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(windows))))
            << std::hex << static_cast<unsigned>(c);
    }
    EXPECT_EQ(checked, 0xFFFF - 0x800);
    EXPECT_GT(changed, 1000); // Latin, Greek, Cyrillic, Armenian, Georgian, Glagolitic, ... not just ASCII
}

} // namespace qb
