#include "core/transfer/DumpReceiver.h"

#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiLongDataEvent.h"
#include "core/midi/MidiSystem.h"
#include "core/panel/PanelSettings.h"

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

QString DumpReceiver::notWholeReason(const QByteArray &dump)
{
    const QString start = QStringLiteral("What arrived is not a whole template: ");
    if (!dump.isEmpty() && static_cast<std::uint8_t>(dump.back()) != 0xF7
        && dump.size() >= qsizetype(MidiInCapture::inputBufferSize))
        return start + QStringLiteral("it was cut off after %1 bytes.").arg(dump.size());
    if (dump.size() < PanelSettings::minimumSysExSize)
        return start + QStringLiteral("it holds only %1 bytes.").arg(dump.size());
    if (!PanelSettings::startsLikeTemplate(dump) || static_cast<std::uint8_t>(dump.back()) != 0xF7)
        return start + QStringLiteral("its %1 bytes are not one template message.").arg(dump.size());
    return {};
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
