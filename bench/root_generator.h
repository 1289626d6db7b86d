#pragma once

#include "inventory/startup_location.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qb::bench {

// The size of a generated machine. The defaults are the benchmark's database and process table; entries
// and shortcuts are what a test varies.
struct GeneratorOptions {
    std::size_t entries = 1000;    // registry values over every run key a load reads and their twins
    std::size_t shortcuts = 100;   // .lnk files over both startup folders and both disabled folders
    std::size_t processes = 500;   // lines of processes.txt
    std::size_t stEntries = 20000; // sections of st.dat
    std::size_t snEntries = 10000; // sections of sn.dat
    std::size_t fnEntries = 10000; // sections of fn.dat
    std::size_t patternRules = 2000;
    std::uint64_t seed = 1;
    // Files of the system in C:\WINDOWS\SYSTEM32 besides the entries' programs; a real one holds a few
    // thousand, and every lookup of a bare program name there costs in proportion on the sandbox.
    std::size_t systemFiles = 0;
};

// The database step that answers an entry's rating. Every section and rule that carries a rating also
// carries the key "Source" with the step's tag (SourceTag), so a lookup of that key names the step.
enum class LookupSource { MainTable, MainTablePair, NameTable, FileTable, Patterns, None };
const char* SourceTag(LookupSource source); // "st", "st-pair", "sn", "fn", "sp"; "" for None

// One entry a load of the generated root lists.
struct GeneratedEntry {
    std::string name;
    std::string command; // as the load holds it: an empty registry string reads as " "
    std::string label;   // the location's label
    bool enabled = true;
    bool pathValid = false; // the target exists, or the command runs through a host program
    LookupSource source = LookupSource::None;
    bool running = false; // a process in processes.txt carries its target's file name
};

struct GeneratedRoot {
    std::vector<GeneratedEntry> entries; // registry entries first, then shortcuts
    std::size_t skippedValues = 0;       // values that are not strings, which a load passes over
    std::size_t targetFiles = 0;         // program files created on the drive
};

// Fills an empty or missing directory with a whole simulated machine: registry.reg, drive_c with the
// programs, the startup folders and the tool's directory with its database, and processes.txt; sandbox.ini
// is left out, so every setting is the default. The same options and seed give the same root.
//
// Value names are unique across the machine (case folded), so no value sits in a run key and its twin
// and a load leaves the registry as it found it: every load of the root does the same work.
//
// Entry names and the file names of their targets come from a vocabulary without the letters Q and Z.
// The tables' other sections are programs of the same vocabulary that this machine does not have; the
// rules that match no helper are spelled with Q or Z, so an entry meant to be found nowhere walks every
// rule.
GeneratedRoot GenerateRoot(const std::filesystem::path& root, const GeneratorOptions& options);

// Where a generated root's registry.reg keeps a place's run key (enabled) or its twin, as a tree path from
// the hive on: a place of the 32-bit view under WOW6432Node.
std::string StoredKeyPath(const StartupLocation& row, bool enabled);

} // namespace qb::bench
