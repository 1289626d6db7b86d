#pragma once

#include "platform/shell.h"
#include "platform/win32/win32_api.h"

#include <optional>

namespace qb::win32 {

// The pixels of an icon as 32-bit ARGB, top row first. Icons without an alpha channel take it from their
// mask; monochrome icons (no colour bitmap) become black and white. nullopt when the icon cannot be read.
std::optional<ProgramIcon> IconPixels(HICON icon);

} // namespace qb::win32
