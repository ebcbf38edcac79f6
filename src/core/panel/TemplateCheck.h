#pragma once

#include <QByteArray>
#include <QString>

// The one test of "is this a template": what is saved as a .syx, loaded onto the panel or sent
// as a template must be exactly the instrument's template message: 162 bytes, its frame (F0,
// 00 20 63, command 03, 89 at byte 12), data bytes in between and F7 at its end. Anything else
// (a cut dump, a short "dump" that only starts like one, a renamed song) would replace a good
// template with a broken one, or tell the instrument something else.
class TemplateCheck
{
public:
    // Why the bytes are not one whole template, as the end of a sentence ("it holds only 13
    // bytes."); empty when they are one.
    static QString problem(const QByteArray &bytes);
    static bool isWhole(const QByteArray &bytes) { return problem(bytes).isEmpty(); }
};
