#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb::fuzz {

// What a reader did wrong on one input, in words; nullopt when every invariant held. A crash, a leak or
// undefined behaviour is left to the sanitizers. The fuzz targets abort on a finding; the regression
// tests feed the saved inputs to the same functions and expect nullopt.
using Finding = std::optional<std::string>;

// Inputs that carry several texts (a file and the names to look up or write) hold them one after another,
// each ended by this byte; the last one runs to the end of the input. The byte means nothing to any of
// the readers, so the fuzzer loses no interesting file by giving it up inside a field.
inline constexpr char kFieldSeparator = '\x1F';
std::vector<std::string_view> SplitFields(std::string_view input);

// The .reg reader: a file that parses is written again and must parse to an equal tree, and the
// written text must be stable from then on.
Finding CheckRegFile(std::string_view bytes);

// The .lnk reader: a link that decodes is encoded again and must decode to the same fields.
Finding CheckShellLink(std::string_view bytes);

// The profile reader: fields are the file content, then section, key and value of an update, then any
// number of further (section, key, value) triples for ProfileBuild. Every listed section and key reads
// back; the one-shot lookup agrees with the document; an update reads back its value and leaves every
// other key as it was; ProfileBuild equals the updates made one at a time.
Finding CheckProfileText(std::string_view input);

// The database's main table: fields are the table, then a section and a key to look up. Compared with a
// line-by-line reading of the documented rules.
Finding CheckEntryTable(std::string_view input);

// The command-line analysis on arbitrary text: FindExtension, TargetFileName, TargetPath over a fake disk,
// and SplitProgramAndArguments.
Finding CheckCommandLine(std::string_view command);

// LoadBackup on an arbitrary file, against one small sandbox machine made in a temporary directory on
// construction (and removed on destruction) and reused for every input.
class BackupLoadCheck {
public:
    BackupLoadCheck();
    ~BackupLoadCheck();
    BackupLoadCheck(const BackupLoadCheck&) = delete;
    BackupLoadCheck& operator=(const BackupLoadCheck&) = delete;

    Finding Run(std::string_view fileBytes);

private:
    struct Machine;
    std::filesystem::path root_;
    std::unique_ptr<Machine> machine_;
};

} // namespace qb::fuzz
