#pragma once

#include "platform/registry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// How the user left the main window: its place and size, the two splitters, the list's column widths and
// which columns it shows.
// Kept between runs in the tool's own key, HKEY_CURRENT_USER "SOFTWARE\Quillbrook\Window", as text values
// of comma-separated numbers ("Placement" = "left,top,width,height,maximized"), so that a value from
// another version or typed by hand is read as far as it makes sense and otherwise ignored.
struct WindowSettings {
    struct Placement {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        bool maximized = false;
        friend bool operator==(const Placement&, const Placement&) = default;
    };
    std::optional<Placement> placement;
    std::vector<int> sideSplitter; // the left panel and the rest
    std::vector<int> listSplitter; // the list and the information pane
    std::vector<int> columns;      // only once the user has set them; the list fits its content otherwise
    // The keys (list_columns.h) of the columns the user has hidden, as "Location,Memory"; a key no column
    // has is kept as it is, for the version that has that column.
    std::vector<std::string> hiddenColumns;

    friend bool operator==(const WindowSettings&, const WindowSettings&) = default;
};

inline constexpr std::string_view kWindowSettingsKey = "SOFTWARE\\Quillbrook\\Window";

// The placement is kept apart for each display scale, in percent: a window placed at 150 % would be small
// and off centre at 100 %. "Placement" holds the one of 100 %, "Placement@150" the one of 150 %.
std::string PlacementValueName(int scalePercent);

// What is stored; missing or unreadable values are left empty. Never throws for a value of the wrong type.
WindowSettings ReadWindowSettings(Registry& registry, int scalePercent = 100);
// False when the key cannot be written (the settings are then simply not kept).
bool WriteWindowSettings(Registry& registry, const WindowSettings& settings, int scalePercent = 100);

// "161,617" -> {161, 617}; nullopt when any part is not a number between 0 and 100000, or there are more
// than `most` parts. Negative numbers are allowed where allowNegative says so (a window left of the
// primary screen).
std::optional<std::vector<int>> ParseNumberList(std::string_view text, std::size_t most, bool allowNegative);
std::string NumberListText(const std::vector<int>& numbers);

// "Location,Memory" -> {"Location", "Memory"}: the parts that are names (letters and digits); the others
// are left out.
std::vector<std::string> ParseNameList(std::string_view text);

} // namespace qb
