#pragma once

#include "inventory/icon_sink.h"

#include <QIcon>
#include <vector>

namespace qb {

// The tool's own pictures for toolbar, tree and menu, drawn rather than taken from anywhere.
enum class Glyph {
    Apply,
    Refresh,
    Backup,
    Help,
    About,
    Programs,
    Users,
    User,
    Registry,
    Key,
    Folder,
    Add,
    Edit,
    Delete,
    Properties,
    Search,
    Open,
    Start,
    Stop
};
QIcon DrawnIcon(Glyph glyph, int size);

// The image list of program icons the list rows show, filled by a load.
class QtIconSink : public IconSink {
public:
    void Clear() override { icons_.clear(); }
    std::int32_t Add(const ProgramIcon& icon) override;
    QIcon At(std::int32_t index) const;

private:
    std::vector<QIcon> icons_;
};

} // namespace qb
