#pragma once

#include <string_view>

namespace qb {

// The embedded web-browser pane of the main window.
class BrowserPane {
public:
    virtual ~BrowserPane() = default;
    // The tool only navigates to "file:///" followed by the full Windows path of a local HTML file.
    virtual void Navigate(std::string_view url) = 0;
};

} // namespace qb
