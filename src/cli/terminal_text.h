#pragma once

#include <string>
#include <string_view>

namespace qb::cli {

// A cell of the text table as a terminal can show it: control characters (C0, DEL, C1) and the marks
// that reorder a line (bidirectional overrides and isolates) written as escapes (\t, \r, \n, \xHH,
// \uHHHH), never raw, so a name cannot clear the screen, move the cursor or disguise what it says. Bytes
// that are not UTF-8 are escaped one by one.
std::string TerminalText(std::string_view text);

// The columns UTF-8 text takes in a terminal: two for each wide East Asian character (CJK ideographs,
// kana, Hangul syllables, full-width forms, most emoji), none for combining marks and zero-width
// characters, one for every other character. A byte that is not UTF-8 takes one.
std::size_t DisplayWidth(std::string_view text);

} // namespace qb::cli
