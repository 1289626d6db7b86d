#pragma once

#include "inventory/rating_source.h"
#include "knowledge/cached_profile.h"
#include "knowledge/entry_table.h"
#include "knowledge/pattern_table.h"
#include "platform/file_system.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace qb {

// What the tool knows about programs, from four files in its own directory:
// - "st.dat", the main table: sections named by an entry name, or by an entry name, "|" and the target's
//   file name ("Foo|FOO.EXE"); read once, at construction, so later edits to it are not seen.
// - "sn.dat", sections named by an entry name; "fn.dat", sections named by the target's upper-case file
//   name; "sp.dat", wildcard rules (PatternTable). These three are read through the profile functions'
//   rules and checked at every lookup that reaches them, so an edit shows at the next lookup (within a
//   load, LoadScope, at the first lookup of the load: an edit shows at the next load).
// Every section may hold "Confirmed" (a RatingLetter) and "Description" (HTML shown unescaped on the
// information page). Missing or unreadable files behave as files without sections. Read-only.
class ProgramDatabase : public RatingSource {
public:
    explicit ProgramDatabase(FileSystem& files);

    // The rating stored under "Confirmed" (see RatingFromLetter). The first non-empty value decides even
    // when it is no rating letter, so a stray value in an early table hides a good one in a later table.
    // Answers are kept until one of the re-read tables changes: a reload rates its unchanged entries
    // without searching again.
    Rating LookupRating(std::string_view name, std::string_view command) override;

    // The description for a list row, never empty: "Unknown Application" when nothing is found. The
    // command cell may begin with the invalid-path marker; when the marker occurs anywhere in it, the
    // first 14 characters are dropped.
    std::string LookupDescription(std::string_view caption, std::string_view commandCell);

    // The same two for an entry whose name no longer says which program it runs: its command changed since
    // the user accepted it, and the name still belongs to the program that was there. Only what names the
    // program now running is looked up: the main table under name|file name, fn.dat under the file name,
    // and the rules by the file name.
    Rating LookupCommandRating(std::string_view name, std::string_view command);
    std::string LookupCommandDescription(std::string_view caption, std::string_view commandCell);

    // The first non-empty value of the key from, in order: the main table under the name, the main table
    // under name|file name, sn.dat under the name, fn.dat under the file name (skipped when the command
    // gives no file name), and the rules. The name is used as given; the empty text when nothing is found.
    std::string LookupValue(std::string_view name, std::string_view command, std::string_view key);

    // The rules of sp.dat alone; see PatternTable::SearchPatterns.
    std::string SearchPatterns(std::string_view name, std::string_view fileName, std::string_view key);

private:
    // The description lookup differs from the rating lookup in one step: with an empty file name it still
    // reads fn.dat, under the empty section name.
    enum class EmptyFileName { Skip, Read };
    // Whether the lookups keyed by the entry's name alone (the main table's and sn.dat's sections of a name,
    // the rules' name patterns) count.
    enum class ByName { Yes, No };
    std::string Search(std::string_view name, std::string_view command, std::string_view key,
                       EmptyFileName emptyFileName, ByName byName = ByName::Yes);

    // Brings the three re-read tables up to date; when one of them changed, forgets the ratings they gave
    // and says so.
    bool RefreshTables();
    // The main table under the name, then under name|file name.
    std::string_view MainTableValue(std::string_view name, std::string_view fileName,
                                    std::string_view key) const;
    // sn.dat, fn.dat (not for an empty file name) and the rules, as they are now.
    std::string TablesValue(std::string_view name, std::string_view fileName, std::string_view key) const;

    EntryTable entries_;
    CachedProfile names_;
    CachedProfile fileNames_;
    PatternTable patterns_;
    struct KeptRating {
        Rating rating = Rating::Unknown;
        bool fromMainTable = false; // else from the tables read again, and kept only while they are unchanged
    };
    // Ratings by name and command (joined by a NUL, which neither holds).
    std::unordered_map<std::string, KeptRating> ratings_;
};

} // namespace qb
