#pragma once

#include "core/curve/VelocityCalibration.h"

#include <QWidget>

class MidiInCapture;
class MonitorPanel;
class QLabel;
class QPushButton;

// The curve editor's calibration, in the editor's lower part: it listens to the instrument
// while the player plays notes from softest to hardest, draws them with the monitor's bars and
// offers the curve fitted to them, or says what to do instead. It holds the input from start()
// to stop(); Accept and Cancel only ask the editor to end it.
class CalibrationPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int panelWidth = 830;
    static constexpr int panelHeight = 218;
    static constexpr int barsTop = 48;   // the bars sit where the monitor's do

    explicit CalibrationPanel(MidiInCapture &capture, QWidget *parent = nullptr);

    // Starts afresh and takes the input; false, with the reason in error, when it cannot be opened.
    bool start(QString *error = nullptr);
    // Gives the input up.
    void stop();

    const VelocityCalibration &notes() const { return calibration; }
    const VelocityCalibration::Proposal &proposal() const { return current; }

signals:
    // After every note counted and after Start again.
    void proposalChanged();
    void acceptRequested();
    void cancelRequested();

private:
    void onShortMessage(quint8 status, quint8 data1, quint8 data2);
    void startAgain();
    void refresh();

    MidiInCapture &capture;
    VelocityCalibration calibration;
    VelocityCalibration::Proposal current;
    QLabel *status = nullptr;
    QPushButton *acceptButton = nullptr;
    MonitorPanel *bars = nullptr;
};
