#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qb {

// Text is UTF-8 throughout (the tool's ANSI code page). These helpers are the only place that knows it.

// Cuts text to at most maxBytes bytes without splitting a UTF-8 sequence.
std::string CutAtCharBoundary(std::string_view text, std::size_t maxBytes);

// The one upper-case mapping of the tool, as Windows' CharUpperBuffW maps each letter of the Basic
// Multilingual Plane: one letter for one, no special casing ("ß" stays, "ς" stays). A few letters (IPA
// small letters, U+2C65, U+2C66) take another number of bytes in UTF-8 when upper-cased, so positions in
// the result hold in the original only for ASCII text; AsciiUpperCase keeps every byte in its place.
// Broken UTF-8 keeps its bytes.
std::string UpperCase(std::string_view text);
char32_t UpperCaseLetter(char32_t letter);
// Only a..z upper-cased: positions found in the result hold in the original.
std::string AsciiUpperCase(std::string_view text);

// Comparison as Windows compares registry, file and profile names.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// The text without the blanks and tabs at either end.
std::string_view TrimBlanks(std::string_view text);
bool LessIgnoreCase(std::string_view a, std::string_view b);

struct LessIgnoreCaseOrder {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return LessIgnoreCase(a, b); }
};

// Invalid UTF-8 becomes U+FFFD; unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Little-endian UTF-16 bytes, as files store them.
std::string Utf16LeBytes(std::u16string_view text);
std::u16string FromUtf16LeBytes(std::string_view bytes);

} // namespace qb
