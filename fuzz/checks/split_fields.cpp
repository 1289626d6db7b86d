#include "checks/reader_checks.h"

namespace qb::fuzz {

std::vector<std::string_view> SplitFields(std::string_view input) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t end = input.find(kFieldSeparator);
        fields.push_back(input.substr(0, end));
        if (end == std::string_view::npos) {
            return fields;
        }
        input.remove_prefix(end + 1);
    }
}

} // namespace qb::fuzz
