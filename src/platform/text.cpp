#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace qb {

namespace {

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

char32_t Replacement() {
    return 0xFFFD;
}

// Decodes one code point at text[i], advancing i; malformed input yields U+FFFD and skips one byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07u;
    } else {
        ++i;
        return Replacement();
    }
    if (i + length > text.size()) {
        ++i;
        return Replacement();
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if (!IsContinuation(c)) {
            ++i;
            return Replacement();
        }
        cp = (cp << 6) | (c & 0x3Fu);
    }
    const bool overlong =
        (length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return Replacement();
    }
    i += length;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

std::string CutAtCharBoundary(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return std::string(text);
    }
    std::size_t end = maxBytes;
    // Step back over continuation bytes so that the cut falls before a lead byte.
    while (end > 0 && IsContinuation(static_cast<unsigned char>(text[end]))) {
        --end;
    }
    return std::string(text.substr(0, end));
}

namespace {

struct CaseRun {
    char16_t first;  // the first small letter of the run
    std::uint16_t count;
    std::int32_t delta; // capital minus small
    std::uint16_t step; // 1, or 2 where small and capital letters alternate
};

// Every letter of the Basic Multilingual Plane that CharUpperBuffW changes, as runs sorted by first letter.
constexpr CaseRun kCaseRuns[] = {
#include "platform/upper_case_table.inc"
};

} // namespace

char32_t UpperCaseLetter(char32_t letter) {
    if (letter < 0x80) {
        return letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter;
    }
    if (letter > 0xFFFF) {
        return letter;
    }
    const auto next = std::upper_bound(std::begin(kCaseRuns), std::end(kCaseRuns), letter,
                                       [](char32_t c, const CaseRun& run) { return c < run.first; });
    if (next == std::begin(kCaseRuns)) {
        return letter;
    }
    const CaseRun& run = *(next - 1);
    const char32_t offset = letter - run.first;
    if (offset % run.step != 0 || offset / run.step >= run.count) {
        return letter;
    }
    return static_cast<char32_t>(static_cast<std::int32_t>(letter) + run.delta);
}

std::string UpperCase(std::string_view text) {
    // Most text is ASCII: it is copied whole and changed in place up to the first byte that is not.
    std::string out(text);
    std::size_t i = 0;
    for (; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 0x80) {
            break;
        }
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    if (i == out.size()) {
        return out;
    }
    out.resize(i);
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c));
            ++i;
            continue;
        }
        const std::size_t start = i;
        const char32_t letter = DecodeUtf8(text, i);
        const char32_t capital = UpperCaseLetter(letter);
        if (capital != letter) {
            AppendUtf8(out, capital);
        } else {
            out.append(text.substr(start, i - start)); // a broken sequence keeps its bytes
        }
    }
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string AsciiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

namespace {
unsigned char FoldAscii(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}
} // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    const auto ascii = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
            return FoldAscii(x) == FoldAscii(y);
        })) {
        return true;
    }
    if (a.size() != b.size() && ascii(a) && ascii(b)) {
        return false; // a few letters change their length in UTF-8 when upper-cased; ASCII never does
    }
    return UpperCase(a) == UpperCase(b);
}

bool LessIgnoreCase(std::string_view a, std::string_view b) {
    const std::string ua = UpperCase(a);
    const std::string ub = UpperCase(b);
    return std::lexicographical_compare(ua.begin(), ua.end(), ub.begin(), ub.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char32_t cp = DecodeUtf8(text, i);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t cp =
                0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, Replacement());
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::string Utf16LeBytes(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

std::u16string FromUtf16LeBytes(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return out;
}

} // namespace qb
