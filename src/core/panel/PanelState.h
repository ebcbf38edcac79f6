#pragma once

#include "core/panel/PanelSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// The panel as a user's change can leave it: the text of every slot box, the Channel box,
// which control pictures are marked, and the records of PanelSettings, whose `number` is the
// assignment no box shows. Texts are kept by control and field, never by widget, so a state
// can be put back on any panel.
class PanelState
{
public:
    using Field = PanelSettings::Field;
    // The Channel box belongs to no slot; a change of it names this instead.
    static constexpr int channelBox = -1;

    struct Change
    {
        int slot = channelBox;
        Field field = Field::Channel;   // a box field, or Number for the assignment
        QString before;
        QString after;
        bool operator==(const Change &) const = default;
    };

    QString boxText(int slot, Field field) const;
    void setBoxText(int slot, Field field, const QString &text);
    QString channelText() const { return channel; }
    void setChannelText(const QString &text) { channel = text; }
    std::array<bool, PanelSettings::slotCount> marks() const { return marked; }
    void setMarks(const std::array<bool, PanelSettings::slotCount> &marks) { marked = marks; }
    // PanelSettings::recordBlock().
    QByteArray records() const { return recordBlock; }
    void setRecords(const QByteArray &block) { recordBlock = block; }
    QString number(int slot) const;

    // The same box texts, numbers, Channel box and marks: the user sees no difference. The
    // other record fields follow the boxes at the next save and are not compared.
    bool looksLike(const PanelState &other) const;
    // What a user sees change from this state to other: the boxes in slot and box order, then
    // the assigned numbers, then the Channel box.
    QList<Change> changesTo(const PanelState &other) const;

private:
    static bool isBoxField(int slot, Field field);

    std::array<std::array<QString, PanelSettings::boxFieldCount>, PanelSettings::slotCount> boxes;
    QString channel;
    std::array<bool, PanelSettings::slotCount> marked{};
    QByteArray recordBlock;
};
