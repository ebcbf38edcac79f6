// Writes the demo library's songs: three format 0 MIDI files with markers into <root>/mid/ and
// two .csf song files (the same kind of song inside a small container) into <root>/csf/.
// Usage: zorvik-make-demo-songs <root>     (root is usually demo/zorvik)

#include "core/song/DemoSongs.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <library root, e.g. demo/zorvik>\n", argv[0]);
        return 2;
    }
    const QStringList problems = DemoSongs::write(QString::fromLocal8Bit(argv[1]));
    for (const QString &problem : problems)
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    return problems.isEmpty() ? 0 : 1;
}
