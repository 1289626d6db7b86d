// Draws the desktop tool's pictures: the logo of the title panel, its large form for the help and the
// README, the two clickable pictures of the left panel, and the programs' icon. Everything is drawn here from
// vector shapes and a system font, so the pictures belong to the project and can be regenerated at any time.
//
//   make_pictures OUTPUT_DIR [--png PREVIEW_DIR]
//
// Shapes are drawn at four times the final size and scaled down with a smooth filter, which gives clean
// edges at 56 pixels. The JPEGs are baseline files, as the tool decodes them with libjpeg-turbo. The icon
// is a PNG, the only one: an icon needs the transparency JPEG lacks.
// PREVIEW_DIR receives PNG copies of the decoded JPEGs, as they are and enlarged four times.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QString>
#include <QTransform>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <jpeglib.h>

namespace {

// The title panel is white with navy type; the accents are the list's rating colours.
const QColor kNavy(0x1F, 0x3A, 0x68);
const QColor kNavyDark(0x16, 0x2B, 0x4F);
const QColor kSlate(0x4A, 0x5D, 0x7E);
const QColor kGreen(0xA7, 0xFF, 0xA8);
const QColor kBlue(0xC8, 0xF2, 0xFE);
const QColor kYellow(0xFA, 0xFF, 0xA3);
const QColor kRed(0xFF, 0xBC, 0xB6);
const QColor kHeart(0xE2, 0x4B, 0x4B);
const QColor kCardBorder(0xC9, 0xD3, 0xE0);

constexpr int kSupersample = 4;
constexpr int kJpegQuality = 92;

using Drawing = std::function<void(QPainter&)>;

// Draws in final-size coordinates on a canvas kSupersample times larger, then scales down. The canvas is
// white, or transparent for a picture that keeps an alpha channel.
enum class Canvas { White, Transparent };
QImage Render(QSize size, const Drawing& shapes, const Drawing& text = {}, Canvas canvas = Canvas::White) {
    QImage big(size * kSupersample,
               canvas == Canvas::White ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    big.fill(canvas == Canvas::White ? QColor(Qt::white) : QColor(Qt::transparent));
    {
        QPainter painter(&big);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        painter.scale(kSupersample, kSupersample);
        shapes(painter);
    }
    QImage image = big.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (text) {
        // Type is set at its final size: the font's hinting keeps small letters sharper than a
        // scaled-down rendering would.
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        text(painter);
    }
    return image;
}

// The quill in its own frame: the nib's point at the origin, the shaft along +x up to `length`. The vane
// is wider on one side, as a flight feather is, and its slits run forward like the barbs.
QPainterPath QuillVane(double length) {
    const double l = length;
    const double start = l * 0.24;
    QPainterPath vane;
    vane.moveTo(start, 0.0);
    vane.cubicTo(l * 0.40, -l * 0.19, l * 0.84, -l * 0.19, l, -l * 0.015);
    vane.cubicTo(l * 0.86, l * 0.10, l * 0.46, l * 0.10, start, 0.0);
    vane.closeSubpath();

    QPainterPath slits;
    for (const double at : {0.47, 0.68}) {
        const double x = l * at;
        slits.moveTo(x, -l * 0.012);
        slits.lineTo(x + l * 0.035, -l * 0.30);
        slits.lineTo(x + l * 0.115, -l * 0.30);
        slits.closeSubpath();
    }
    const double x = l * 0.58;
    slits.moveTo(x, l * 0.010);
    slits.lineTo(x + l * 0.03, l * 0.20);
    slits.lineTo(x + l * 0.09, l * 0.20);
    slits.closeSubpath();
    return vane.subtracted(slits);
}

QPainterPath QuillNib(double length) {
    QPainterPath nib;
    nib.moveTo(0.0, 0.0);
    nib.cubicTo(length * 0.10, -length * 0.030, length * 0.20, -length * 0.036, length * 0.27,
                -length * 0.036);
    nib.lineTo(length * 0.27, length * 0.036);
    nib.cubicTo(length * 0.20, length * 0.036, length * 0.10, length * 0.030, 0.0, 0.0);
    nib.closeSubpath();
    return nib;
}

// The logo in a 100 × 100 square: a navy tile, a brook across its foot and a quill dipping into it.
void DrawLogo(QPainter& p, const QRectF& box) {
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 100.0, box.height() / 100.0);

    QPainterPath tile;
    tile.addRoundedRect(QRectF(0, 0, 100, 100), 22, 22);
    p.fillPath(tile, kNavy);
    p.setClipPath(tile);

    // The brook: a light blue body with a green ripple line riding on it.
    QPainterPath water;
    water.moveTo(0, 76);
    water.cubicTo(18, 66, 32, 86, 50, 76);
    water.cubicTo(68, 66, 82, 86, 100, 76);
    water.lineTo(100, 100);
    water.lineTo(0, 100);
    water.closeSubpath();
    p.fillPath(water, kBlue);

    QPainterPath ripple;
    ripple.moveTo(-4, 66);
    ripple.cubicTo(14, 56, 28, 74, 46, 65);
    ripple.cubicTo(62, 57, 74, 71, 104, 62);
    QPen ripplePen(kGreen, 5.0, Qt::SolidLine, Qt::RoundCap);
    p.strokePath(ripple, ripplePen);

    QPainterPath shine;
    shine.moveTo(58, 90);
    shine.cubicTo(66, 86, 74, 93, 84, 88);
    p.strokePath(shine, QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));

    // The quill crosses the tile from its nib in the water up to the top-right corner.
    const double length = 86.0;
    QTransform frame;
    frame.translate(24, 80);
    frame.rotate(-52);
    const QPainterPath vane = frame.map(QuillVane(length));
    const QPainterPath nib = frame.map(QuillNib(length));

    // A soft navy outline keeps the white quill apart from the pale water where they overlap.
    p.strokePath(vane, QPen(kNavyDark, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.strokePath(nib, QPen(kNavyDark, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(vane, Qt::white);
    p.fillPath(nib, kYellow);

    QPainterPath shaft;
    shaft.moveTo(frame.map(QPointF(length * 0.22, 0)));
    shaft.lineTo(frame.map(QPointF(length * 0.93, 0)));
    p.strokePath(shaft, QPen(QColor(0xB4, 0xC4, 0xDC), 2.2, Qt::SolidLine, Qt::RoundCap));

    QPainterPath slit;
    slit.moveTo(frame.map(QPointF(length * 0.02, 0)));
    slit.lineTo(frame.map(QPointF(length * 0.15, 0)));
    p.strokePath(slit, QPen(kNavyDark, 1.6, Qt::SolidLine, Qt::RoundCap));

    p.restore();
}

QPainterPath Heart(const QPointF& centre, double size) {
    const double s = size / 2.0;
    const double x = centre.x();
    const double y = centre.y();
    QPainterPath heart;
    heart.moveTo(x, y + s * 0.95);
    heart.cubicTo(x - s * 0.30, y + s * 0.62, x - s * 1.05, y + s * 0.18, x - s * 1.00, y - s * 0.35);
    heart.cubicTo(x - s * 0.95, y - s * 0.95, x - s * 0.20, y - s * 1.05, x, y - s * 0.45);
    heart.cubicTo(x + s * 0.20, y - s * 1.05, x + s * 0.95, y - s * 0.95, x + s * 1.00, y - s * 0.35);
    heart.cubicTo(x + s * 1.05, y + s * 0.18, x + s * 0.30, y + s * 0.62, x, y + s * 0.95);
    heart.closeSubpath();
    return heart;
}

void DrawEnvelope(QPainter& p, const QRectF& body) {
    const QPen line(kNavy, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    QPainterPath outline;
    outline.addRoundedRect(body, 2.2, 2.2);
    p.fillPath(outline, Qt::white);
    p.strokePath(outline, line);
    QPainterPath flap;
    flap.moveTo(body.left() + 1.2, body.top() + 1.2);
    flap.lineTo(body.center().x(), body.top() + body.height() * 0.58);
    flap.lineTo(body.right() - 1.2, body.top() + 1.2);
    p.strokePath(flap, line);
}

// A card of the left panel: a white face framed in the list's grid colour, a badge in a rating colour
// with a symbol on it, a bold first line and a quieter second one. JPEG has no transparency, so the
// card fills its whole rectangle and looks right on any panel colour.
struct Card {
    QColor badge;
    QString title;
    QString subtitle;
    Drawing symbol;
};

constexpr QSize kCardSize(150, 60);
constexpr double kTextLeft = 52.0;
constexpr double kTextRight = 144.0;

void DrawCardShapes(QPainter& p, const Card& card) {
    const QRectF area(0, 0, kCardSize.width(), kCardSize.height());
    p.fillRect(area, Qt::white);
    p.setPen(QPen(kCardBorder, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(area.adjusted(0.5, 0.5, -0.5, -0.5));
    // A navy rule along the left edge ties the cards to the title panel.
    p.fillRect(QRectF(0, 0, 3, kCardSize.height()), kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(card.badge);
    p.drawEllipse(QRectF(10, 12, 36, 36));
    card.symbol(p);
}

// The largest pixel size up to `largest` at which `text` fits the card's text column.
QFont FittedFont(const QString& text, int largest, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(bold);
    for (int size = largest; size > 8; --size) {
        font.setPixelSize(size);
        if (QFontMetricsF(font).horizontalAdvance(text) <= kTextRight - kTextLeft) {
            break;
        }
    }
    return font;
}

void DrawCardText(QPainter& p, const Card& card) {
    p.setPen(kNavy);
    p.setFont(FittedFont(card.title, 14, true));
    p.drawText(QPointF(kTextLeft, 28.0), card.title);
    p.setPen(kSlate);
    p.setFont(FittedFont(card.subtitle, 11, false));
    p.drawText(QPointF(kTextLeft, 43.0), card.subtitle);
}

QImage RenderCard(const Card& card) {
    return Render(
        kCardSize, [&](QPainter& p) { DrawCardShapes(p, card); },
        [&](QPainter& p) { DrawCardText(p, card); });
}

// Baseline JPEG with full-resolution colour (4:4:4). The usual 4:2:0 halves the colour resolution, which
// smears the thin coloured edges of pictures this small; Qt's writer offers no choice, so libjpeg-turbo
// writes them directly.
QByteArray EncodeJpeg(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
    cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kJpegQuality, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return bytes;
}

bool Save(const QImage& image, const QString& directory, const QString& name,
          const QString& previewDirectory) {
    const QString path = QDir(directory).filePath(name + QStringLiteral(".jpg"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(EncodeJpeg(image)) < 0 || !file.commit()) {
        std::fprintf(stderr, "make_pictures: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    std::printf("%s (%d x %d)\n", qPrintable(path), image.width(), image.height());
    if (!previewDirectory.isEmpty()) {
        // Previews show the JPEG as decoded, at its size and enlarged without smoothing, so that every
        // pixel and every compression artefact can be judged.
        const QImage decoded(path);
        decoded.save(QDir(previewDirectory).filePath(name + QStringLiteral(".png")), "png");
        decoded.scaled(decoded.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            .save(QDir(previewDirectory).filePath(name + QStringLiteral("-4x.png")), "png");
    }
    return true;
}

// The icon's one large size as a PNG with its transparency; the build makes the smaller sizes of the
// Windows icon from it (cmake/WindowsManifest.cmake).
bool SavePng(const QImage& image, const QString& directory, const QString& name) {
    const QString path = QDir(directory).filePath(name + QStringLiteral(".png"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "png") || !file.commit()) {
        std::fprintf(stderr, "make_pictures: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    std::printf("%s (%d x %d)\n", qPrintable(path), image.width(), image.height());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    QString output;
    QString preview;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--png") && i + 1 < args.size()) {
            preview = args[++i];
        } else if (output.isEmpty() && !args[i].startsWith(QLatin1Char('-'))) {
            output = args[i];
        } else {
            output.clear();
            break;
        }
    }
    if (output.isEmpty()) {
        std::fprintf(stderr, "usage: make_pictures OUTPUT_DIR [--png PREVIEW_DIR]\n");
        return 2;
    }
    if (!preview.isEmpty() && !QImageReader::supportedImageFormats().contains("jpg")) {
        std::fprintf(stderr, "make_pictures: previews need Qt's JPEG image plugin (libqjpeg.so)\n");
        return 1;
    }
    QDir().mkpath(output);
    if (!preview.isEmpty()) {
        QDir().mkpath(preview);
    }

    // The title panel's logo is 56 × 54: a 52-pixel tile centred on white.
    const QImage logo = Render(QSize(56, 54), [](QPainter& p) { DrawLogo(p, QRectF(2, 1, 52, 52)); });
    const QImage logoLarge =
        Render(QSize(256, 256), [](QPainter& p) { DrawLogo(p, QRectF(8, 8, 240, 240)); });

    // The icon is the tile alone, its rounded corners transparent, filling the square but for a margin that
    // keeps the corners' antialiasing inside it at every size down to 16 pixels.
    const Drawing tile = [](QPainter& p) { DrawLogo(p, QRectF(4, 4, 248, 248)); };
    const QImage icon =
        Render(QSize(256, 256), tile, {}, Canvas::Transparent).convertToFormat(QImage::Format_ARGB32);

    const Card donate{kRed, QStringLiteral("Support"), QStringLiteral("Quillbrook"),
                      [](QPainter& p) { p.fillPath(Heart(QPointF(28, 30.5), 18), kHeart); }};
    const Card tell{kBlue, QStringLiteral("Tell a friend"), QStringLiteral("about Quillbrook"),
                    [](QPainter& p) { DrawEnvelope(p, QRectF(17.5, 23, 21, 14.5)); }};

    bool ok = Save(logo, output, QStringLiteral("logo"), preview);
    ok = Save(logoLarge, output, QStringLiteral("logo-large"), preview) && ok;
    ok = Save(RenderCard(donate), output, QStringLiteral("donate"), preview) && ok;
    ok = Save(RenderCard(tell), output, QStringLiteral("tell"), preview) && ok;
    ok = SavePng(icon, output, QStringLiteral("icon")) && ok;
    return ok ? 0 : 1;
}
