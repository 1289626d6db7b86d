#include "checks/reader_checks.h"
#include "platform/sandbox/reg_file.h"

#include <variant>

namespace qb::fuzz {

namespace {

// The first place where two trees differ, as a key path, for the finding's text.
std::string FirstDifference(const sandbox::RegNode& a, const sandbox::RegNode& b, const std::string& path) {
    if (a.Name() != b.Name()) {
        return path + " (key name '" + a.Name() + "' became '" + b.Name() + "')";
    }
    const auto va = a.Values();
    const auto vb = b.Values();
    if (va.size() != vb.size()) {
        return path + " (" + std::to_string(va.size()) + " values became " + std::to_string(vb.size()) + ")";
    }
    for (auto x = va.begin(), y = vb.begin(); x != va.end(); ++x, ++y) {
        if (x->first != y->first) {
            return path + " (value name '" + x->first + "' became '" + y->first + "')";
        }
        if (!(x->second == y->second)) {
            return path + " (value '" + x->first + "' of type " +
                   std::to_string(static_cast<unsigned>(x->second.type)) + " changed to type " +
                   std::to_string(static_cast<unsigned>(y->second.type)) + " and " +
                   std::to_string(y->second.data.size()) + " bytes from " +
                   std::to_string(x->second.data.size()) + ")";
        }
    }
    const auto ka = a.Subkeys();
    const auto kb = b.Subkeys();
    if (ka.size() != kb.size()) {
        return path + " (" + std::to_string(ka.size()) + " subkeys became " + std::to_string(kb.size()) + ")";
    }
    for (std::size_t i = 0; i < ka.size(); ++i) {
        if (!(*ka[i] == *kb[i])) {
            return FirstDifference(*ka[i], *kb[i], path + "\\" + ka[i]->Name());
        }
    }
    return path + " (no difference found)";
}

} // namespace

Finding CheckRegFile(std::string_view bytes) {
    auto parsed = sandbox::ParseRegFile(bytes);
    const auto* tree = std::get_if<sandbox::RegNode>(&parsed);
    if (tree == nullptr) {
        const auto& error = std::get<sandbox::RegParseError>(parsed);
        if (error.line < 1) {
            return "a parse error names line " + std::to_string(error.line);
        }
        return std::nullopt;
    }
    if (!(tree->Clone() == *tree)) {
        return "a clone of the tree differs from it";
    }
    const std::string written = sandbox::FormatRegFile(*tree);
    auto reparsed = sandbox::ParseRegFile(written);
    const auto* again = std::get_if<sandbox::RegNode>(&reparsed);
    if (again == nullptr) {
        const auto& error = std::get<sandbox::RegParseError>(reparsed);
        return "the written file does not parse: line " + std::to_string(error.line) + ": " + error.message;
    }
    if (!(*again == *tree)) {
        return "the tree changed on a round trip at " + FirstDifference(*tree, *again, "");
    }
    if (sandbox::FormatRegFile(*again) != written) {
        return "writing the reread tree gives other bytes";
    }
    return std::nullopt;
}

} // namespace qb::fuzz
