#include "inventory/row_texts.h"

#include "inventory/command_line.h"
#include "inventory/shell_folders.h"

namespace qb {

std::string FormatMemory(std::int32_t kilobytes) {
    if (kilobytes < 1024) {
        return std::to_string(kilobytes) + " KB";
    }
    // Tenths of a megabyte, in integers: kilobytes * 10 / 1024, rounded to nearest with halves down.
    const std::int64_t scaled = static_cast<std::int64_t>(kilobytes) * 10;
    std::int64_t tenths = scaled / 1024;
    if (scaled % 1024 > 512) {
        ++tenths;
    }
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        text += "." + std::to_string(tenths % 10);
    }
    return text + " MB";
}

std::string MemoryCellText(const StartupItem& item) {
    if (item.MemoryKB == 0) {
        return {};
    }
    if (item.MemoryKB == -1) {
        return "Running";
    }
    return FormatMemory(item.MemoryKB);
}

std::string ShownCommand(const StartupItem& item) {
    return RunCommandForRecord(item);
}

std::string CommandCellText(const StartupItem& item) {
    return item.PathValid ? ShownCommand(item) : std::string(kInvalidPathMarker) + ShownCommand(item);
}

std::string_view RowCommand(std::string_view commandCell) {
    if (commandCell.starts_with(kInvalidPathMarker)) {
        commandCell.remove_prefix(kInvalidPathMarker.size());
    }
    return commandCell;
}

std::string_view ChangeMarkName(ChangeMark mark) {
    switch (mark) {
    case ChangeMark::New: return "new";
    case ChangeMark::Returned: return "returned";
    case ChangeMark::Changed: return "changed";
    case ChangeMark::Removed:
        return "removed";
    case ChangeMark::None: break;
    }
    return "";
}

std::string_view ChangeMarkReason(ChangeMark mark) {
    switch (mark) {
    case ChangeMark::New: return "New: this entry was not there when you last accepted the startup setting.";
    case ChangeMark::Returned:
        return "Returned: you had disabled this entry, and it is enabled again. Its program may have put it "
               "back.";
    case ChangeMark::Changed:
        return "Changed: this entry's command is not the one it had when you last accepted the startup "
               "setting.";
    case ChangeMark::Removed:
        return "Removed: this entry was there when you last accepted the startup setting, and is gone now.";
    case ChangeMark::None: break;
    }
    return "";
}

} // namespace qb
