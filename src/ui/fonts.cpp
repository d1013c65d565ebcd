#include "fonts.h"

#include <QStringList>

namespace ui {
namespace {

// Captions are drawn at a 12-pixel em, a 9-point face on a 96-dpi screen:
// the size the fixed rectangles of the windows were measured for. With the
// fallback faces the line is then 16 or 17 pixels high.
constexpr int kCaptionPixels = 12;

QFont make(const QStringList& families) {
    QFont f;
    f.setFamilies(families);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(kCaptionPixels);
    return f;
}

// Microsoft YaHei where Windows has it; else Noto Sans CJK SC ahead of
// WenQuanYi Zen Hei, whose 12-pixel glyphs lose strokes when wine draws them.
const QStringList& interfaceFamilies() {
    static const QStringList families{
        QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK")};
    return families;
}

const QStringList& songFamilies() {
    static const QStringList families{
        QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei")};
    return families;
}

const QStringList& titleFamilies() {
    static const QStringList families{QStringLiteral("迷你简太极"),
                                      QStringLiteral("Noto Serif CJK SC"),
                                      QStringLiteral("WenQuanYi Zen Hei")};
    return families;
}

}  // namespace

QStringList familiesFor(const QString& face) {
    QStringList families{face};
    if (face == QStringLiteral("黑体") ||
        face.compare(QStringLiteral("SimHei"), Qt::CaseInsensitive) == 0) {
        families << QStringLiteral("SimHei") << QStringLiteral("Microsoft YaHei")
                 << QStringLiteral("Noto Sans CJK SC") << QStringLiteral("WenQuanYi Zen Hei");
    } else if (face == QStringLiteral("宋体") ||
               face.compare(QStringLiteral("SimSun"), Qt::CaseInsensitive) == 0) {
        // Printed 宋体 is laid out in columns measured for SimSun, whose
        // digits are half as wide as a Chinese character: a date such as
        // 2026年11月24日 is seven characters wide. Where SimSun is missing the
        // stand-ins keep those half-width digits (the proportional CJK faces'
        // digits are wider, and a date would wrap in its column).
        families << QStringLiteral("SimSun") << QStringLiteral("NSimSun")
                 << QStringLiteral("Noto Sans Mono CJK SC")
                 << QStringLiteral("WenQuanYi Zen Hei Mono") << QStringLiteral("Noto Serif CJK SC");
    }
    families << QStringLiteral("Noto Sans CJK SC") << QStringLiteral("WenQuanYi Zen Hei");
    families.removeDuplicates();
    return families;
}

QFont interfaceFont() { return make(interfaceFamilies()); }

QFont songFont() { return make(songFamilies()); }

QFont titleFont(int pixelHeight) {
    // A title is a few large glyphs: their em, not the line, has to fit.
    QFont f;
    f.setFamilies(titleFamilies());
    f.setPixelSize(pixelHeight * 3 / 4);
    f.setWeight(QFont::Bold);
    return f;
}

QFont font(Face face, int pixelHeight) {
    switch (face) {
        case Face::Song:
            return songFont();
        case Face::Title:
            return titleFont(pixelHeight);
        case Face::Interface:
            break;
    }
    return interfaceFont();
}

}  // namespace ui
