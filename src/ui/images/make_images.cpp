// Draws the program's own images and writes them beside this file:
//   lanhe_make_images <folder>
// The outputs are committed and compiled in as resources; run this again only
// when a picture changes. Needs a CJK font for nothing: every picture is shapes.
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

QImage canvas(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void begin(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// A green rounded tile with an open ledger book and a gold coin.
QImage programIcon() {
    QImage image = canvas(48);
    QPainter p(&image);
    begin(p);
    QLinearGradient bg(0, 0, 0, 48);
    bg.setColorAt(0, QColor(46, 160, 110));
    bg.setColorAt(1, QColor(18, 96, 70));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 9, 9);
    // book: two pages
    p.setBrush(QColor(250, 250, 244));
    QPainterPath left;
    left.moveTo(8, 14);
    left.quadTo(16, 11, 23.5, 14);
    left.lineTo(23.5, 38);
    left.quadTo(16, 35, 8, 38);
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(24.5, 14);
    right.quadTo(32, 11, 40, 14);
    right.lineTo(40, 38);
    right.quadTo(32, 35, 24.5, 38);
    right.closeSubpath();
    p.drawPath(left);
    p.drawPath(right);
    p.setPen(QPen(QColor(120, 150, 140), 1.2));
    for (int i = 0; i < 4; ++i) {
        const double y = 19 + i * 4.5;
        p.drawLine(QPointF(11, y), QPointF(21, y));
        p.drawLine(QPointF(27, y), QPointF(37, y));
    }
    // coin
    QRadialGradient gold(QPointF(36, 35), 9);
    gold.setColorAt(0, QColor(255, 226, 110));
    gold.setColorAt(1, QColor(214, 150, 20));
    p.setPen(QPen(QColor(160, 100, 0), 1));
    p.setBrush(gold);
    p.drawEllipse(QPointF(36, 36), 8, 8);
    p.setPen(QPen(QColor(150, 90, 0), 1.6));
    p.drawLine(QPointF(33, 32.5), QPointF(36, 36));
    p.drawLine(QPointF(39, 32.5), QPointF(36, 36));
    p.drawLine(QPointF(36, 36), QPointF(36, 40.5));
    p.drawLine(QPointF(33, 36.5), QPointF(39, 36.5));
    p.drawLine(QPointF(33, 38.8), QPointF(39, 38.8));
    return image;
}

// Misty mountains over a stalk of grain, in a round badge.
QImage logo() {
    QImage image = canvas(50);
    QPainter p(&image);
    begin(p);
    QLinearGradient sky(0, 0, 0, 50);
    sky.setColorAt(0, QColor(210, 236, 250));
    sky.setColorAt(1, QColor(240, 250, 240));
    p.setPen(QPen(QColor(30, 120, 90), 2));
    p.setBrush(sky);
    p.drawEllipse(QRectF(1.5, 1.5, 47, 47));
    p.setClipRegion(QRegion(2, 2, 46, 46, QRegion::Ellipse));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 170, 200));
    QPainterPath far;
    far.moveTo(0, 36);
    far.lineTo(16, 14);
    far.lineTo(26, 26);
    far.lineTo(34, 16);
    far.lineTo(50, 34);
    far.lineTo(50, 50);
    far.lineTo(0, 50);
    far.closeSubpath();
    p.drawPath(far);
    p.setBrush(QColor(40, 140, 100));
    QPainterPath near;
    near.moveTo(0, 42);
    near.lineTo(12, 28);
    near.lineTo(24, 40);
    near.lineTo(36, 30);
    near.lineTo(50, 42);
    near.lineTo(50, 50);
    near.lineTo(0, 50);
    near.closeSubpath();
    p.drawPath(near);
    // mist
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawRoundedRect(QRectF(4, 30, 30, 3), 1.5, 1.5);
    p.drawRoundedRect(QRectF(20, 24, 26, 2.5), 1.2, 1.2);
    // grain
    p.setClipping(false);
    p.setPen(QPen(QColor(200, 140, 20), 1.6));
    p.drawLine(QPointF(38, 46), QPointF(38, 12));
    p.setBrush(QColor(235, 180, 40));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        const double y = 14 + i * 6;
        p.drawEllipse(QRectF(38.5, y, 5, 3));
        p.drawEllipse(QRectF(32.5, y + 2.5, 5, 3));
    }
    return image;
}

// Toolbar pictures, 24 by 24.
QImage entryImage() {
    QImage image = canvas(24);
    QPainter p(&image);
    begin(p);
    p.setPen(QPen(QColor(70, 90, 110), 1));
    p.setBrush(QColor(255, 255, 250));
    p.drawRect(QRectF(3.5, 2.5, 14, 19));
    p.setPen(QPen(QColor(150, 170, 190), 1));
    for (int i = 0; i < 4; ++i) p.drawLine(QPointF(6, 7 + i * 3.5), QPointF(15, 7 + i * 3.5));
    // pen
    p.translate(17, 13);
    p.rotate(40);
    p.setPen(QPen(QColor(120, 60, 0), 0.8));
    p.setBrush(QColor(240, 170, 40));
    p.drawRect(QRectF(-2, -9, 4, 13));
    p.setBrush(QColor(60, 60, 60));
    QPolygonF tip{QPointF(-2, 4), QPointF(2, 4), QPointF(0, 8)};
    p.drawPolygon(tip);
    return image;
}

QImage queryImage() {
    QImage image = canvas(24);
    QPainter p(&image);
    begin(p);
    p.setPen(QPen(QColor(40, 90, 150), 2.4));
    p.setBrush(QColor(210, 235, 255));
    p.drawEllipse(QPointF(9.5, 9.5), 6.5, 6.5);
    p.setPen(QPen(QColor(90, 60, 30), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(20.5, 20.5));
    return image;
}

QImage customersImage() {
    QImage image = canvas(24);
    QPainter p(&image);
    begin(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 170, 120));
    p.drawEllipse(QPointF(16, 8), 3.5, 3.5);
    p.drawRoundedRect(QRectF(10.5, 12.5, 11, 9), 4, 4);
    p.setBrush(QColor(40, 120, 180));
    p.drawEllipse(QPointF(9, 8), 4.5, 4.5);
    p.drawRoundedRect(QRectF(2, 13.5, 14, 9), 5, 5);
    return image;
}

QImage settingsImage() {
    QImage image = canvas(24);
    QPainter p(&image);
    begin(p);
    p.translate(12, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(100, 110, 125));
    for (int i = 0; i < 8; ++i) {
        p.drawRoundedRect(QRectF(-2, -11, 4, 6), 1, 1);
        p.rotate(45);
    }
    p.drawEllipse(QPointF(0, 0), 7.5, 7.5);
    p.setBrush(QColor(235, 238, 242));
    p.drawEllipse(QPointF(0, 0), 3, 3);
    return image;
}

QImage calculatorImage() {
    QImage image = canvas(24);
    QPainter p(&image);
    begin(p);
    p.setPen(QPen(QColor(50, 55, 65), 1));
    p.setBrush(QColor(90, 100, 115));
    p.drawRoundedRect(QRectF(3.5, 1.5, 17, 21), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 230, 190));
    p.drawRect(QRectF(6, 4, 12, 4));
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            p.setBrush(c == 2 && r == 2 ? QColor(240, 140, 40) : QColor(235, 235, 235));
            p.drawRect(QRectF(6 + c * 4.3, 10 + r * 4, 3, 2.8));
        }
    }
    return image;
}

// Status column pictures, 16 by 16: a green tick (settled), an orange clock
// (unsettled).
QImage settledImage() {
    QImage image = canvas(16);
    QPainter p(&image);
    begin(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(34, 150, 70));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF{QPointF(4.5, 8.2), QPointF(7, 10.8), QPointF(11.5, 5.2)});
    return image;
}

QImage unsettledImage() {
    QImage image = canvas(16);
    QPainter p(&image);
    begin(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 120, 20));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF{QPointF(8, 4), QPointF(8, 8.5), QPointF(11, 10)});
    return image;
}

// The icon file image Windows keeps for the notification icon: one 48 by 48
// entry of 32 bits per pixel, a bottom-up BGRA bitmap and an empty AND mask.
// 6 + 16 + 40 + 48*48*4 + 48*8 = 9662 bytes.
QByteArray iconFile(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskStride = ((size + 31) / 32) * 4;
    const quint32 bitmapBytes = 40 + size * size * 4 + maskStride * size;
    QByteArray out;
    auto u8 = [&](quint8 v) { out.append(char(v)); };
    auto u16 = [&](quint16 v) {
        u8(v & 0xff);
        u8(v >> 8);
    };
    auto u32 = [&](quint32 v) {
        u16(v & 0xffff);
        u16(v >> 16);
    };
    u16(0);  // reserved
    u16(1);  // icon
    u16(1);  // one image
    u8(size);
    u8(size);
    u8(0);    // no palette
    u8(0);    // reserved
    u16(1);   // planes
    u16(32);  // bits per pixel
    u32(bitmapBytes);
    u32(6 + 16);
    // BITMAPINFOHEADER, height counting the XOR and the AND bitmap
    u32(40);
    u32(size);
    u32(size * 2);
    u16(1);
    u16(32);
    u32(0);  // BI_RGB
    u32(size * size * 4 + maskStride * size);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    for (int y = size - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < size; ++x) {
            u8(qBlue(line[x]));
            u8(qGreen(line[x]));
            u8(qRed(line[x]));
            u8(qAlpha(line[x]));
        }
    }
    out.append(QByteArray(maskStride * size, '\0'));
    return out;
}

bool save(const QDir& dir, const QString& name, const QImage& image) {
    const bool ok = image.save(dir.filePath(name), "PNG");
    if (!ok) std::fprintf(stderr, "cannot write %s\n", qPrintable(dir.filePath(name)));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: lanhe_make_images FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QImage icon = programIcon();
    bool ok = save(dir, "program_icon.png", icon) && save(dir, "logo.png", logo()) &&
              save(dir, "toolbar_entry.png", entryImage()) &&
              save(dir, "toolbar_query.png", queryImage()) &&
              save(dir, "toolbar_customers.png", customersImage()) &&
              save(dir, "toolbar_settings.png", settingsImage()) &&
              save(dir, "calculator.png", calculatorImage()) &&
              save(dir, "settled.png", settledImage()) &&
              save(dir, "unsettled.png", unsettledImage());
    QFile ico(dir.filePath("program_icon.ico"));
    const QByteArray bytes = iconFile(icon);
    ok = ok && ico.open(QIODevice::WriteOnly) && ico.write(bytes) == bytes.size();
    std::printf("icon file: %lld bytes\n", static_cast<long long>(bytes.size()));
    return ok ? 0 : 1;
}
