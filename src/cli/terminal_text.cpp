#include "cli/terminal_text.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace qb::cli {

namespace {

std::string Hex(const char* format, unsigned value) {
    std::array<char, 12> buffer{};
    std::snprintf(buffer.data(), buffer.size(), format, value);
    return buffer.data();
}

bool ReordersTheLine(std::uint32_t code) {
    return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

// The length of the well-formed UTF-8 sequence at the start of text and its code point; 0 when none.
std::size_t DecodeOne(std::string_view text, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool outside = code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF);
    return overlong || outside ? 0 : length;
}

} // namespace

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::uint32_t code = 0;
        const std::size_t length = DecodeOne(text, code);
        if (length == 0) {
            out += Hex("\\x%02X", static_cast<unsigned char>(text.front()));
            text.remove_prefix(1);
            continue;
        }
        if (code == '\t') {
            out += "\\t";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code == '\n') {
            out += "\\n";
        } else if (code < 0x20 || code == 0x7F) {
            out += Hex("\\x%02X", code);
        } else if ((code >= 0x80 && code < 0xA0) || ReordersTheLine(code)) {
            out += Hex("\\u%04X", code);
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

} // namespace qb::cli
