#pragma once

#include "gui/panel/ControlPicture.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>

class IdleInputListener;
class PanelEditor;
class QAction;

// The live panel: while the main window is idle it listens to the instrument (through an
// IdleInputListener, which gives the input up to transfers, receives and the velocity monitor
// and takes it back afterwards), and every message that matches a control's assignment
// (PanelMatcher) lights that control's picture with the value it sent. A light holds for
// defaultHoldMs after the control's last message, then fades out over fadeMs. Messages only change
// what is to be shown; the pictures are repainted on a frame timer, so a burst of controller
// changes costs one repaint per picture and frame.
class LivePanel : public QObject
{
    Q_OBJECT

public:
    static const QString actionText;
    static constexpr int defaultHoldMs = 400;
    static constexpr int fadeMs = 200;
    static constexpr int frameMs = 33;

    // listener: the input while nobody else needs it; the live panel turns it on and off.
    LivePanel(PanelEditor &panel, IdleInputListener &listener, QObject *parent = nullptr);
    ~LivePanel() override;

    // The band menu's checkable "Live panel" entry; on at start, not saved.
    QAction *action() const { return toggle; }
    void setOn(bool on);
    bool isOn() const;
    // Holds the input now.
    bool isListening() const;
    // How long a light stays full after its control's last message (tests hold it longer, so a
    // slow machine cannot put it out before they look).
    void setHoldMs(int ms) { holdMs = ms; }

private:
    struct Light
    {
        bool on = false;
        bool dirty = false;
        ControlPicture::Live look;
        QElapsedTimer since;   // the control's last message
    };

    void show(quint8 status, quint8 data1, quint8 data2);
    void frame();
    void clearAll();

    PanelEditor &panel;
    IdleInputListener &listener;
    QAction *toggle;
    QTimer frames;
    int holdMs = defaultHoldMs;
    // By slot; the joystick's four directions share the light of Joystick Up, as their picture.
    std::array<Light, 21> lights{};
};
