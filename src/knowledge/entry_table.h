#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qb {

// The main table of the program database, parsed whole once and held in memory. Its reading is the
// tool's own, not the profile functions': no quotes are removed and no value is cut.
//
// - CR, LF and CRLF end a line; a UTF-8 byte order mark at the start is dropped. Every line is trimmed of
//   blanks and tabs; empty lines and lines beginning with ";" are skipped.
// - A line beginning with "[" and ending with "]" opens a section named by what lies between, trimmed.
// - Any other line holding "=" is a key: the trimmed text before the first "=" names it, the trimmed rest
//   is its value. Keys above the first section header, and lines without "=", are ignored.
// - Section and key names match without regard to case; the first section of a name counts (keys under a
//   later header of the same name are not seen), and within it the first key of a name.
// - The section name a caller gives is used as given, not trimmed: " Foo" does not find [Foo].
class EntryTable {
public:
    EntryTable() = default;
    static EntryTable Parse(std::string_view content);

    // The value, or the empty text when the section or the key is missing.
    std::string_view Value(std::string_view section, std::string_view key) const;
    std::size_t SectionCount() const { return sections_.size(); }

private:
    using Keys = std::unordered_map<std::string, std::string>; // upper-cased key name -> value
    std::unordered_map<std::string, Keys> sections_;           // upper-cased section name -> keys
};

} // namespace qb
