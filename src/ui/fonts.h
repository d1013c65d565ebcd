// The three faces the windows use. Each names the Windows face first and falls
// back to an installed CJK face, so that no caption shows missing-glyph boxes.
#pragma once

#include <QFont>
#include <QStringList>

namespace ui {

enum class Face {
    Interface,  // the default interface font
    Song,       // "宋体"
    Title,      // the decorative face of the product title
};

// Captions use a 12-pixel em (a 9-point face at 96 dpi), whose line, with
// ascent, descent and leading, is about 16 pixels: what the fixed layouts
// were drawn for.
QFont interfaceFont();
QFont songFont();
// The product title on the main bar, its em three quarters of `pixelHeight`
// (the label's height).
QFont titleFont(int pixelHeight);
QFont font(Face face, int pixelHeight);

// The families to ask for a face named in a document (the printed grid's
// "宋体", "黑体"): the named face first, then installed faces of its kind.
QStringList familiesFor(const QString& face);

}  // namespace ui
