#pragma once

#include <QImage>
#include <string_view>

namespace qb {

// Decodes a JPEG file's bytes with libjpeg-turbo; a null image when they are not a JPEG it can read.
QImage DecodeJpeg(std::string_view bytes);

} // namespace qb
