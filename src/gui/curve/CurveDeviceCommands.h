#pragma once

#include <QObject>
#include <QString>

class CalibrationPanel;
class CurveEditorModel;
class MidiInCapture;
class PromptService;
class SendVCurveDialog;
class SysExSender;
class VelocityHistory;
class QWidget;

// The curve editor's traffic with the instrument: the curve sent at once (Realtime) or through
// "Send V.Curve", the monitor's input, and the calibration that borrows that input and gives it
// back. The input is held for the editor's window, the capture's owner. What the window shows
// meanwhile (its size, the monitor or the calibration, the bar under the drawing) it learns from
// the signals.
class CurveDeviceCommands : public QObject
{
    Q_OBJECT

public:
    static inline const QString inputErrorText = QStringLiteral("Error opening the default MIDI In Device!\r\n");

    // window: the editor; it owns the input while the monitor is open and parents Send V.Curve.
    CurveDeviceCommands(SysExSender &sender, MidiInCapture &capture, PromptService &prompts, CurveEditorModel &model,
                        VelocityHistory &history, CalibrationPanel &calibration, QWidget &window);
    ~CurveDeviceCommands() override;

    // Whether the monitor is open (during a calibration: whether it comes back afterwards).
    bool monitorOpen() const { return monitoring; }
    bool calibrating() const { return calibrationRunning; }

    // The curve on screen at once, as Realtime does after a drag.
    void sendRealtime();
    // The curve on screen through Send V.Curve.
    void send();
    // A kept curve as it is drawn, through Send V.Curve; nothing for a slot that holds no curve.
    void sendKept(int slot);

    void toggleMonitor();
    void openMonitor();
    void closeMonitor();

    // The calibration takes the input (the monitor's capture ends) and shows its panel.
    void startCalibration();
    // Accepting takes the proposal as the current curve; otherwise nothing changes. Either way
    // the input goes back to the monitor when it was open.
    void finishCalibration(bool accept);
    // The editor closes: a calibration ends as Cancel ends it, and the monitor's input with it.
    void finish();

signals:
    // The monitor opened or closed: the window's size and the monitor's drawing follow.
    void monitorChanged(bool open);
    // The calibration began or ended: its panel takes the monitor's place, the controls grey.
    void calibrationChanged(bool running);
    // The proposal on screen changed (or went); the drawing follows.
    void proposalChanged();
    // An accepted proposal became the current curve: everything showing it follows.
    void curveChanged();
    // The monitor recorded a note.
    void noteRecorded();
    // A realtime send begins, and how it ended.
    void realtimeSendStarted();
    void realtimeSendFinished(bool sent);

private:
    void onShortMessage(quint8 status, quint8 data1, quint8 data2);

    SysExSender &sender;
    MidiInCapture &capture;
    PromptService &prompts;
    CurveEditorModel &model;
    VelocityHistory &history;
    CalibrationPanel &calibration;
    QWidget &window;
    SendVCurveDialog *sendDialog;
    bool monitoring = false;
    bool calibrationRunning = false;
};
