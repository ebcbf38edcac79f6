#include "gui/devices/SimulatorWindow.h"

#include "core/sim/InstrumentSimulator.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox *spin(int low, int high, int value, const QString &special = {})
{
    auto *box = new QSpinBox;
    box->setRange(low, high);
    box->setValue(value);
    if (!special.isEmpty())
        box->setSpecialValueText(special);
    return box;
}

} // namespace

SimulatorWindow::SimulatorWindow(InstrumentSimulator &instrument, QWidget *parent)
    : QWidget(parent, Qt::Window), simulator(instrument), log(new QPlainTextEdit), state(new QLabel),
      key(spin(0, 127, 60)), velocity(spin(0, 127, 100)), channel(spin(1, 16, 1)), controller(spin(0, 127, 72)),
      controllerValue(spin(0, 127, 100)), bend(spin(InstrumentSimulator::bendLowest, InstrumentSimulator::bendHighest, 4096)),
      delay(spin(0, 5000, instrument.faults.replyDelayMs)),
      stopAfter(spin(-1, 65535, instrument.faults.stopAfterBlock, QStringLiteral("never"))),
      dropReply(spin(-1, 65535, instrument.faults.dropReply, QStringLiteral("none"))),
      garbleReply(spin(-1, 65535, instrument.faults.garbleReply, QStringLiteral("none")))
{
    setWindowTitle(QStringLiteral("Zorvik Simulator"));
    log->setReadOnly(true);
    log->setMaximumBlockCount(InstrumentSimulator::logLimit);
    log->setObjectName(QStringLiteral("simulatorLog"));
    state->setTextFormat(Qt::PlainText);
    state->setObjectName(QStringLiteral("simulatorState"));

    auto *play = new QGroupBox(QStringLiteral("Play"));
    auto *playRow = new QHBoxLayout(play);
    auto *dump = new QPushButton(QStringLiteral("Send dump"));
    dump->setObjectName(QStringLiteral("sendDumpButton"));
    auto *note = new QPushButton(QStringLiteral("Play note"));
    note->setObjectName(QStringLiteral("playNoteButton"));
    playRow->addWidget(dump);
    playRow->addSpacing(12);
    playRow->addWidget(new QLabel(QStringLiteral("Key")));
    playRow->addWidget(key);
    playRow->addWidget(new QLabel(QStringLiteral("Velocity")));
    playRow->addWidget(velocity);
    playRow->addWidget(note);

    // What the knobs, the joystick and the pedal send, for the live panel.
    auto *controls = new QGroupBox(QStringLiteral("Controls"));
    auto *controlRow = new QHBoxLayout(controls);
    channel->setObjectName(QStringLiteral("channelBox"));
    controller->setObjectName(QStringLiteral("controllerBox"));
    controllerValue->setObjectName(QStringLiteral("controllerValueBox"));
    bend->setObjectName(QStringLiteral("bendBox"));
    bend->setToolTip(QStringLiteral("Pitch bend from -8192 (all the way down) to 8191; 0 is the centre."));
    auto *sendController = new QPushButton(QStringLiteral("Send CC"));
    sendController->setObjectName(QStringLiteral("sendControllerButton"));
    auto *sendBend = new QPushButton(QStringLiteral("Send bend"));
    sendBend->setObjectName(QStringLiteral("sendBendButton"));
    controlRow->addWidget(new QLabel(QStringLiteral("Channel")));
    controlRow->addWidget(channel);
    controlRow->addWidget(new QLabel(QStringLiteral("CC")));
    controlRow->addWidget(controller);
    controlRow->addWidget(new QLabel(QStringLiteral("Value")));
    controlRow->addWidget(controllerValue);
    controlRow->addWidget(sendController);
    controlRow->addSpacing(12);
    controlRow->addWidget(new QLabel(QStringLiteral("Bend")));
    controlRow->addWidget(bend);
    controlRow->addWidget(sendBend);

    auto *faults = new QGroupBox(QStringLiteral("Faults"));
    auto *form = new QFormLayout(faults);
    form->addRow(QStringLiteral("Reply delay (ms)"), delay);
    form->addRow(QStringLiteral("Stop answering after block"), stopAfter);
    form->addRow(QStringLiteral("Drop reply number"), dropReply);
    form->addRow(QStringLiteral("Garble reply number"), garbleReply);

    auto *clear = new QPushButton(QStringLiteral("Clear"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(play);
    layout->addWidget(controls);
    layout->addWidget(faults);
    layout->addWidget(state);
    layout->addWidget(log, 1);
    layout->addWidget(clear, 0, Qt::AlignRight);

    connect(dump, &QPushButton::clicked, this, [this] { this->simulator.sendDump(); });
    connect(note, &QPushButton::clicked, this,
            [this] { this->simulator.playNote(key->value(), velocity->value()); });
    connect(sendController, &QPushButton::clicked, this, [this] {
        this->simulator.controlChange(channel->value(), controller->value(), controllerValue->value());
    });
    connect(sendBend, &QPushButton::clicked, this,
            [this] { this->simulator.pitchBend(channel->value(), bend->value()); });
    connect(clear, &QPushButton::clicked, this, [this] {
        this->simulator.clearLogs();
        log->clear();
    });
    auto setFaults = [this] {
        auto &f = this->simulator.faults;
        f.replyDelayMs = delay->value();
        f.stopAfterBlock = stopAfter->value();
        f.dropReply = dropReply->value() == 0 ? -1 : dropReply->value();
        f.garbleReply = garbleReply->value() == 0 ? -1 : garbleReply->value();
    };
    for (QSpinBox *box : {delay, stopAfter, dropReply, garbleReply})
        connect(box, &QSpinBox::valueChanged, this, setFaults);
    connect(&simulator, &InstrumentSimulator::happened, this, &SimulatorWindow::addEvent);

    for (const QString &line : simulator.events())
        log->appendPlainText(line);
    refresh();
    resize(600, 500);
}

void SimulatorWindow::addEvent(const QString &text)
{
    log->appendPlainText(text);
    refresh();
}

void SimulatorWindow::refresh()
{
    QStringList memories;
    for (int n = 1; n <= InstrumentSimulator::templateCount; ++n)
        memories << (simulator.templateMemory(n).isEmpty() ? QStringLiteral("-") : QString::number(n));
    const auto &t = simulator.lastTransfer();
    QString transfer = QStringLiteral("none");
    if (t.command != 0)
        transfer = QStringLiteral("%1 number %2: %3 of %4 blocks%5")
                       .arg(t.command == 0x04 ? "firmware" : "song")
                       .arg(t.number)
                       .arg(t.blocksReceived)
                       .arg(t.blockCount)
                       .arg(t.complete ? QStringLiteral(", image of %1 bytes").arg(t.image.size()) : QString());
    state->setText(QStringLiteral("Template memories: %1\nLast transfer: %2\nVelocity curves received: %3")
                       .arg(memories.join(' '), transfer)
                       .arg(simulator.curvesReceived()));
}
