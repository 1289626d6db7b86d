#pragma once

#include <QString>
#include <string_view>

namespace qb {

// The core holds UTF-8; this is the one way its text becomes a widget's.
inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace qb
