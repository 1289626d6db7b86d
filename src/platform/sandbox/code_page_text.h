#pragma once

#include <string>
#include <string_view>

namespace qb::sandbox {

// ANSI bytes of a Windows code page (1252, 1251, 932, 936, 949, 950, ...; 65001 is UTF-8) as UTF-8,
// through the host's iconv. A byte sequence the code page does not define becomes U+FFFD; a code page the
// host does not know reads as Windows-1252.
std::string CodePageToUtf8(unsigned codePage, std::string_view bytes);

} // namespace qb::sandbox
