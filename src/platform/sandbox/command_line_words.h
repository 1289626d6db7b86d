#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qb::sandbox {

// Splits the arguments of a command line as Windows programs split theirs (CommandLineToArgvW): blanks
// separate words outside quotes, 2n backslashes before a quote give n backslashes and toggle quoting,
// 2n+1 give n backslashes and a literal quote, "" inside quotes is a literal quote.
std::vector<std::string> SplitCommandLineWords(std::string_view text);

// The ways CreateProcess reads the program from a command line without an application name: the quoted
// part, or else every prefix that ends before a blank, shortest first, then the whole line. Each comes
// with the rest of the line as its arguments.
struct ProgramCandidate {
    std::string program;
    std::string arguments;
};
std::vector<ProgramCandidate> ProgramCandidates(std::string_view commandLine);

} // namespace qb::sandbox
