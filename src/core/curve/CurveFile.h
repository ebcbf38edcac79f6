#pragma once

#include "core/curve/VelocityCurve.h"

#include <QString>

// The .crv file: 568 bytes, no header; the velocity map (128), then the key sources (7) and the
// key new values (7), every value a signed 32-bit little-endian integer.
class CurveFile
{
public:
    static constexpr qint64 fileSize = 568;
    static constexpr auto extension = ".crv";

    struct Contents
    {
        VelocityMap map{};
        VelocityCurve curve;
    };

    struct Result
    {
        bool ok = false;
        QString message;   // why it failed, for the user
        Contents contents;
    };

    // Reads and checks a whole file. A file of another size, or holding a key point or a map
    // entry outside 0..127, is refused: nothing is read into the caller's curve then.
    static Result load(const QString &path);
    static Result parse(const QByteArray &bytes, const QString &displayName);

    // Writes the file whole or not at all: an existing file survives a failed save.
    static Result save(const QString &path, const Contents &contents);
    static QByteArray serialize(const Contents &contents);
};
