#pragma once

#include <QString>

class QFont;

// The program's texts keep their own characters ("Replace it？" with its full-width question
// mark). Where no installed font can draw one of them, the system would show an empty box in its
// place: such a character is written as its plain ASCII form instead, when it has one.
class GlyphFallback
{
public:
    // text as it can be drawn in font, with the fonts the system falls back on.
    static QString drawable(const QString &text, const QFont &font);
    // Whether font, or a font the system falls back on, has a glyph for c.
    static bool canDraw(QChar c, const QFont &font);
};
