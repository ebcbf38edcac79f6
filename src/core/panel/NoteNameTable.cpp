#include "core/panel/NoteNameTable.h"

void NoteNameTable::build(const QStringList &noteListTexts)
{
    for (int n = 0; n < size; ++n) {
        auto &entry = entries[static_cast<std::size_t>(n)];
        entry.fill('9');
        if (n >= noteListTexts.size())
            continue;
        const QByteArray name = noteListTexts.at(n).mid(4).toLatin1();
        for (int i = 0; i < 4 && i < name.size(); ++i)
            entry[static_cast<std::size_t>(i)] = name.at(i);
    }
}
