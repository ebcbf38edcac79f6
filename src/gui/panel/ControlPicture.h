#pragma once

#include <QWidget>

// The picture of a knob, a pad, the pedal or the joystick on the panel: one of its resource
// pictures, chosen by the panel as drags pass and drops land.
class ControlPicture : public QWidget
{
    Q_OBJECT

public:
    explicit ControlPicture(int pictureId, QWidget *parent = nullptr);

    void setPicture(int pictureId);
    int picture() const { return pictureId; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int pictureId;
};
