#include "core/panel/PanelComparison.h"

#include "core/panel/PanelStep.h"
#include "core/panel/TemplateCheck.h"

QList<PanelComparison::Difference> PanelComparison::compare(const PanelSettings &panel, const PanelSettings &other)
{
    QList<Difference> differences;
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f) {
            const auto field = Field(f);
            const QString mine = panel.fieldText(slot, field);
            const QString theirs = other.fieldText(slot, field);
            if (mine != theirs)
                differences.append({slot, field, mine, theirs});
        }
    }
    return differences;
}

bool PanelComparison::read(const QByteArray &templateBytes, PanelSettings *settings)
{
    if (!TemplateCheck::problem(templateBytes).isEmpty())
        return false;
    return settings->applyTemplateSysEx(templateBytes);
}

QString PanelComparison::describe(const Difference &difference, const QString &where)
{
    return QStringLiteral("%1: %2 on the panel, %3 %4")
        .arg(PanelStep::boxName(difference.slot, difference.field), difference.onPanel, difference.inTemplate, where);
}
