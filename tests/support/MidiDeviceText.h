#pragma once

#include "core/midi/MidiDevice.h"

#include <QByteArray>
#include <QtGlobal>

// What a failed QCOMPARE of two devices prints: "built-in", "system 2" (its place in the
// system's list) or "none". Found by argument-dependent lookup.
inline char *toString(const MidiDevice &device)
{
    const QByteArray text = device.isBuiltIn() ? QByteArray("built-in")
                            : device.isSystem() ? "system " + QByteArray::number(device.index())
                                                : QByteArray("none");
    return qstrdup(text.constData());
}
