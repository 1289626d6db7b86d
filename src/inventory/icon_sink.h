#pragma once

#include "platform/shell.h"

#include <cstdint>

namespace qb {

// Where a load puts the program icons: the main window's image list. Each record gets the position its
// icon was added at.
class IconSink {
public:
    virtual ~IconSink() = default;
    virtual void Clear() = 0;
    // Adds one icon, even when an equal one is there already, and gives its position.
    virtual std::int32_t Add(const ProgramIcon& icon) = 0;
};

// For callers without an image list (the command line): counts positions and keeps nothing.
class CountingIconSink : public IconSink {
public:
    void Clear() override { count_ = 0; }
    std::int32_t Add(const ProgramIcon&) override { return count_++; }

private:
    std::int32_t count_ = 0;
};

} // namespace qb
