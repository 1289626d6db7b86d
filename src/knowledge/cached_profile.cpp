#include "knowledge/cached_profile.h"

#include "platform/text.h"

namespace qb {

CachedProfile::CachedProfile(FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}

bool CachedProfile::Refresh() {
    const bool due = freshness_.Due(); // counted as this load's check even when the file is read anyway
    if (current_ && !due) {
        return false; // checked already in this load
    }
    // The stamp is taken before the read: a change that lands in between leaves a stamp older than the
    // content, which costs one more read later, never a stale document.
    std::optional<FileStamp> stamp = files_.Stamp(path_);
    if (current_ && stamp == stamp_) {
        return false;
    }
    std::optional<std::string> content;
    if (stamp) {
        content = files_.ReadFile(path_);
    }
    document_ = content ? ProfileDocument::Parse(*content) : ProfileDocument();
    stamp_ = stamp;
    current_ = content.has_value() || !stamp.has_value();
    return true;
}

std::string CachedProfile::Value(std::string_view section, std::string_view key) const {
    const std::optional<std::string> value = document_.Find(section, key);
    return value ? CutAtCharBoundary(*value, kValueLimit) : std::string();
}

} // namespace qb
