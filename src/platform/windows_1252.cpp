#include "platform/windows_1252.h"

#include "platform/text.h"

#include <array>

namespace qb {

namespace {

char16_t FromWindows1252(unsigned char c) {
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return (c >= 0x80 && c < 0xA0) ? kHigh[c - 0x80] : static_cast<char16_t>(c);
}

} // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::u16string wide;
    wide.reserve(bytes.size());
    for (const char c : bytes) {
        wide.push_back(FromWindows1252(static_cast<unsigned char>(c)));
    }
    return Utf16ToUtf8(wide);
}

std::string Utf8ToWindows1252(std::string_view text) {
    std::string out;
    for (const char16_t unit : Utf8ToUtf16(text)) {
        char byte = '?';
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            byte = static_cast<char>(unit);
        } else {
            for (unsigned char c = 0x80; c < 0xA0; ++c) {
                if (FromWindows1252(c) == unit) {
                    byte = static_cast<char>(c);
                    break;
                }
            }
        }
        out.push_back(byte);
    }
    return out;
}

} // namespace qb
