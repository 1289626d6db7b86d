#pragma once

#include "platform/file_system.h"
#include "platform/load_scope.h"
#include "platform/profile_text.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// A profile file read through the profile functions' rules, kept parsed between lookups. Each Refresh
// checks the file's stamp once and reads and parses it again only when it changed, appeared or went
// away, so an edit shows at the next lookup without the file being read for every one. Within a load
// (LoadScope) the stamp is checked at the load's first Refresh only.
class CachedProfile {
public:
    // GetPrivateProfileString fills a buffer of 2048 characters, NUL included.
    static constexpr std::size_t kValueLimit = 2047;

    CachedProfile(FileSystem& files, std::string path);

    // Brings the document up to date with the file; true when it was replaced. A missing or unreadable
    // file reads as one without sections; an unreadable one is tried again at the next refresh.
    bool Refresh();

    const ProfileDocument& Document() const { return document_; }
    // The value as the profile functions return it (trimmed, one pair of enclosing quotes dropped, at most
    // kValueLimit bytes); the empty text when the section or the key is missing.
    std::string Value(std::string_view section, std::string_view key) const;

private:
    FileSystem& files_;
    std::string path_;
    std::optional<FileStamp> stamp_;
    bool current_ = false; // document_ holds what stamp_ describes
    FreshnessCheck freshness_;
    ProfileDocument document_;
};

} // namespace qb
