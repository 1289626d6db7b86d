#include "inventory/field_text.h"

#include "platform/text.h"

namespace qb {

FieldText::FieldText(std::string_view text) : text_(CutAtCharBoundary(text, kLimit)) {}

} // namespace qb
