#include "platform/sandbox/command_line_words.h"

namespace qb::sandbox {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}
} // namespace

std::vector<std::string> SplitCommandLineWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (true) {
        while (i < text.size() && IsBlank(text[i])) {
            ++i;
        }
        if (i >= text.size()) {
            return words;
        }
        std::string word;
        bool quoted = false;
        while (i < text.size() && (quoted || !IsBlank(text[i]))) {
            if (text[i] == '\\') {
                std::size_t backslashes = 0;
                while (i < text.size() && text[i] == '\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < text.size() && text[i] == '"') {
                    word.append(backslashes / 2, '\\');
                    if (backslashes % 2 == 1) {
                        word.push_back('"');
                        ++i;
                    }
                } else {
                    word.append(backslashes, '\\');
                }
            } else if (text[i] == '"') {
                if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                    word.push_back('"');
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                word.push_back(text[i++]);
            }
        }
        words.push_back(std::move(word));
    }
}

std::vector<ProgramCandidate> ProgramCandidates(std::string_view commandLine) {
    std::vector<ProgramCandidate> out;
    const std::string_view line = TrimLeft(commandLine);
    if (line.empty()) {
        return out;
    }
    if (line.front() == '"') {
        const auto close = line.find('"', 1);
        if (close == std::string_view::npos) {
            out.push_back({std::string(line.substr(1)), ""});
        } else {
            out.push_back(
                {std::string(line.substr(1, close - 1)), std::string(TrimLeft(line.substr(close + 1)))});
        }
        return out;
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (IsBlank(line[i]) && i > 0 && !IsBlank(line[i - 1])) {
            out.push_back({std::string(line.substr(0, i)), std::string(TrimLeft(line.substr(i)))});
        }
    }
    std::string_view whole = line;
    while (!whole.empty() && IsBlank(whole.back())) {
        whole.remove_suffix(1);
    }
    out.push_back({std::string(whole), ""});
    return out;
}

} // namespace qb::sandbox
