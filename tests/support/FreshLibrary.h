#pragma once

#include <QDir>
#include <QString>

// Makes folder the current directory with an empty library in it (zorvik/ and its sub-folders):
// the program's paths are relative to the current directory, so every test starts clean.
inline bool makeFreshLibrary(const QString &folder)
{
    if (!QDir::setCurrent(folder))
        return false;
    QDir(QStringLiteral("zorvik")).removeRecursively();
    for (const char *sub : {"zorvik/mid", "zorvik/syx", "zorvik/csf", "zorvik/bin", "zorvik/Curve"}) {
        if (!QDir().mkpath(QString::fromLatin1(sub)))
            return false;
    }
    return true;
}
