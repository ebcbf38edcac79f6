#include "gui/curve/CalibrationPanel.h"

#include "core/midi/MidiInCapture.h"
#include "gui/curve/MonitorPanel.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

CalibrationPanel::CalibrationPanel(MidiInCapture &inputCapture, QWidget *parent)
    : QWidget(parent)
    , capture(inputCapture)
{
    setObjectName(QStringLiteral("calibrationPanel"));
    setFixedSize(panelWidth, panelHeight);

    status = new QLabel(this);
    status->setObjectName(QStringLiteral("calibrationStatus"));
    status->setGeometry(10, 2, 512, 42);
    status->setWordWrap(true);

    // In the columns of the editor's buttons above.
    auto button = [this](const char *name, const QString &text, QRect geometry) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(geometry);
        b->setAutoDefault(false);
        return b;
    };
    connect(button("calibrationAgain", QStringLiteral("Start again"), {532, 10, 100, 26}), &QPushButton::clicked,
            this, &CalibrationPanel::startAgain);
    acceptButton = button("calibrationAccept", QStringLiteral("Accept"), {644, 10, 84, 26});
    connect(acceptButton, &QPushButton::clicked, this, &CalibrationPanel::acceptRequested);
    connect(button("calibrationCancel", QStringLiteral("Cancel"), {736, 10, 84, 26}), &QPushButton::clicked, this,
            &CalibrationPanel::cancelRequested);

    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setGeometry(8, barsTop, panelWidth - 16, MonitorPanel::designHeight + 4);
    bars = new MonitorPanel(calibration.history(), this);
    bars->setObjectName(QStringLiteral("calibrationBars"));
    bars->setGeometry(10, barsTop + 2, panelWidth - 20, MonitorPanel::designHeight);
    bars->setActive(true);

    connect(&capture, &MidiInCapture::shortMessage, this, &CalibrationPanel::onShortMessage);
    refresh();
}

bool CalibrationPanel::start(QString *error)
{
    calibration.clear();
    refresh();
    bars->update();
    return capture.open(this, MidiInCapture::Mode::ShortMessages, error);
}

void CalibrationPanel::stop()
{
    capture.close(this);
}

void CalibrationPanel::onShortMessage(quint8 statusByte, quint8 data1, quint8 data2)
{
    if (!capture.isOpenFor(this))
        return;
    if (!calibration.record(statusByte, data1, data2))
        return;
    bars->update();
    refresh();
}

void CalibrationPanel::startAgain()
{
    calibration.clear();
    bars->update();
    refresh();
}

void CalibrationPanel::refresh()
{
    current = calibration.propose();
    status->setText(VelocityCalibration::describe(current));
    acceptButton->setEnabled(current.proposed());
    emit proposalChanged();
}
