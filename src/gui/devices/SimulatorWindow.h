#pragma once

#include <QWidget>

class InstrumentSimulator;
class QLabel;
class QPlainTextEdit;
class QSpinBox;

// A small window onto the built-in simulated instrument: what it received, its template
// memories and last transfer, buttons to send its dump, play notes, send controller changes and
// pitch bend, and its fault switches.
class SimulatorWindow : public QWidget
{
    Q_OBJECT

public:
    explicit SimulatorWindow(InstrumentSimulator &simulator, QWidget *parent = nullptr);

    void refresh();

private:
    void addEvent(const QString &text);

    InstrumentSimulator &simulator;
    QPlainTextEdit *log;
    QLabel *state;
    QSpinBox *key;
    QSpinBox *velocity;
    QSpinBox *channel;
    QSpinBox *controller;
    QSpinBox *controllerValue;
    QSpinBox *bend;
    QSpinBox *delay;
    QSpinBox *stopAfter;
    QSpinBox *dropReply;
    QSpinBox *garbleReply;
};
