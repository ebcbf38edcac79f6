#pragma once

#include <QStringList>

// The controller and note names the panel's name list offers: 128 entries each, every entry a
// three-digit number, a blank and a name ("064 Damper pedal(Sustain)", "060 C3"), sorted by text.
class NameLists
{
public:
    static const QStringList &controllers();
    static const QStringList &notes();

    static QString entryNumber(const QString &entry);   // "064"
    static QString entryName(const QString &entry);     // "Damper pedal(Sustain)"
};
