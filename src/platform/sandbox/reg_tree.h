#pragma once

#include "platform/registry.h"

#include <cstddef>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qb::sandbox {

// Windows's own limits, counted in UTF-16 units as Windows counts them. The file reader enforces them so
// that a hostile store cannot build a tree whose recursive teardown or formatting exhausts the stack; the
// registry layer should refuse the same names and depths when a caller creates keys.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxKeyDepth = 512; // keys beneath a hive

// Number of UTF-16 units the UTF-8 text becomes.
std::size_t Utf16Length(std::string_view text);

using RegValueEntry = std::pair<std::string, RegistryValue>;

// One registry key with its values and subkeys. Names match without regard to case (as UpperCase folds
// them) and keep the spelling they were created with. Key names must not contain '\', CR, LF or NUL, and
// value names no NUL: the ANSI registry functions cannot pass such names and the .reg file cannot hold them.
class RegNode {
    struct Slot {
        RegValueEntry entry;
        bool live = true;
        std::optional<std::string> asRead; // the bytes a file gave the value in hex form (SetValueAsRead)
    };

public:
    // Walks the values in the order they were first added, skipping removed ones.
    class ValueIterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = RegValueEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = const RegValueEntry*;
        using reference = const RegValueEntry&;

        ValueIterator() = default;
        reference operator*() const { return current_->entry; }
        pointer operator->() const { return &current_->entry; }
        ValueIterator& operator++() {
            ++current_;
            SkipRemoved();
            return *this;
        }
        ValueIterator operator++(int) {
            ValueIterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const ValueIterator& a, const ValueIterator& b) {
            return a.current_ == b.current_;
        }

    private:
        friend class RegNode;
        ValueIterator(const Slot* current, const Slot* end) : current_(current), end_(end) { SkipRemoved(); }
        void SkipRemoved() {
            while (current_ != end_ && !current_->live) {
                ++current_;
            }
        }
        const Slot* current_ = nullptr;
        const Slot* end_ = nullptr;
    };

    class ValueRange {
    public:
        ValueIterator begin() const { return begin_; }
        ValueIterator end() const { return end_; }
        std::size_t size() const { return size_; }
        bool empty() const { return size_ == 0; }

    private:
        friend class RegNode;
        ValueRange(ValueIterator first, ValueIterator last, std::size_t count)
            : begin_(first), end_(last), size_(count) {}
        ValueIterator begin_;
        ValueIterator end_;
        std::size_t size_;
    };

    explicit RegNode(std::string name = {});
    RegNode(RegNode&&) noexcept = default;
    RegNode& operator=(RegNode&&) noexcept = default;
    RegNode(const RegNode&) = delete;
    RegNode& operator=(const RegNode&) = delete;
    ~RegNode() = default;

    // A deep copy, for callers that change a copy and keep the original until a write succeeded.
    RegNode Clone() const;

    const std::string& Name() const { return name_; }

    // Values enumerate in the order they were first added; replacing a value keeps its place, removing
    // and adding it again moves it to the end, as Windows does. "" is the unnamed default value.
    ValueRange Values() const;
    std::size_t ValueCount() const { return valueIndex_.size(); }
    const RegistryValue* FindValue(std::string_view name) const;
    // Replaces in place, keeping the stored spelling of the name, or appends.
    void SetValue(std::string_view name, RegistryValue value);
    // The same for a text value a file held in hex form, with the bytes it held: bytes that are no clean
    // UTF-16 string (an odd length, a lone surrogate, a NUL only) have no text that gives them back, so
    // the file writer writes these bytes as long as nobody sets the value again. nullptr when the value
    // was set since, or never read so.
    void SetValueAsRead(std::string_view name, RegistryValue value, std::string bytes);
    const std::string* BytesAsRead(std::string_view name) const;
    bool RemoveValue(std::string_view name);

    // Subkeys come back sorted without regard to case, as RegEnumKeyEx returns them.
    std::vector<const RegNode*> Subkeys() const;
    std::vector<RegNode*> Subkeys();
    std::size_t SubkeyCount() const { return subkeys_.size(); }
    // One name, not a path.
    RegNode* FindSubkey(std::string_view name);
    const RegNode* FindSubkey(std::string_view name) const;
    // Removes the subkey with everything beneath it.
    bool RemoveSubkey(std::string_view name);

    // Backslash-separated paths relative to this key; empty components and leading or trailing
    // backslashes are skipped, so "" and "\" name this key.
    RegNode* FindPath(std::string_view path);
    const RegNode* FindPath(std::string_view path) const;
    // Creates every missing key along the path; existing keys keep their spelling.
    RegNode& CreatePath(std::string_view path);
    // Removes the key at the path with everything beneath it; false when it is missing or the path names
    // this key itself.
    bool RemovePath(std::string_view path);

    // Same names with the same spelling, the same values in the same order, the same subkeys.
    friend bool operator==(const RegNode& a, const RegNode& b);

private:
    void Compact();

    std::string name_;
    // Removed values leave a dead slot behind until they outnumber the live ones, so that removing many
    // values from a large key stays linear overall.
    std::vector<Slot> slots_;
    std::size_t deadSlots_ = 0;
    std::unordered_map<std::string, std::size_t> valueIndex_;              // UpperCase(name) -> live slot
    std::map<std::string, std::unique_ptr<RegNode>, std::less<>> subkeys_; // UpperCase(name) -> key
};

} // namespace qb::sandbox
