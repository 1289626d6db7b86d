#include "platform/sandbox/reg_file.h"

#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace qb::sandbox {

namespace {

using namespace std::string_literals;

constexpr std::string_view kHeaderUnicode = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderAnsi = "REGEDIT4";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct RootAlias {
    std::string_view shortName;
    std::string_view fullName;
};

constexpr RootAlias kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"},   {"HKU", "HKEY_USERS"},
    {"HKCR", "HKEY_CLASSES_ROOT"},  {"HKCC", "HKEY_CURRENT_CONFIG"},
};

std::string_view CanonicalRoot(std::string_view name) {
    for (const RootAlias& root : kRoots) {
        if (EqualsIgnoreCase(name, root.shortName) || EqualsIgnoreCase(name, root.fullName)) {
            return root.fullName;
        }
    }
    return {};
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A short quote of the offending text for a message; a hostile line may be megabytes long.
std::string Quote(std::string_view text) {
    constexpr std::size_t kMax = 24;
    std::string out = "'" + CutAtCharBoundary(text, kMax);
    out += text.size() > kMax ? "...'" : "'";
    return out;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// Lines end in CRLF, LF or a lone CR, as Windows' reader accepts them.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        std::size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        line = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (pos_ < text_.size()) {
            const bool crlf = text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n';
            pos_ += crlf ? 2 : 1;
        }
        ++number_;
        return true;
    }

    int Number() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

// The line the end of the text is on.
int CountLines(std::string_view text) {
    LineReader reader(text);
    std::string_view line;
    while (reader.Next(line)) {
    }
    const bool endsWithBreak = !text.empty() && (text.back() == '\n' || text.back() == '\r');
    return reader.Number() + (endsWithBreak || text.empty() ? 1 : 0);
}

// Bytes that are not UTF-8 become U+FFFD, as the ANSI registry functions store them under the UTF-8 code
// page: the tree then holds what the writer (which writes UTF-16) can give back, not a name or a string
// that silently changes at the next save.
std::string ValidUtf8(std::string_view text) {
    return Utf16ToUtf8(Utf8ToUtf16(text));
}

// Text of hex(1)/hex(2) and the list of hex(7) are UTF-16LE in a version 5.00 file and ANSI in REGEDIT4.
RegistryValue MakeValue(ValueType type, std::string bytes, bool unicode) {
    switch (type) {
    case ValueType::String:
    case ValueType::ExpandString: {
        std::string text = unicode ? Utf16ToUtf8(FromUtf16LeBytes(bytes)) : ValidUtf8(bytes);
        if (!text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        return {type, std::move(text)};
    }
    case ValueType::MultiString:
        return {type, unicode ? Utf16ToUtf8(FromUtf16LeBytes(bytes)) : ValidUtf8(bytes)};
    default:
        return {type, std::move(bytes)};
    }
}

class Parser {
public:
    explicit Parser(std::string_view text) : lines_(text) {}

    std::variant<RegNode, RegParseError> Run() {
        root_.CreatePath("HKEY_LOCAL_MACHINE");
        root_.CreatePath("HKEY_CURRENT_USER");
        if (!ParseHeader()) {
            return std::move(error_);
        }
        std::string_view line;
        while (lines_.Next(line)) {
            if (!ParseLine(line)) {
                return std::move(error_);
            }
        }
        return std::move(root_);
    }

private:
    bool Fail(std::string message) {
        error_ = {lines_.Number() == 0 ? 1 : lines_.Number(), std::move(message)};
        return false;
    }

    bool ParseHeader() {
        std::string_view line;
        const bool any = lines_.Next(line);
        line = TrimBlanks(line);
        if (any && line == kHeaderUnicode) {
            unicode_ = true;
            return true;
        }
        if (any && line == kHeaderAnsi) {
            unicode_ = false;
            return true;
        }
        return Fail("missing header: the first line must be \"Windows Registry Editor Version 5.00\" or "
                    "\"REGEDIT4\"");
    }

    bool ParseLine(std::string_view line) {
        line = TrimBlanks(line);
        if (line.find('\0') != std::string_view::npos) {
            return Fail("NUL character in the file");
        }
        if (line.empty() || line.front() == ';') {
            return true;
        }
        if (line.front() == '[') {
            return ParseKeyLine(line);
        }
        if (line.front() == '"' || line.front() == '@') {
            return ParseValueLine(line);
        }
        return Fail("unrecognised line " + Quote(line));
    }

    // "[path]" opens (creating) a key, "[-path]" deletes one with its subtree. The path runs to the last
    // ']' because key names may hold brackets.
    bool ParseKeyLine(std::string_view line) {
        if (line.back() != ']') {
            return Fail(line.find(']') == std::string_view::npos ? "key line without a closing ']'"
                                                                 : "text after the key line's closing ']'");
        }
        std::string_view path = line.substr(1, line.size() - 2);
        const bool remove = !path.empty() && path.front() == '-';
        if (remove) {
            path.remove_prefix(1);
        }
        const std::size_t slash = path.find('\\');
        const std::string_view rootName = path.substr(0, slash);
        const std::string_view rest =
            slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
        if (rootName.empty()) {
            return Fail(path.empty() ? "empty key path"
                                     : "key path must start with a root key such as HKEY_CURRENT_USER");
        }
        const std::string_view hiveName = CanonicalRoot(rootName);
        if (hiveName.empty()) {
            return Fail("unknown root key " + Quote(rootName));
        }
        std::size_t depth = 0;
        std::size_t start = 0;
        while (start <= rest.size()) {
            std::size_t end = rest.find('\\', start);
            if (end == std::string_view::npos) {
                end = rest.size();
            }
            if (end > start) {
                if (Utf16Length(rest.substr(start, end - start)) > kMaxKeyNameLength) {
                    return Fail("key name longer than 255 characters");
                }
                if (++depth > kMaxKeyDepth) {
                    return Fail("key path deeper than 512 levels");
                }
            }
            start = end + 1;
        }
        if (remove) {
            if (depth == 0) {
                return Fail("a root key cannot be deleted");
            }
            if (RegNode* hive = root_.FindSubkey(hiveName)) {
                hive->RemovePath(rest);
            }
            current_ = nullptr;
            keyDeleted_ = true;
        } else {
            current_ = &root_.CreatePath(hiveName).CreatePath(rest);
        }
        return true;
    }

    bool ParseValueLine(std::string_view line) {
        if (current_ == nullptr) {
            return Fail(keyDeleted_ ? "value line after a key deletion; open a key first"
                                    : "value line before any key");
        }
        std::string name;
        std::size_t pos = 1;
        if (line.front() == '"') {
            pos = 0;
            if (!ParseQuoted(line, pos, name, "value name")) {
                return false;
            }
            if (Utf16Length(name) > kMaxValueNameLength) {
                return Fail("value name longer than 16383 characters");
            }
        }
        pos = SkipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != '=') {
            return Fail(line.front() == '@' ? "expected '=' after '@'" : "expected '=' after the value name");
        }
        pos = SkipBlanks(line, pos + 1);
        const std::string_view data = line.substr(pos);
        if (data.empty() || data.front() == ';') {
            return Fail("missing value data after '='");
        }
        if (data.front() == '-') {
            if (!ExpectEnd(line, pos + 1)) {
                return false;
            }
            current_->RemoveValue(name);
            return true;
        }
        std::optional<RegistryValue> value;
        asRead_.reset();
        if (data.front() == '"') {
            value = ParseStringData(line, pos);
        } else if (data.starts_with("dword:")) {
            value = ParseDwordData(line, pos + 6);
        } else if (data.starts_with("hex")) {
            value = ParseHexData(line, pos + 3);
        } else if (StartsWithIgnoreCase(data, "dword:") || StartsWithIgnoreCase(data, "hex")) {
            Fail("type names in value data must be lower-case: " + Quote(data));
        } else {
            Fail("unrecognised value data " + Quote(data));
        }
        if (!value) {
            return false;
        }
        if (asRead_) {
            current_->SetValueAsRead(name, std::move(*value), std::move(*asRead_));
        } else {
            current_->SetValue(name, std::move(*value));
        }
        return true;
    }

    bool ExpectEnd(std::string_view line, std::size_t pos) {
        pos = SkipBlanks(line, pos);
        if (pos < line.size() && line[pos] != ';') {
            return Fail("unexpected text after the value data: " + Quote(line.substr(pos)));
        }
        return true;
    }

    // A quoted name or string with the escapes \\, \", \r and \n; it must end on the same line.
    bool ParseQuoted(std::string_view line, std::size_t& pos, std::string& out, std::string_view what) {
        ++pos;
        while (pos < line.size()) {
            const std::size_t special = std::min(line.find_first_of("\\\"", pos), line.size());
            out.append(line.substr(pos, special - pos));
            pos = special;
            if (pos == line.size()) {
                break;
            }
            if (line[pos++] == '"') {
                return true;
            }
            if (pos >= line.size()) {
                break;
            }
            const char escaped = line[pos++];
            switch (escaped) {
            case '\\':
            case '"':
                out.push_back(escaped);
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 'n':
                out.push_back('\n');
                break;
            default:
                return Fail("unknown escape " + Quote(line.substr(pos - 2, 2)) + " in " + std::string(what) +
                            " (a backslash is written \\\\)");
            }
        }
        return Fail("unterminated " + std::string(what) + ": the closing '\"' is missing");
    }

    std::optional<RegistryValue> ParseStringData(std::string_view line, std::size_t pos) {
        std::string text;
        if (!ParseQuoted(line, pos, text, "string") || !ExpectEnd(line, pos)) {
            return std::nullopt;
        }
        return RegistryValue::String(text);
    }

    std::optional<RegistryValue> ParseDwordData(std::string_view line, std::size_t pos) {
        std::uint32_t number = 0;
        std::size_t digits = 0;
        for (; pos < line.size() && HexDigit(line[pos]) >= 0; ++pos, ++digits) {
            if (digits == 8) {
                Fail("dword with more than 8 hex digits");
                return std::nullopt;
            }
            number = (number << 4) | static_cast<std::uint32_t>(HexDigit(line[pos]));
        }
        if (digits == 0) {
            Fail("dword: needs 1 to 8 hex digits");
            return std::nullopt;
        }
        if (!ExpectEnd(line, pos)) {
            return std::nullopt;
        }
        return RegistryValue::Dword(number);
    }

    // "hex:" or "hex(N):" with N in hex, then a comma-separated byte list that may go on over lines
    // ending in ",\".
    std::optional<RegistryValue> ParseHexData(std::string_view line, std::size_t pos) {
        auto type = ValueType::Binary;
        if (pos < line.size() && line[pos] == '(') {
            std::uint32_t number = 0;
            std::size_t digits = 0;
            for (++pos; pos < line.size() && HexDigit(line[pos]) >= 0 && digits < 9; ++pos, ++digits) {
                number = (number << 4) | static_cast<std::uint32_t>(HexDigit(line[pos]));
            }
            if (digits == 0 || digits > 8 || pos >= line.size() || line[pos] != ')') {
                Fail("bad value type in hex(...): " + Quote(line.substr(pos)));
                return std::nullopt;
            }
            ++pos;
            type = static_cast<ValueType>(number);
        }
        if (pos >= line.size() || line[pos] != ':') {
            Fail("expected ':' after the hex type");
            return std::nullopt;
        }
        std::string bytes;
        bool continues = false;
        if (!ParseHexItems(line, pos + 1, bytes, continues)) {
            return std::nullopt;
        }
        while (continues) {
            std::string_view next;
            if (!lines_.Next(next)) {
                Fail("hex data continues past the end of the file");
                return std::nullopt;
            }
            next = TrimBlanks(next);
            if (next.find('\0') != std::string_view::npos) {
                Fail("NUL character in the file");
                return std::nullopt;
            }
            if (!ParseHexItems(next, 0, bytes, continues)) {
                return std::nullopt;
            }
        }
        const bool text =
            type == ValueType::String || type == ValueType::ExpandString || type == ValueType::MultiString;
        RegistryValue value = MakeValue(type, bytes, unicode_);
        // Text whose bytes its UTF-8 form would not give back (an odd length, a lone surrogate), or a
        // plain string the writer would write in quotes (a NUL only, none at all), keeps the bytes it came
        // with. An ANSI file's bytes are no UTF-16, which the writer writes.
        if (unicode_ && text &&
            (type == ValueType::String ||
             Utf16LeBytes(Utf8ToUtf16(value.data)) + (type == ValueType::ExpandString ? "\0\0"s : ""s) !=
                 bytes)) {
            asRead_ = std::move(bytes);
        }
        return value;
    }

    // Bytes of one or two hex digits separated by commas, no blanks inside the list; a '\' where a byte
    // could start continues the list on the next line, a ';' starts a comment.
    bool ParseHexItems(std::string_view line, std::size_t pos, std::string& bytes, bool& continues) {
        continues = false;
        while (true) {
            const std::size_t next = SkipBlanks(line, pos);
            if (next == line.size() || line[next] == ';') {
                return true;
            }
            if (line[next] == '\\') {
                if (SkipBlanks(line, next + 1) != line.size()) {
                    return Fail("text after the line continuation '\\'");
                }
                continues = true;
                return true;
            }
            if (next != pos) {
                return Fail("blank inside a hex list");
            }
            const std::size_t itemStart = pos;
            unsigned value = 0;
            while (pos < line.size() && HexDigit(line[pos]) >= 0 && pos - itemStart < 3) {
                value = (value << 4) | static_cast<unsigned>(HexDigit(line[pos]));
                ++pos;
            }
            const std::size_t itemEnd = line.find(',', itemStart);
            const std::string_view item = line.substr(
                itemStart, itemEnd == std::string_view::npos ? std::string_view::npos : itemEnd - itemStart);
            if (pos == itemStart || pos - itemStart > 2) {
                return Fail("bad hex byte " + Quote(item));
            }
            bytes.push_back(static_cast<char>(value));
            if (pos == line.size()) {
                return true;
            }
            if (line[pos] == ',') {
                ++pos;
                continue;
            }
            const std::size_t after = SkipBlanks(line, pos);
            if (after == line.size() || line[after] == ';') {
                return true;
            }
            if (line[after] == ',') {
                return Fail("blank inside a hex list");
            }
            if (line[after] == '\\') {
                return Fail("a line continuation '\\' must follow a comma");
            }
            return Fail("bad hex byte " + Quote(item));
        }
    }

    LineReader lines_;
    bool unicode_ = true;
    RegNode root_;
    RegNode* current_ = nullptr;
    bool keyDeleted_ = false;
    std::optional<std::string> asRead_; // the bytes of the value line being read, when kept as they are
    RegParseError error_;
};

// ---- writing ----

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string& out, unsigned char byte) {
    out.push_back(kHexDigits[byte >> 4]);
    out.push_back(kHexDigits[byte & 0x0F]);
}

// Names are NUL-terminated for the registry functions, so a name is cut at a NUL as regedit cuts it.
void AppendEscaped(std::string& out, std::string_view text) {
    constexpr std::string_view kSpecial("\\\"\r\n\0", 5);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t special = std::min(text.find_first_of(kSpecial, pos), text.size());
        out.append(text.substr(pos, special - pos));
        if (special == text.size()) {
            return;
        }
        pos = special + 1;
        switch (text[special]) {
        case '\0':
            return;
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        }
    }
}

// regedit's wrapping: after each byte but the last comes a comma, and once the line has reached 77
// columns it ends in "\" and the next one starts with two blanks, so no line passes 80 columns unless
// the name alone reaches the wrap column. Columns count UTF-16 units, as in the exported file.
void AppendHexList(std::string& out, std::size_t column, std::string_view bytes) {
    constexpr std::size_t kWrapColumn = 77;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        AppendHexByte(out, static_cast<unsigned char>(bytes[i]));
        if (i + 1 == bytes.size()) {
            break;
        }
        out.push_back(',');
        column += 3;
        if (column >= kWrapColumn) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
}

std::string Utf16TextBytes(std::string_view text, bool terminate) {
    std::string bytes = Utf16LeBytes(Utf8ToUtf16(text));
    if (terminate) {
        bytes.append(2, '\0');
    }
    return bytes;
}

void AppendHexValue(std::string& out, std::size_t lineStart, ValueType type, std::string_view bytes) {
    if (type == ValueType::Binary) {
        out += "hex:";
    } else {
        const auto typeNumber = static_cast<std::uint32_t>(type);
        out += "hex(";
        bool started = false;
        for (int shift = 28; shift >= 0; shift -= 4) {
            const auto digit = (typeNumber >> shift) & 0x0Fu;
            started = started || digit != 0 || shift == 0;
            if (started) {
                out.push_back(kHexDigits[digit]);
            }
        }
        out += "):";
    }
    AppendHexList(out, Utf16Length(std::string_view(out).substr(lineStart)), bytes);
    out += "\r\n";
}

// asRead: the bytes a file gave the value, written back as they were (RegNode::BytesAsRead).
void AppendValue(std::string& out, std::string_view name, const RegistryValue& value,
                 const std::string* asRead) {
    const std::size_t lineStart = out.size();
    if (name.empty()) {
        out += "@=";
    } else {
        out.push_back('"');
        AppendEscaped(out, name);
        out += "\"=";
    }
    if (asRead != nullptr) {
        AppendHexValue(out, lineStart, value.type, *asRead);
        return;
    }
    std::string hexBytes;
    if (value.type == ValueType::String && value.data.find('\0') == std::string::npos) {
        out.push_back('"');
        AppendEscaped(out, value.data);
        out += "\"\r\n";
        return;
    }
    if (value.type == ValueType::Dword && value.data.size() == 4) {
        out += "dword:";
        for (std::size_t i = 4; i-- > 0;) {
            AppendHexByte(out, static_cast<unsigned char>(value.data[i]));
        }
        out += "\r\n";
        return;
    }
    switch (value.type) {
    case ValueType::String:
    case ValueType::ExpandString:
        hexBytes = Utf16TextBytes(value.data, true);
        break;
    case ValueType::MultiString:
        hexBytes = Utf16TextBytes(value.data, false);
        break;
    default:
        hexBytes = value.data;
    }
    AppendHexValue(out, lineStart, value.type, hexBytes);
}

void AppendKey(std::string& out, const RegNode& node, std::string& path, bool writeLine) {
    if (writeLine) {
        out.push_back('[');
        out += path;
        out += "]\r\n";
        for (const auto& [name, value] : node.Values()) {
            AppendValue(out, name, value, node.BytesAsRead(name));
        }
        out += "\r\n";
    }
    for (const RegNode* child : node.Subkeys()) {
        const std::size_t parentLength = path.size();
        path.push_back('\\');
        path += child->Name();
        AppendKey(out, *child, path, true);
        path.resize(parentLength);
    }
}

} // namespace

std::variant<RegNode, RegParseError> ParseRegFile(std::string_view bytes) {
    std::string decoded;
    std::string_view text = bytes;
    if (bytes.starts_with(kUtf16LeBom)) {
        const std::string_view body = bytes.substr(kUtf16LeBom.size());
        decoded = Utf16ToUtf8(FromUtf16LeBytes(body));
        if (body.size() % 2 != 0) {
            return RegParseError{CountLines(decoded), "UTF-16 file ends in the middle of a character"};
        }
        text = decoded;
    } else if (bytes.starts_with(kUtf16BeBom)) {
        return RegParseError{1, "big-endian UTF-16 is not supported; save the file as UTF-16LE"};
    } else {
        if (bytes.starts_with(kUtf8Bom)) {
            text.remove_prefix(kUtf8Bom.size());
        }
        decoded = ValidUtf8(text);
        text = decoded;
    }
    return Parser(text).Run();
}

std::string FormatRegFile(const RegNode& root) {
    std::string text(kHeaderUnicode);
    text += "\r\n\r\n";
    for (const RegNode* hive : root.Subkeys()) {
        std::string path = hive->Name();
        AppendKey(text, *hive, path, hive->ValueCount() > 0 || hive->SubkeyCount() == 0);
    }
    std::string out(kUtf16LeBom);
    out += Utf16LeBytes(Utf8ToUtf16(text));
    return out;
}

} // namespace qb::sandbox
