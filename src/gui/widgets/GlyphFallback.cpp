#include "gui/widgets/GlyphFallback.h"

#include <QFont>
#include <QGlyphRun>
#include <QTextLayout>

namespace {

// The plain form of a full-width character (U+FF01..U+FF5E are the ASCII range moved up, U+3000
// is the full-width blank); a null QChar for the others.
QChar plainForm(QChar c)
{
    const char16_t code = c.unicode();
    if (code >= 0xFF01 && code <= 0xFF5E)
        return QChar(char16_t(code - 0xFEE0));
    if (code == 0x3000)
        return QLatin1Char(' ');
    return {};
}

} // namespace

bool GlyphFallback::canDraw(QChar c, const QFont &font)
{
    // The layout picks the font the text would really be drawn in, fallbacks included; a glyph
    // index of 0 is the font's "missing" box.
    QTextLayout layout(QString(c), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.isEmpty())
        return false;
    for (const QGlyphRun &run : runs) {
        for (const quint32 glyph : run.glyphIndexes()) {
            if (glyph == 0)
                return false;
        }
    }
    return true;
}

QString GlyphFallback::drawable(const QString &text, const QFont &font)
{
    QString shown = text;
    for (QChar &c : shown) {
        const QChar plain = plainForm(c);
        if (!plain.isNull() && !canDraw(c, font))
            c = plain;
    }
    return shown;
}
