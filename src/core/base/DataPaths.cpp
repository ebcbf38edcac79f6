#include "core/base/DataPaths.h"

QString DataPaths::piece(Folder folder)
{
    switch (folder) {
    case Folder::Root: return {};
    case Folder::Mid: return QStringLiteral("mid/");
    case Folder::Syx: return QStringLiteral("syx/");
    case Folder::Csf: return QStringLiteral("csf/");
    case Folder::Bin: return QStringLiteral("bin/");
    case Folder::Curve: return QStringLiteral("Curve/");
    }
    return {};
}

bool DataPaths::isSafeFileName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        return false;
    // Without separators and a leading dot, ".." cannot be an element of the name: two dots
    // inside a name ("a..b.mid") are harmless.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString DataPaths::shownName(const QString &name)
{
    if (name.size() <= shownNameLength)
        return name;
    const qsizetype head = (shownNameLength - 1) / 2;
    const qsizetype tail = shownNameLength - 1 - head;
    return name.left(head) + QChar(0x2026) + name.right(tail);
}
