#include "platform/win32/win32_icons.h"

#include "platform/win32/win32_handles.h"

#include <algorithm>
#include <vector>

namespace qb::win32 {

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kRgb = 0x00FFFFFFu;

// The rows of a bitmap as 32-bit pixels (0xAARRGGBB), top row first. A monochrome bitmap reads as black
// (bit 0) and white (bit 1) pixels with zero alpha.
std::vector<std::uint32_t> ReadRows(HDC dc, HBITMAP bitmap, int width, int rows) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -rows; // negative: top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows));
    if (::GetDIBits(dc, bitmap, 0, static_cast<UINT>(rows), pixels.data(), &info, DIB_RGB_COLORS) != rows) {
        return {};
    }
    return pixels;
}

} // namespace

std::optional<ProgramIcon> IconPixels(HICON icon) {
    ICONINFO parts{};
    if (icon == nullptr || !::GetIconInfo(icon, &parts)) {
        return std::nullopt;
    }
    // GetIconInfo hands out copies of both bitmaps, which the caller deletes.
    const BitmapHandle color(parts.hbmColor);
    const BitmapHandle mask(parts.hbmMask);
    BITMAP shape{};
    if (!mask || ::GetObjectA(color ? color.Get() : mask.Get(), sizeof shape, &shape) == 0) {
        return std::nullopt;
    }
    const int width = shape.bmWidth;
    // A monochrome icon's mask holds the AND mask above the XOR image, so it is twice as tall.
    const int height = color ? shape.bmHeight : shape.bmHeight / 2;
    if (width <= 0 || height <= 0 || width > 1024 || height > 1024) {
        return std::nullopt;
    }
    const MemoryDcHandle dc(::CreateCompatibleDC(nullptr));
    if (!dc) {
        return std::nullopt;
    }
    const auto andMask = ReadRows(dc.Get(), mask.Get(), width, color ? height : height * 2);
    if (andMask.empty()) {
        return std::nullopt;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    ProgramIcon out;
    out.width = width;
    out.height = height;
    out.pixels.resize(count);
    if (color) {
        out.pixels = ReadRows(dc.Get(), color.Get(), width, height);
        if (out.pixels.empty()) {
            return std::nullopt;
        }
        const bool hasAlpha = std::any_of(out.pixels.begin(), out.pixels.end(),
                                          [](std::uint32_t p) { return (p & kOpaque) != 0; });
        if (!hasAlpha) {
            // An icon of the old kind: where the AND mask is set the screen shows through.
            for (std::size_t i = 0; i < count; ++i) {
                out.pixels[i] = (andMask[i] & kRgb) == 0 ? (out.pixels[i] | kOpaque) : 0;
            }
        }
        return out;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const bool transparent = (andMask[i] & kRgb) != 0;
        const bool set = (andMask[count + i] & kRgb) != 0;
        // AND set and XOR set inverts the screen; without a screen it is drawn black.
        out.pixels[i] = !transparent ? (set ? (kOpaque | kRgb) : kOpaque) : (set ? kOpaque : 0);
    }
    return out;
}

} // namespace qb::win32
