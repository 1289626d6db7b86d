#pragma once

#include "inventory/icon_sink.h"
#include "inventory/startup_item.h"
#include "inventory/startup_location.h"

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

// The picture of a location tree node, by what the node stands for.
Glyph NodeGlyph(NodeKind kind);

// A program icon with the mark of an entry that changed behind the user's back: a dot at its lower right,
// blue for new, red for returned, violet for changed. The icon itself for no mark.
QIcon MarkedIcon(const QIcon& icon, ChangeMark mark);
// The dot's colour.
QColor ChangeMarkColour(ChangeMark mark);

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
