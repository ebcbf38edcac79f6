#include "gui/curve/SendVCurveDialog.h"

#include "core/curve/CurveSysEx.h"
#include "gui/widgets/PercentProgress.h"

#include <QLabel>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>

SendVCurveDialog::SendVCurveDialog(SysExSender &sysExSender, PromptService &promptService, const VelocityMap &velocityMap,
                                   QWidget *parent)
    : QDialog(parent)
    , sender(sysExSender)
    , prompts(promptService)
    , map(velocityMap)
    , progress(new PercentProgress(this))
    , status(new QLabel(QStringLiteral("Sending completed!"), this))
{
    setObjectName(QStringLiteral("SendVCurveDialog"));
    setWindowTitle(QStringLiteral("Send V.Curve"));
    setWindowModality(Qt::WindowModal);   // to the editor, not to the simulator window
    progress->setObjectName(QStringLiteral("progress"));
    status->setObjectName(QStringLiteral("status"));
    status->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(progress);
    layout->addWidget(status);
    setFixedSize(280, 94);
}

void SendVCurveDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    status->setText(doneText);
    progress->setRange(0, 1);
    progress->setPos(0);
    lastSucceeded = false;
    // The window shows before the send, which may hold it up with a message.
    sendPending = true;
    QTimer::singleShot(0, this, &SendVCurveDialog::sendNow);
}

void SendVCurveDialog::sendNow()
{
    if (!sendPending)
        return;
    sendPending = false;
    lastSucceeded = CurveSysEx::send(sender, prompts, sendingOther ? otherMap : map);
    if (lastSucceeded) {
        progress->setPos(1);
    } else {
        // The device's own message has been shown; this line must not claim otherwise.
        status->setText(failedText);
    }
    // Counted from the end of the send, so a failure message never races the closing.
    closeTimer.start(closeDelayMs, this);
}

int SendVCurveDialog::sendMap(const VelocityMap &other)
{
    otherMap = other;
    sendingOther = true;
    const int result = exec();
    sendingOther = false;
    return result;
}

void SendVCurveDialog::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != closeTimer.timerId()) {
        QDialog::timerEvent(event);
        return;
    }
    closeTimer.stop();
    if (lastSucceeded)
        status->setText(doneText);
    accept();
}

void SendVCurveDialog::done(int result)
{
    closeTimer.stop();
    sendPending = false;
    QDialog::done(result);
}
