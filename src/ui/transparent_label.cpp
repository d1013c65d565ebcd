#include "transparent_label.h"

#include <QFontMetrics>
#include <QPainter>

namespace ui {
namespace {

bool isWordCharacter(QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); }

// Punctuation that never opens a line; it may hang past the right edge
// instead (its glyph fills only the left half of its cell).
bool closesLine(QChar c) { return QStringLiteral("，。、：；！？）」:;,.!?)").contains(c); }

// The caption's lines: its own line breaks, and further breaks where a line
// is wider than `width`, as a static text control wraps. A break falls
// between any two CJK characters but never inside a run of ASCII letters
// and digits nor before closing punctuation; spaces at a break are dropped.
QStringList captionLines(QString text, const QFontMetrics& fm, int width) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (width <= 0 || fm.horizontalAdvance(paragraph) <= width) {
            lines.append(paragraph);
            continue;
        }
        QString line;
        for (int i = 0; i < paragraph.size(); ++i) {
            const QChar c = paragraph[i];
            if (!line.isEmpty() && !closesLine(c) && fm.horizontalAdvance(line + c) > width) {
                int cut = line.size();
                if (isWordCharacter(c)) {
                    // Go back to the start of the word.
                    int k = line.size();
                    while (k > 0 && isWordCharacter(line[k - 1])) --k;
                    if (k > 0) cut = k;
                }
                lines.append(line.left(cut));
                line = line.mid(cut);
                while (line.startsWith(QLatin1Char(' '))) line.remove(0, 1);
                if (c == QLatin1Char(' ') && line.isEmpty()) continue;  // no space opens a line
            }
            line += c;
        }
        lines.append(line);
    }
    return lines;
}

}  // namespace

TransparentLabel::TransparentLabel(QWidget* parent) : TransparentLabel(QString(), parent) {}

TransparentLabel::TransparentLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAutoFillBackground(false);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QStringList TransparentLabel::lines() const {
    return captionLines(text(), QFontMetrics(font()), contentsRect().width());
}

int TransparentLabel::linePitch() const {
    const QFontMetrics fm(font());
    const int lines = static_cast<int>(this->lines().size());
    if (lines <= 1 || fm.height() * lines <= contentsRect().height()) return fm.height();
    // Too low for the face's spacing: share the height out, but never closer
    // than the glyphs' own size (CJK glyphs fill about the em).
    return qMax(contentsRect().height() / lines,
                font().pixelSize() > 0 ? font().pixelSize() : fm.ascent());
}

void TransparentLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect area = contentsRect();
    const QStringList lines = this->lines();
    const QFontMetrics fm(font());
    const int pitch = linePitch();
    const int block = pitch * static_cast<int>(lines.size());
    int top = area.top();
    if (alignment() & Qt::AlignVCenter)
        top += (area.height() - block) / 2;
    else if (alignment() & Qt::AlignBottom)
        top += area.height() - block;
    // Each line sits in its pitch with the glyphs centred in it.
    const int glyphOffset = (pitch - fm.height()) / 2;
    for (const QString& line : lines) {
        const QRect lineRect(area.left(), top + glyphOffset, area.width(), fm.height());
        p.drawText(lineRect, int(alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter, line);
        top += pitch;
    }
}

}  // namespace ui
