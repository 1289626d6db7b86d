#pragma once

#include "platform/registry.h"

namespace qb {

// The system's ANSI code page as Windows records it: the REG_SZ value ACP under
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Nls\CodePage. 1252 (Western European, Wine's
// default) when the value is missing or no number.
unsigned SystemAnsiCodePage(Registry& registry);

inline constexpr unsigned kDefaultAnsiCodePage = 1252;

} // namespace qb
