#include "platform/profile_text.h"

#include "platform/profile_files.h"
#include "platform/text.h"

#include <algorithm>
#include <unordered_map>

namespace qb {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

// GetPrivateProfileString drops one pair of equal quotes that encloses the whole (trimmed) value; a lone
// quote character is a value of its own.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

enum class LineKind { Blank, Header, Key, Other };

struct Line {
    LineKind kind = LineKind::Other;
    std::size_t start = 0;  // first byte of the line
    std::size_t end = 0;    // past the line's text, before its line end
    std::size_t next = 0;   // past the line end; equal to end on a last line without one
    std::string_view name;  // section name of a header, key name of a key line
    std::string_view value; // trimmed, quotes kept
};

Line ClassifyLine(std::string_view content, std::size_t start, std::size_t end, std::size_t next) {
    Line line;
    line.start = start;
    line.end = end;
    line.next = next;
    const std::string_view text = TrimBlanks(content.substr(start, end - start));
    if (text.empty()) {
        line.kind = LineKind::Blank;
        return line;
    }
    if (text.front() == '[') {
        const std::size_t close = text.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Header;
            line.name = TrimBlanks(text.substr(1, close - 1));
            return line;
        }
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return line;
    }
    line.kind = LineKind::Key;
    line.name = TrimBlanks(text.substr(0, equals));
    line.value = TrimBlanks(text.substr(equals + 1));
    return line;
}

// Linear in the size of the content, however long its lines are.
std::vector<Line> ScanLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t pos = content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < content.size()) {
        std::size_t end = pos;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n') {
            ++end;
        }
        std::size_t next = end;
        if (next < content.size()) {
            next += (content[next] == '\r' && next + 1 < content.size() && content[next + 1] == '\n') ? 2 : 1;
        }
        lines.push_back(ClassifyLine(content, pos, end, next));
        pos = next;
    }
    return lines;
}

// The lines of one section: its header (or the headerless top of the file) up to the next header.
struct Span {
    std::string_view name;
    bool headerless = false;
    std::size_t first = 0; // the header line, or line 0 for the headerless top
    std::size_t last = 0;  // one past the section's last line
};

// The headerless top of the file is a section only when it holds a key.
std::vector<Span> SplitSections(const std::vector<Line>& lines) {
    std::vector<Span> spans;
    std::size_t topEnd = 0;
    bool topHasKey = false;
    while (topEnd < lines.size() && lines[topEnd].kind != LineKind::Header) {
        topHasKey = topHasKey || lines[topEnd].kind == LineKind::Key;
        ++topEnd;
    }
    if (topHasKey) {
        spans.push_back(Span{std::string_view(), true, 0, topEnd});
    }
    for (std::size_t i = topEnd; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Header) {
            if (!spans.empty() && !spans.back().headerless) {
                spans.back().last = i;
            }
            spans.push_back(Span{lines[i].name, false, i, lines.size()});
        }
    }
    return spans;
}

// The span a lookup of `section` (already trimmed) reads: the first header of that name; for "" with no
// `[]` header, the headerless top.
std::optional<std::size_t> ResolveSection(const std::vector<Span>& spans, std::string_view section) {
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (!spans[i].headerless && EqualsIgnoreCase(spans[i].name, section)) {
            return i;
        }
    }
    if (section.empty() && !spans.empty() && spans.front().headerless) {
        return 0;
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKeyLine(const std::vector<Line>& lines, const Span& span,
                                       std::string_view key) {
    for (std::size_t i = span.first; i < span.last; ++i) {
        if (lines[i].kind == LineKind::Key && EqualsIgnoreCase(lines[i].name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace

ProfileDocument ProfileDocument::Parse(std::string_view content) {
    const std::vector<Line> lines = ScanLines(content);
    const std::vector<Span> spans = SplitSections(lines);

    // Which span each name resolves to, decided before anything is copied; see ResolveSection.
    std::unordered_map<std::string, std::size_t> winner;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (!spans[i].headerless) {
            winner.emplace(UpperCase(spans[i].name), i);
        }
    }
    if (!spans.empty() && spans.front().headerless) {
        winner.emplace(std::string(), 0);
    }

    ProfileDocument document;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        std::string folded = UpperCase(spans[i].name);
        if (winner.at(folded) != i) {
            continue;
        }
        Section section;
        section.name = std::string(spans[i].name);
        for (std::size_t l = spans[i].first; l < spans[i].last; ++l) {
            const Line& line = lines[l];
            if (line.kind != LineKind::Key) {
                continue;
            }
            if (section.keyIndex.emplace(UpperCase(line.name), section.keys.size()).second) {
                section.keys.push_back(Key{std::string(line.name), std::string(Unquote(line.value))});
            }
        }
        document.sectionIndex_.emplace(std::move(folded), document.sections_.size());
        document.sections_.push_back(std::move(section));
    }
    return document;
}

const ProfileDocument::Section* ProfileDocument::FindSection(std::string_view section) const {
    const auto it = sectionIndex_.find(UpperCase(TrimBlanks(section)));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string> ProfileDocument::Find(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return std::nullopt;
    }
    const auto it = found->keyIndex.find(UpperCase(TrimBlanks(key)));
    if (it == found->keyIndex.end()) {
        return std::nullopt;
    }
    return found->keys[it->second].value;
}

bool ProfileDocument::HasSection(std::string_view section) const {
    return FindSection(section) != nullptr;
}

std::vector<std::string> ProfileDocument::SectionNames() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const Section& section : sections_) {
        names.push_back(section.name);
    }
    return names;
}

std::vector<std::string> ProfileDocument::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    if (const Section* found = FindSection(section)) {
        names.reserve(found->keys.size());
        for (const Key& key : found->keys) {
            names.push_back(key.name);
        }
    }
    return names;
}

std::optional<std::string> ProfileLookup(std::string_view content, std::string_view section,
                                         std::string_view key) {
    const std::vector<Line> lines = ScanLines(content);
    const std::vector<Span> spans = SplitSections(lines);
    const auto span = ResolveSection(spans, TrimBlanks(section));
    if (!span) {
        return std::nullopt;
    }
    const auto line = FindKeyLine(lines, spans[*span], TrimBlanks(key));
    if (!line) {
        return std::nullopt;
    }
    return std::string(Unquote(lines[*line].value));
}

std::string ProfileQuoted(std::string_view value) {
    if (Unquote(TrimBlanks(value)) == value) {
        return std::string(value);
    }
    return "\"" + std::string(value) + "\"";
}

std::string ProfileUpdate(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view value) {
    const std::string_view sectionName = TrimBlanks(section);
    const std::string_view keyName = TrimBlanks(key);
    const std::vector<Line> lines = ScanLines(content);
    const std::vector<Span> spans = SplitSections(lines);

    std::string out;
    out.reserve(content.size() + sectionName.size() + keyName.size() + value.size() + 8);
    const auto span = ResolveSection(spans, sectionName);
    if (!span) {
        out.append(content);
        const bool hasBody = content.size() > (content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0);
        if (hasBody && content.back() != '\r' && content.back() != '\n') {
            out.append(kLineEnd);
        }
        out.append("[").append(sectionName).append("]").append(kLineEnd);
        out.append(keyName).append("=").append(value).append(kLineEnd);
        return out;
    }

    if (const auto keyLine = FindKeyLine(lines, spans[*span], keyName)) {
        const Line& line = lines[*keyLine];
        out.append(content.substr(0, line.start));
        out.append(line.name).append("=").append(value);
        out.append(content.substr(line.end));
        return out;
    }

    // A headed section always has its header as a non-blank line; a headerless top exists only with a key.
    std::size_t last = spans[*span].first;
    for (std::size_t i = spans[*span].first; i < spans[*span].last; ++i) {
        if (lines[i].kind != LineKind::Blank) {
            last = i;
        }
    }
    const Line& anchor = lines[last];
    out.append(content.substr(0, anchor.next));
    if (anchor.next == anchor.end) {
        out.append(kLineEnd);
    }
    out.append(keyName).append("=").append(value).append(kLineEnd);
    out.append(content.substr(anchor.next));
    return out;
}

std::string ProfileUpdateAll(std::string_view content, const std::vector<ProfileEntry>& entries) {
    const auto plain = [](const ProfileEntry& entry) {
        const std::string_view key = TrimBlanks(entry.key);
        return !TrimBlanks(entry.section).empty() && !key.empty() && key.find('=') == std::string_view::npos &&
               key.front() != '[';
    };
    if (!std::all_of(entries.begin(), entries.end(), plain)) {
        std::string out(content);
        for (const auto& entry : entries) {
            out = ProfileUpdate(out, entry.section, entry.key, entry.value);
        }
        return out;
    }

    const std::vector<Line> lines = ScanLines(content);
    const std::vector<Span> spans = SplitSections(lines);
    struct Added {
        std::string name;
        std::string value;
    };
    // A section that receives keys: the key lines it has (first occurrence of each name) and the keys it
    // gets, which go below its last non-blank line in the order they first came.
    struct Target {
        std::string name;
        bool indexed = false;
        std::unordered_map<std::string, std::size_t> lineOfKey;
        std::vector<Added> added;
        std::unordered_map<std::string, std::size_t> addedIndex;
    };
    std::unordered_map<std::string, std::size_t> spanOf; // upper-cased name -> first headed span
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (!spans[i].headerless) {
            spanOf.try_emplace(UpperCase(spans[i].name), i);
        }
    }
    std::vector<Target> existing(spans.size());
    std::vector<Target> created; // sections appended at the end, in the order they first came
    std::unordered_map<std::string, std::size_t> createdIndex;
    std::unordered_map<std::size_t, std::string> replaced; // key line -> its new value

    for (const auto& entry : entries) {
        const std::string_view sectionName = TrimBlanks(entry.section);
        const std::string_view keyName = TrimBlanks(entry.key);
        const std::string upperKey = UpperCase(keyName);
        Target* target = nullptr;
        const std::string upperSection = UpperCase(sectionName);
        if (const auto span = spanOf.find(upperSection); span != spanOf.end()) {
            target = &existing[span->second];
            if (!target->indexed) {
                for (std::size_t i = spans[span->second].first; i < spans[span->second].last; ++i) {
                    if (lines[i].kind == LineKind::Key) {
                        target->lineOfKey.try_emplace(UpperCase(lines[i].name), i);
                    }
                }
                target->indexed = true;
            }
            if (const auto line = target->lineOfKey.find(upperKey); line != target->lineOfKey.end()) {
                replaced[line->second] = entry.value;
                continue;
            }
        } else {
            auto [slot, added] = createdIndex.try_emplace(upperSection, created.size());
            if (added) {
                created.push_back({});
                created.back().name = std::string(sectionName);
            }
            target = &created[slot->second];
        }
        auto [slot, added] = target->addedIndex.try_emplace(upperKey, target->added.size());
        if (added) {
            target->added.push_back({std::string(keyName), entry.value});
        } else {
            target->added[slot->second].value = entry.value;
        }
    }

    // The line after which each section's new keys go: its last non-blank one.
    std::unordered_map<std::size_t, std::size_t> anchorOf; // line -> span
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (existing[i].added.empty()) {
            continue;
        }
        std::size_t last = spans[i].first;
        for (std::size_t k = spans[i].first; k < spans[i].last; ++k) {
            if (lines[k].kind != LineKind::Blank) {
                last = k;
            }
        }
        anchorOf[last] = i;
    }

    std::string out;
    out.reserve(content.size() + entries.size() * 32);
    out.append(content.substr(0, lines.empty() ? content.size() : lines.front().start)); // a byte order mark
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (const auto value = replaced.find(i); value != replaced.end()) {
            out.append(line.name).append("=").append(value->second);
            out.append(content.substr(line.end, line.next - line.end));
        } else {
            out.append(content.substr(line.start, line.next - line.start));
        }
        if (const auto span = anchorOf.find(i); span != anchorOf.end()) {
            if (line.next == line.end) {
                out.append(kLineEnd);
            }
            for (const Added& key : existing[span->second].added) {
                out.append(key.name).append("=").append(key.value).append(kLineEnd);
            }
        }
    }
    for (const Target& section : created) {
        const bool hasBody = out.size() > (out.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0);
        if (hasBody && out.back() != '\r' && out.back() != '\n') {
            out.append(kLineEnd);
        }
        out.append("[").append(section.name).append("]").append(kLineEnd);
        for (const Added& key : section.added) {
            out.append(key.name).append("=").append(key.value).append(kLineEnd);
        }
    }
    return out;
}

std::string ProfileBuild(const std::vector<ProfileEntry>& entries) {
    using Section = ProfileDocument::Section;
    std::vector<Section> sections;
    std::unordered_map<std::string, std::size_t> sectionIndex;
    for (const auto& entry : entries) {
        const std::string_view sectionName = TrimBlanks(entry.section);
        const std::string_view trimmedKey = TrimBlanks(entry.key);
        if (sectionName.empty() || trimmedKey.empty() || trimmedKey.find('=') != std::string_view::npos) {
            // Keys outside any named section, and keys that do not read back as themselves, follow rules of
            // their own: let the one-at-a-time writer decide.
            std::string content;
            for (const auto& each : entries) {
                content = ProfileUpdate(content, each.section, each.key, each.value);
            }
            return content;
        }
        auto [slot, added] = sectionIndex.try_emplace(UpperCase(sectionName), sections.size());
        if (added) {
            sections.push_back({std::string(sectionName), {}, {}});
        }
        Section& section = sections[slot->second];
        const std::string_view keyName = TrimBlanks(entry.key);
        auto [keySlot, keyAdded] = section.keyIndex.try_emplace(UpperCase(keyName), section.keys.size());
        if (keyAdded) {
            section.keys.push_back({std::string(keyName), entry.value});
        } else {
            section.keys[keySlot->second].value = entry.value;
        }
    }
    std::string content;
    for (const auto& section : sections) {
        content += "[" + section.name + "]\r\n";
        for (const auto& key : section.keys) {
            content += key.name + "=" + key.value + "\r\n";
        }
    }
    return content;
}

} // namespace qb
