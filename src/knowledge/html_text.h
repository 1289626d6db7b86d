#pragma once

#include <string>
#include <string_view>

namespace qb {

// Text made safe for an HTML element or a quoted attribute: & < > " and ' become character references.
// Other bytes, UTF-8 sequences included, pass unchanged.
std::string EscapeHtml(std::string_view text);

// One term of a web-search query, safe inside a query string and inside an HTML attribute: a blank becomes
// "+", a dot "%2E" (search engines otherwise read "foo.exe" as two words), the unreserved characters
// A-Z a-z 0-9 - _ ~ stay, and every other byte becomes %XX (upper-case hex), so "+", "%", "&", "#", quotes
// and angle brackets from the text can neither end the term nor the attribute.
std::string EncodeSearchTerm(std::string_view text);

} // namespace qb
