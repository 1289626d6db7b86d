#pragma once

#include "platform/sandbox/reg_tree.h"

#include <string>
#include <string_view>
#include <variant>

namespace qb::sandbox {

// The sandbox keeps its whole registry in one .reg file: the file is the store, not an export, so the
// reader is strict about structure (a file it cannot read wholly is refused, never half-used) and the
// writer keeps what the tree holds, value order included.
//
// The tree of a file: the root node's subkeys are the hives under their full names ("HKEY_LOCAL_MACHINE",
// "HKEY_CURRENT_USER", also "HKEY_USERS", "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG"). The root holds no
// values of its own.

struct RegParseError {
    int line = 0; // 1-based
    std::string message;
};

// Reads "Windows Registry Editor Version 5.00" as UTF-16LE with a byte order mark, as UTF-8 with or
// without one, or as ASCII, and "REGEDIT4" with its ANSI text taken as UTF-8. HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER exist in the result even when the file never names them.
//
// Value data becomes RegistryValue's form: text of hex(1) and hex(2) loses one terminating NUL, and in a
// version 5.00 file the bytes of hex(1), hex(2) and hex(7) are UTF-16LE, turned into UTF-8 (a stray odd
// byte is dropped); every other type keeps its bytes. Names and strings allow the escapes \\, \", \r and
// \n; any other escape is an error rather than a guess.
std::variant<RegNode, RegParseError> ParseRegFile(std::string_view bytes);

// Writes version 5.00 in UTF-16LE with a byte order mark and CRLF line ends, as regedit exports: every
// key (empty ones too, so they survive) parents first, subkeys in their sorted order, values in stored
// order with the default value as @. A hive's own line is written when it holds values or nothing at
// all. Strings are "..." unless they hold a NUL (then hex(1), so that nothing is cut), 4-byte DWORDs
// dword:, everything else hex: or hex(N): wrapped at 80 columns the way regedit wraps.
std::string FormatRegFile(const RegNode& root);

} // namespace qb::sandbox
