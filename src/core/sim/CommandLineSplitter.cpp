#include "core/sim/CommandLineSplitter.h"

void CommandLineSplitter::feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qsizetype newline = bytes.indexOf('\n');
        const QByteArrayView piece = newline < 0 ? bytes : bytes.first(newline);
        if (!dropping) {
            pending.append(piece);
            if (pending.size() > maxLine) {
                pending.clear();
                pending.squeeze();
                dropping = true;
                emit tooLong();
            }
        }
        if (newline < 0)
            return;
        if (!dropping)
            emit line(pending);
        pending.clear();
        dropping = false;
        bytes = bytes.sliced(newline + 1);
    }
}
