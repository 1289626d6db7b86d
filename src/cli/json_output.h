#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

namespace qb::cli {

// Every JSON the command line prints goes through here. Names come from the system as bytes: a Latin-1
// shortcut file name is no UTF-8, and a strict dump would end the program after its changes were made,
// with no word of them. Such bytes become U+FFFD instead.
template <typename Json> void WriteJson(std::ostream& out, const Json& json) {
    out << json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

} // namespace qb::cli
