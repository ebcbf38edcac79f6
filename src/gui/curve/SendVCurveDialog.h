#pragma once

#include "core/curve/VelocityCurve.h"
#include "core/midi/SysExSender.h"

#include <QBasicTimer>
#include <QDialog>

class PromptService;
class QLabel;
class PercentProgress;

// "Send V.Curve": sends the program-wide velocity map as it stands when the dialog opens,
// shows the outcome on its bar and closes itself half a second later, with nothing to press.
class SendVCurveDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int closeDelayMs = 500;
    static inline const QString doneText = QStringLiteral("Succeed in sending!");
    static inline const QString failedText = QStringLiteral("Sending failed!");

    SendVCurveDialog(SysExSender &sender, PromptService &prompts, const VelocityMap &map,
                     QWidget *parent = nullptr);

    // Runs the dialog for another map than the program-wide one (a kept curve's); the
    // program-wide map is left as it is.
    int sendMap(const VelocityMap &other);

    // Whether the last run's message reached the device.
    bool succeeded() const { return lastSucceeded; }

protected:
    void showEvent(QShowEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void done(int result) override;

private:
    void sendNow();

    SysExSender &sender;
    PromptService &prompts;
    const VelocityMap &map;
    VelocityMap otherMap{};
    bool sendingOther = false;
    PercentProgress *progress;
    QLabel *status;
    QBasicTimer closeTimer;
    bool lastSucceeded = false;
    bool sendPending = false;
};
