#include "app/window_settings.h"

#include "app/list_columns.h"
#include "platform/platform_error.h"

#include <algorithm>
#include <charconv>

namespace qb {

namespace {

constexpr int kLargest = 100000;

std::string ReadText(RegistryKey& key, std::string_view name) {
    const auto value = key.ReadValue(name);
    return value && value->IsText() ? value->data : std::string();
}

std::vector<int> ReadList(RegistryKey& key, std::string_view name, std::size_t most) {
    const auto numbers = ParseNumberList(ReadText(key, name), most, false);
    // A splitter or a column of width 0 would hide its part for good: such a value is not used.
    if (!numbers) {
        return {};
    }
    for (const int n : *numbers) {
        if (n < 1) {
            return {};
        }
    }
    return *numbers;
}

} // namespace

std::optional<std::vector<int>> ParseNumberList(std::string_view text, std::size_t most, bool allowNegative) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::vector<int> numbers;
    while (true) {
        const auto comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        int value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || end != part.data() + part.size() || value > kLargest ||
            value < (allowNegative ? -kLargest : 0) || numbers.size() == most) {
            return std::nullopt;
        }
        numbers.push_back(value);
        if (comma == std::string_view::npos) {
            return numbers;
        }
        text.remove_prefix(comma + 1);
    }
}

std::string NumberListText(const std::vector<int>& numbers) {
    std::string text;
    for (const int n : numbers) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(n);
    }
    return text;
}

std::vector<std::string> ParseNameList(std::string_view text) {
    std::vector<std::string> names;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        const bool name =
            !part.empty() && part.size() <= 64 && std::all_of(part.begin(), part.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            });
        if (name && std::find(names.begin(), names.end(), part) == names.end()) {
            names.emplace_back(part);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return names;
}

std::string PlacementValueName(int scalePercent) {
    return scalePercent == 100 ? std::string("Placement") : "Placement@" + std::to_string(scalePercent);
}

WindowSettings ReadWindowSettings(Registry& registry, int scalePercent) {
    WindowSettings settings;
    const auto key = registry.OpenForReading(RegistryRoot::CurrentUser, kWindowSettingsKey);
    if (!key) {
        return settings;
    }
    if (const auto p = ParseNumberList(ReadText(*key, PlacementValueName(scalePercent)), 5, true);
        p && p->size() == 5 && (*p)[2] > 0 && (*p)[3] > 0 && ((*p)[4] == 0 || (*p)[4] == 1)) {
        settings.placement = WindowSettings::Placement{(*p)[0], (*p)[1], (*p)[2], (*p)[3], (*p)[4] == 1};
    }
    settings.sideSplitter = ReadList(*key, "SideSplitter", 2);
    settings.listSplitter = ReadList(*key, "ListSplitter", 2);
    settings.columns = ReadList(*key, "Columns", kListColumns.size());
    settings.hiddenColumns = ParseNameList(ReadText(*key, "HiddenColumns"));
    return settings;
}

bool WriteWindowSettings(Registry& registry, const WindowSettings& settings, int scalePercent) {
    const auto key = registry.OpenForWriting(RegistryRoot::CurrentUser, kWindowSettingsKey, true);
    if (!key) {
        return false;
    }
    const auto write = [&](std::string_view name, const std::vector<int>& numbers) {
        if (numbers.empty()) {
            key->DeleteValue(name);
        } else {
            key->WriteString(name, NumberListText(numbers));
        }
    };
    // The window's size is not worth an error box when the tool closes: a failed write only loses it.
    try {
        if (settings.placement) {
            const auto& p = *settings.placement;
            write(PlacementValueName(scalePercent), {p.left, p.top, p.width, p.height, p.maximized ? 1 : 0});
        }
        write("SideSplitter", settings.sideSplitter);
        write("ListSplitter", settings.listSplitter);
        write("Columns", settings.columns);
        std::string hidden;
        for (const std::string& name : settings.hiddenColumns) {
            hidden += (hidden.empty() ? "" : ",") + name;
        }
        if (hidden.empty()) {
            key->DeleteValue("HiddenColumns");
        } else {
            key->WriteString("HiddenColumns", hidden);
        }
    } catch (const PlatformError&) {
        return false;
    }
    return true;
}

} // namespace qb
