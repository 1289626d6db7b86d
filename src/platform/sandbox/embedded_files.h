#pragma once

#include <span>
#include <string_view>

namespace qb::sandbox {

// A file the programs carry with them, named by its path under data/ with forward slashes.
struct EmbeddedFile {
    std::string_view path;
    std::string_view bytes;
    bool executable;
};

// The shipped data files and the demo system: "demo/..." is a sandbox root's content, the files at the
// top level go into the tool's directory.
std::span<const EmbeddedFile> ShippedDataFiles();

} // namespace qb::sandbox
