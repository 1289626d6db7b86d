#pragma once

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

namespace qb {

// A record's text field: at most 259 bytes, like the fixed 260-byte buffers Windows tools hold them in.
// Longer text is cut at a character boundary on the way in, so no field can ever overrun.
class FieldText {
public:
    static constexpr std::size_t kLimit = 259;

    FieldText() = default;
    FieldText(std::string_view text); // NOLINT(google-explicit-constructor): fields are assigned from text
    FieldText(const char* text) : FieldText(std::string_view(text)) {}
    FieldText(const std::string& text) : FieldText(std::string_view(text)) {}

    const std::string& str() const { return text_; }
    operator const std::string&() const { return text_; } // NOLINT(google-explicit-constructor)
    operator std::string_view() const { return text_; }   // NOLINT(google-explicit-constructor)
    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }

    friend bool operator==(const FieldText& a, std::string_view b) { return a.text_ == b; }
    friend auto operator<=>(const FieldText& a, const FieldText& b) { return a.text_ <=> b.text_; }

private:
    std::string text_;
};

} // namespace qb
