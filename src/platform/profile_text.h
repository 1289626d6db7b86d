#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qb {

// Profile (INI) file content read and written as the Windows profile functions do, on text in memory.
//
// How a file reads:
// - CR, LF and CRLF all end a line, mixed freely. A UTF-8 byte order mark at the very start is not part of
//   the first line. NUL bytes are ordinary characters.
// - A section header is `[` after optional blanks, with the name up to the last `]` on the line, trimmed
//   (`[a]b]` names `a]b`); the rest of the line is ignored. A `[` line without any `]` is no header: it
//   reads like any other line, so the keys after it stay in the section before it.
// - A key line is any other line holding `=`: the name is what stands before the first `=`, the value what
//   follows, both trimmed of blanks and tabs. A line without `=` is no key. `;` starts no comment: `;x=1`
//   is the key `;x`, as GetPrivateProfileString finds it by that name.
// - Keys above the first header belong to the section "". When the file also has an explicit `[]` header,
//   "" means that section instead: Windows reads the `[]` section and Wine the keys above (Wine's own
//   conformance test marks its answer as wrong), and we follow Windows.
// - Only the first of sections with the same name counts; within it the first of keys with the same name.
// - Names match without regard to case (qb::UpperCase); names given by callers are trimmed first.

// A parsed profile file for repeated lookups: a lookup costs a hash probe, not a scan of the file.
class ProfileDocument {
public:
    static ProfileDocument Parse(std::string_view content);

    // The value as GetPrivateProfileString gives it: trimmed, and one enclosing pair of equal quotes
    // (' or ") dropped, so `"x'`, `"open` and `a"b"c` stay as written. Not cut to any length; the caller
    // caps it. An empty value (`key=`) is "", not nullopt; nullopt means the section or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // An empty section (a header with no key below it) exists.
    bool HasSection(std::string_view section) const;
    // The sections a lookup can reach, in file order: a name appears once, spelled as in the file at the
    // occurrence that lookups use. "" is listed when the file has keys above the first header or a `[]`.
    std::vector<std::string> SectionNames() const;
    // The keys a lookup can reach in that section, in file order, each once, spelled as at its first
    // occurrence; empty when the section is missing. A key line with nothing before `=` lists as "".
    std::vector<std::string> KeyNames(std::string_view section) const;

    // The parsed form, which ProfileBuild assembles too.
    struct Key {
        std::string name;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
        std::unordered_map<std::string, std::size_t> keyIndex; // upper-cased name -> keys
    };

private:
    const Section* FindSection(std::string_view section) const;

    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> sectionIndex_; // upper-cased name -> sections_
};

// One lookup without building a document; the same answer as ProfileDocument::Parse(content).Find(…).
std::optional<std::string> ProfileLookup(std::string_view content, std::string_view section,
                                         std::string_view key);

// WritePrivateProfileString applied to a file's content; returns the new content. As Windows does, every
// byte outside the lines that must change is kept (line ends, blank lines, spacing, a byte order mark):
// - a key that exists (first occurrence, any letter case) has its line rewritten as `Key=value`, keeping
//   the key's spelling in the file and the line's own line end;
// - a missing key goes on a new line after the last non-blank line of its section, so blank lines that
//   separate it from the next header stay below the new key; a section with only its header gets the key
//   right below the header;
// - a missing section is appended at the end of the file as `[section]` and `key=value`, after a CRLF when
//   the content does not end with a line end, with no blank line before it; empty content (or a lone byte
//   order mark) becomes `[section]\r\nkey=value\r\n`.
// New lines end in CRLF. The section and key names are trimmed, the value is written as given, and a key
// holding `=` is written as is (it reads back as the shorter key, as on Windows). The caller keeps CR and
// LF out of names and values: they would be written as is and start new lines.
std::string ProfileUpdate(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view value);

// The text to write for a value so that GetPrivateProfileString (and ProfileDocument::Find) gives back
// exactly `value`: the value itself when reading keeps it, otherwise the value in one more pair of double
// quotes. Reading drops blanks around a value and one enclosing pair of equal quotes, so a command such as
// `"C:\Program Files\a.exe" -x "y z"` or ` lead` would come back changed; wrapped, it comes back whole.
// Files written without the wrapping read as they always did.
std::string ProfileQuoted(std::string_view value);

struct ProfileEntry;

// The entries written one after another with ProfileUpdate, in one pass over the content: the same bytes,
// at a cost linear in the content and the entries rather than their product, for a backup of thousands of
// keys written over an older file. Entries whose names follow rules of their own (a key holding `=` or
// opening with `[`, an empty section or key name) are left to ProfileUpdate one at a time.
std::string ProfileUpdateAll(std::string_view content, const std::vector<ProfileEntry>& entries);

// A new file made by writing the entries one after another into empty content, as ProfileUpdate would,
// built in one pass: sections in the order they first appear, each key once (the spelling it first came
// with, the value it last got).
std::string ProfileBuild(const std::vector<ProfileEntry>& entries);

} // namespace qb
