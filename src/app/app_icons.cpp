#include "app/app_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qb {

namespace {

const QColor kNavy(0x1F, 0x3A, 0x68);
const QColor kBlue(0x2F, 0x6F, 0xD0);
const QColor kGreen(0x2E, 0x9E, 0x4F);
const QColor kRed(0xC8, 0x3A, 0x32);
const QColor kAmber(0xE0, 0xA1, 0x2B);

// Draws on a 32-unit canvas scaled to the requested size.
void Draw(QPainter& p, Glyph glyph) {
    QPen pen(kNavy, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case Glyph::Apply:
        p.setPen(QPen(kGreen, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({{6, 17}, {13, 24}, {26, 8}}));
        break;
    case Glyph::Refresh: {
        p.setPen(QPen(kBlue, 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(6, 6, 20, 20), 60 * 16, 280 * 16);
        p.setBrush(kBlue);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({{20, 2}, {27, 9}, {18, 12}}));
        break;
    }
    case Glyph::Backup:
        p.setBrush(QColor(0xE8, 0xEE, 0xF8));
        p.drawRoundedRect(QRectF(5, 5, 22, 22), 3, 3);
        p.setBrush(kBlue);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(10, 5, 12, 8));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 17, 14, 8));
        break;
    case Glyph::Help: {
        p.setBrush(QColor(0xE8, 0xEE, 0xF8));
        p.drawEllipse(QRectF(4, 4, 24, 24));
        QFont font = p.font();
        font.setPixelSize(18);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(4, 4, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Glyph::About: {
        p.setBrush(QColor(0xE8, 0xEE, 0xF8));
        p.drawEllipse(QRectF(4, 4, 24, 24));
        QFont font = p.font();
        font.setPixelSize(18);
        font.setBold(true);
        font.setItalic(true);
        p.setFont(font);
        p.drawText(QRectF(4, 4, 24, 24), Qt::AlignCenter, QStringLiteral("i"));
        break;
    }
    case Glyph::Programs:
        p.setBrush(QColor(0xE8, 0xEE, 0xF8));
        p.drawRoundedRect(QRectF(4, 6, 24, 20), 2, 2);
        p.setBrush(kBlue);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(5, 7, 22, 5));
        break;
    case Glyph::Users:
        p.setBrush(QColor(0xC8, 0xF2, 0xFE));
        p.drawEllipse(QRectF(3, 5, 10, 10));
        p.drawEllipse(QRectF(17, 5, 10, 10));
        p.drawChord(QRectF(1, 16, 14, 16), 0, 180 * 16);
        p.drawChord(QRectF(15, 16, 14, 16), 0, 180 * 16);
        break;
    case Glyph::User:
        p.setBrush(QColor(0xA7, 0xFF, 0xA8));
        p.drawEllipse(QRectF(10, 4, 12, 12));
        p.drawChord(QRectF(6, 17, 20, 18), 0, 180 * 16);
        break;
    case Glyph::Registry:
        p.setBrush(kAmber);
        for (int i = 0; i < 3; ++i) {
            p.drawRect(QRectF(4 + i * 3, 20 - i * 7, 18, 7));
        }
        break;
    case Glyph::Key:
        p.setPen(QPen(kAmber.darker(130), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawEllipse(QRectF(4, 10, 11, 11));
        p.drawLine(QPointF(15, 15.5), QPointF(28, 15.5));
        p.drawLine(QPointF(24, 15.5), QPointF(24, 21));
        break;
    case Glyph::Folder: {
        p.setBrush(QColor(0xF6, 0xC8, 0x5F));
        QPainterPath path;
        path.moveTo(3, 9);
        path.lineTo(12, 9);
        path.lineTo(15, 12);
        path.lineTo(29, 12);
        path.lineTo(29, 26);
        path.lineTo(3, 26);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case Glyph::Add:
        p.setPen(QPen(kGreen, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 6), QPointF(16, 26));
        p.drawLine(QPointF(6, 16), QPointF(26, 16));
        break;
    case Glyph::Edit:
        p.setPen(QPen(kNavy, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 24), QPointF(24, 8));
        p.drawLine(QPointF(6, 26), QPointF(9, 25));
        break;
    case Glyph::Delete:
        p.setPen(QPen(kRed, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(24, 24));
        p.drawLine(QPointF(24, 8), QPointF(8, 24));
        break;
    case Glyph::Properties:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 4, 18, 24));
        p.drawLine(QPointF(11, 11), QPointF(21, 11));
        p.drawLine(QPointF(11, 16), QPointF(21, 16));
        p.drawLine(QPointF(11, 21), QPointF(18, 21));
        break;
    case Glyph::Search:
        p.setPen(QPen(kNavy, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawEllipse(QRectF(5, 5, 15, 15));
        p.drawLine(QPointF(18, 18), QPointF(27, 27));
        break;
    case Glyph::Open:
        Draw(p, Glyph::Folder);
        break;
    case Glyph::Start:
        p.setBrush(kGreen);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({{9, 5}, {27, 16}, {9, 27}}));
        break;
    case Glyph::Stop:
        p.setBrush(kRed);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(7, 7, 18, 18), 2, 2);
        break;
    }
}

// An icon drawn at its size and at twice it, for screens that scale; `draw` paints on a transparent square
// whose painter is scaled so that the icon's own size maps to the square.
template <typename Draw> QIcon PaintedIcon(int size, Draw draw) {
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, pixmap.rect(), scale);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

Glyph NodeGlyph(NodeKind kind) {
    switch (kind) {
    case NodeKind::Everything:
        return Glyph::Programs;
    case NodeKind::UsersGroup:
        return Glyph::Users;
    case NodeKind::UserGroup:
        return Glyph::User;
    case NodeKind::KeysGroup:
        return Glyph::Registry;
    case NodeKind::Folder:
        return Glyph::Folder;
    case NodeKind::RegistryKey:
        break;
    }
    return Glyph::Key;
}

QIcon DrawnIcon(Glyph glyph, int size) {
    return PaintedIcon(size, [&](QPainter& painter, const QRect&, int scale) {
        painter.scale(size * scale / 32.0, size * scale / 32.0);
        Draw(painter, glyph);
    });
}

QColor ChangeMarkColour(ChangeMark mark) {
    switch (mark) {
    case ChangeMark::New: return QColor(0x1c, 0x64, 0xd8);
    case ChangeMark::Returned: return QColor(0xd0, 0x21, 0x1c);
    case ChangeMark::Changed: return QColor(0x8a, 0x2b, 0xc2);
    case ChangeMark::Removed: // no row of the list shows a removed entry
    case ChangeMark::None: break;
    }
    return {};
}

QIcon MarkedIcon(const QIcon& icon, ChangeMark mark) {
    if (mark == ChangeMark::None) {
        return icon;
    }
    return PaintedIcon(16, [&](QPainter& painter, const QRect& square, int scale) {
        icon.paint(&painter, square);
        painter.scale(scale, scale);
        // A white ring keeps the dot apart from an icon of the same colour.
        painter.setPen(QPen(Qt::white, 1.2));
        painter.setBrush(ChangeMarkColour(mark));
        painter.drawEllipse(QRectF(8.5, 8.5, 7, 7));
    });
}

std::int32_t QtIconSink::Add(const ProgramIcon& icon) {
    static const QIcon standard = DrawnIcon(Glyph::Programs, 16);
    if (icon.standardApplication || icon.width <= 0 || icon.height <= 0 ||
        icon.pixels.size() != static_cast<std::size_t>(icon.width * icon.height)) {
        icons_.push_back(standard);
    } else {
        QImage image(icon.width, icon.height, QImage::Format_ARGB32);
        for (int y = 0; y < icon.height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < icon.width; ++x) {
                line[x] = icon.pixels[static_cast<std::size_t>(y * icon.width + x)];
            }
        }
        icons_.push_back(QIcon(QPixmap::fromImage(image)));
    }
    return static_cast<std::int32_t>(icons_.size() - 1);
}

QIcon QtIconSink::At(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= icons_.size()) {
        return {};
    }
    return icons_[static_cast<std::size_t>(index)];
}

} // namespace qb
