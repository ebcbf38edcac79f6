#include "core/transfer/DumpReceiver.h"

#include "core/base/PromptService.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiSystem.h"
#include "core/panel/TemplateCheck.h"

DumpReceiver::DumpReceiver(MidiSystem &midiPorts, DeviceSelection &selection, MidiInCapture &inputCapture,
                           PromptService &promptService, QObject *parent)
    : QObject(parent)
    , ports(midiPorts)
    , devices(selection)
    , capture(inputCapture)
    , prompts(promptService)
{
    connect(&capture, &MidiInCapture::sysEx, this, &DumpReceiver::onSysEx);
}

DumpReceiver::~DumpReceiver()
{
    stop();
}

bool DumpReceiver::listen()
{
    stop();
    // Listening is an exchange: a USB instrument's dump comes over its link, which the
    // system's route would cut at the frame's 0x89.
    QString why;
    exchange = ports.openExchange(MidiDevice::none(), devices.input(), &why);
    QString portProblem;
    active = exchange.isOpen() && capture.open(this, MidiInCapture::Mode::SysExDump, &portProblem);
    if (!active) {
        exchange.end();
        problem = why.isEmpty() ? portProblem : why;
        QString text = QStringLiteral("Error opening the default MIDI In Device!\r\n");
        if (!why.isEmpty())
            text += QStringLiteral("\n") + why;
        prompts.inform(text, QStringLiteral("Zorvik Halden"), PromptService::Icon::Stop);
    }
    return active;
}

void DumpReceiver::stop()
{
    if (!active)
        return;
    active = false;
    capture.close(this);
    exchange.end();
}

QString DumpReceiver::notWholeReason(const QByteArray &dump)
{
    const QString why = TemplateCheck::problem(dump);
    return why.isEmpty() ? QString() : QStringLiteral("What arrived is not a whole template: ") + why;
}

QByteArray DumpReceiver::bytesToWrite(const QByteArray &dump, int count)
{
    if (count < 0 || count > dump.size())
        return dump;
    return dump.left(count);
}

void DumpReceiver::onSysEx(const QByteArray &message)
{
    if (!active || !capture.isOpenFor(this))
        return;
    // The one input buffer takes the first inputBufferSize bytes; anything that is not a
    // template dump is passed over and listening goes on.
    const QByteArray buffer = message.left(qsizetype(inputBufferSize));
    if (buffer.size() < 8 || buffer.at(2) != 0x20 || buffer.at(3) != 0x63 || buffer.at(7) != 0x03)
        return;
    lastDump = buffer;
    stop();
    emit received(lastDump);
}
