#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <array>
#include <optional>

// Where a name dragged from the name list lands, and what the control pictures show meanwhile:
// knobs, pads, the pedal and the joystick's Up and Down zones are targets; in Note mode only
// the pads and the pedal are. A target that received a drop stays marked (lit) until Default.
class PanelDragModel
{
public:
    enum class ListMode { Controller, Note };
    enum class JoystickImage { Plain, Up, Down, Both };

    // Targets by the slot they assign: knobs 0-7, pads 8-15, joystick up 16, down 17, pedal 20.
    static constexpr int none = -1;

    struct Assignment
    {
        int slot = none;
        std::optional<QString> channelText;   // knobs and pads take the Channel box's channel
        QString ccText;                       // the number in Controller mode, the name in Note mode
        QString number;                       // the entry's three digits
    };

    // pictures: the rectangle of each slot's picture in the window (the joystick's four slots
    // share one).
    explicit PanelDragModel(const std::array<QRect, 21> &pictures);

    // Finds the target under a point and updates what every tested picture shows.
    int search(const QPoint &point, ListMode mode);
    // The drag left every target (released, or over the list again).
    void clearHover();
    void mark(int slot);
    void clearMarks();
    // Which targets are marked, to keep and put back whole (undo).
    std::array<bool, 21> marked() const { return marks; }
    void setMarks(const std::array<bool, 21> &marked);

    bool isLit(int slot) const;
    JoystickImage joystickImage() const { return joystick; }
    int hovered() const { return hover; }

    QRect upZone() const;
    QRect downZone() const;

    static Assignment assignment(int slot, const QString &entry, const QString &channelBoxText, ListMode mode);

private:
    void updateJoystick(ListMode mode, bool inUp, bool inDown);

    std::array<QRect, 21> pictures;
    std::array<bool, 21> marks{};
    int hover = none;
    JoystickImage joystick = JoystickImage::Plain;
};
