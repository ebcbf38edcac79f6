#pragma once

#include <QByteArray>
#include <QString>

// Writes a file whole or not at all: the bytes go to a temporary file in the same folder, which
// then replaces the target. A failed write leaves an existing file as it was.
class SafeFile
{
public:
    // Returns an empty string on success, else a message for the user.
    static QString write(const QString &path, const QByteArray &bytes);
};
