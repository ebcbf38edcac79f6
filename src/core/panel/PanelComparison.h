#pragma once

#include "core/panel/PanelSettings.h"

#include <QList>
#include <QString>

// What differs between the panel and a template (a library file or a received dump), box by
// box, as the boxes would show them: the librarian's "what is different?". Nothing is changed.
class PanelComparison
{
public:
    using Field = PanelSettings::Field;

    struct Difference
    {
        int slot = 0;
        Field field = Field::Channel;
        QString onPanel;
        QString inTemplate;
    };

    // Both as the panel shows them; the template's settings as loading it would leave them.
    static QList<Difference> compare(const PanelSettings &panel, const PanelSettings &other);
    // The template's settings, or nothing when the bytes are not a whole template.
    static bool read(const QByteArray &templateBytes, PanelSettings *settings);

    // "Knob 3 CC: 074 on the panel, 071 in the file" (`where` names the other side: "in the
    // file", "in the dump").
    static QString describe(const Difference &difference, const QString &where);
};
