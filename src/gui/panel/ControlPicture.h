#pragma once

#include <QPointF>
#include <QWidget>

// The picture of a knob, a pad, the pedal or the joystick on the panel: one of its resource
// pictures, chosen by the panel as drags pass and drops land. The live panel draws what the
// instrument sent over it: the knob's pointer at the value, the pad's glow, the pedal's travel,
// the joystick's ball.
class ControlPicture : public QWidget
{
    Q_OBJECT

public:
    enum class Kind { Knob, Pad, Joystick, Pedal };

    // What the instrument last sent for the control.
    struct Live
    {
        int value = 0;         // 0-127: the knob's pointer, the pad's velocity, the pedal's travel
        QPointF stick;         // the joystick's ball, -1 to 1 on each axis, right and down positive
        qreal strength = 1.0;  // 1 while fresh, down to 0 as the light fades
        bool operator==(const Live &) const = default;
    };

    ControlPicture(int pictureId, Kind kind, QWidget *parent = nullptr);

    void setPicture(int pictureId);
    int picture() const { return pictureId; }
    Kind kind() const { return controlKind; }

    void showLive(const Live &live);
    void clearLive();
    bool isLive() const { return lit; }
    const Live &live() const { return shown; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintKnob(QPainter &painter) const;
    void paintPad(QPainter &painter) const;
    void paintJoystick(QPainter &painter) const;
    void paintPedal(QPainter &painter) const;

    int pictureId;
    Kind controlKind;
    bool lit = false;
    Live shown;
};
