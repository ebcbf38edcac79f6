#include "library/DumpReceiver.h"

#include "midi/MidiInCapture.h"
#include "midi/MidiLongDataEvent.h"
#include "midi/MidiSystem.h"

DumpReceiver::DumpReceiver(MidiSystem &midi, PromptService &prompts, QObject *parent)
    : QObject(parent)
    , midi(midi)
    , prompts(prompts)
{
}

DumpReceiver::~DumpReceiver()
{
    stop();
}

bool DumpReceiver::listen()
{
    stop();
    active = midi.capture().Open(this, MidiInCapture::Mode::SysExDump, MidiInCapture::Caller::ReceiveDialog, prompts)
             == MidiInCapture::OpenOk;
    return active;
}

void DumpReceiver::stop()
{
    if (!active)
        return;
    active = false;
    midi.capture().Close();
}

QByteArray DumpReceiver::bytesToWrite(const QByteArray &dump, int count)
{
    if (count < 0 || count > dump.size())
        return dump;
    return dump.left(count);
}

void DumpReceiver::customEvent(QEvent *event)
{
    if (event->type() != MidiLongDataEvent::eventType() || !active)
        return;
    MidiInCapture &capture = midi.capture();
    auto *header = static_cast<MidiLongDataEvent *>(event)->header;
    const std::optional<int> count = capture.takeDump(header);
    if (!count)
        return;
    lastDump = QByteArray(reinterpret_cast<const char *>(capture.ReceivedDump.data()), *count);
    capture.Requeue(header);
    stop();
    emit received(lastDump);
}
