#include "core/sim/InstrumentSimulator.h"

#include "core/panel/PanelSettings.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"

#include <algorithm>

namespace {

std::uint8_t at(const QByteArray &bytes, int i)
{
    return static_cast<std::uint8_t>(bytes.at(i));
}

bool isInstrumentMessage(const QByteArray &m)
{
    return m.size() >= int(TransferHeader::size) + 1 && at(m, 0) == 0xF0 && at(m, 1) == 0x00
        && at(m, 2) == 0x20 && at(m, 3) == 0x63 && at(m, m.size() - 1) == 0xF7;
}

} // namespace

InstrumentSimulator::InstrumentSimulator(QObject *parent)
    : QObject(parent)
{
    PanelSettings defaults;
    defaults.storeDefaultBoxes();
    current = defaults.buildTemplateSysEx();
    for (int v = 0; v < 128; ++v)
        map[std::size_t(v)] = std::uint8_t(v);
}

QByteArray InstrumentSimulator::templateMemory(int number) const
{
    if (number < 1 || number > templateCount)
        return {};
    return memories[std::size_t(number - 1)];
}

void InstrumentSimulator::clearLogs()
{
    receivedLog.clear();
    eventLog.clear();
}

QString InstrumentSimulator::hex(const QByteArray &bytes, int limit)
{
    QString text = QString::fromLatin1(bytes.left(limit).toHex(' ').toUpper());
    if (bytes.size() > limit)
        text += QStringLiteral(" … (%1 bytes)").arg(bytes.size());
    return text;
}

void InstrumentSimulator::note(const QString &text)
{
    eventLog.append(text);
    if (eventLog.size() > logLimit)
        eventLog.removeFirst();
    emit happened(text);
}

void InstrumentSimulator::receive(const QByteArray &message)
{
    receivedLog.append(message);
    if (receivedLog.size() > logLimit)
        receivedLog.removeFirst();

    if (!isInstrumentMessage(message)) {
        note(QStringLiteral("ignored: %1").arg(hex(message, 16)));
        return;
    }
    switch (at(message, TransferHeader::CommandOffset)) {
    case TransferHeader::TemplateImage:
        storeTemplate(message);
        break;
    case TransferHeader::SongAnnouncement:
    case TransferHeader::FirmwareAnnouncement:
        startTransfer(message);
        break;
    case TransferHeader::DataBlock:
        takeBlock(message);
        break;
    case TransferHeader::VelocityCurve:
        takeCurve(message);
        break;
    default:
        note(QStringLiteral("ignored command %1").arg(at(message, 7), 2, 16, QLatin1Char('0')));
        break;
    }
}

void InstrumentSimulator::storeTemplate(const QByteArray &message)
{
    const int number = at(message, TransferHeader::NumberOffset);
    current = message;
    current[TransferHeader::NumberOffset] = char(TransferHeader::noNumber);
    if (number >= 1 && number <= templateCount) {
        memories[std::size_t(number - 1)] = message;
        note(QStringLiteral("template stored in memory %1 (%2 bytes)").arg(number).arg(message.size()));
    } else {
        note(QStringLiteral("template received without a memory number (%1 bytes)").arg(message.size()));
    }
}

void InstrumentSimulator::startTransfer(const QByteArray &message)
{
    transfer = Transfer{};
    transfer.command = at(message, TransferHeader::CommandOffset);
    transfer.number = at(message, TransferHeader::NumberOffset);
    transfer.blockCount = at(message, TransferHeader::HighOffset) * 256 + at(message, TransferHeader::LowOffset);
    repliesThisTransfer = 0;
    note(QStringLiteral("%1 transfer announced: number %2, %3 blocks")
             .arg(transfer.command == TransferHeader::FirmwareAnnouncement ? "firmware" : "song")
             .arg(transfer.number)
             .arg(transfer.blockCount));
    transferReply(readyVelocity);
    if (transfer.blockCount == 0) {
        transfer.complete = true;
        note(QStringLiteral("transfer complete: empty image"));
        return;
    }
    askForNextBlock();
}

void InstrumentSimulator::askForNextBlock()
{
    if (faults.vanishBeforeLast && transfer.blocksReceived == transfer.blockCount - 1) {
        note(QStringLiteral("fault: gone before the last block"));
        emit vanishing();
    }
    transferReply(nextVelocity);
}

void InstrumentSimulator::takeBlock(const QByteArray &message)
{
    if (transfer.command == 0 || transfer.complete) {
        note(QStringLiteral("data block outside a transfer ignored"));
        return;
    }
    const int index = at(message, TransferHeader::HighOffset) * 256 + at(message, TransferHeader::LowOffset);
    if (index != transfer.blocksReceived) {
        note(QStringLiteral("data block %1 out of order (expected %2) ignored").arg(index).arg(transfer.blocksReceived));
        return;
    }
    const QByteArray data = message.mid(int(TransferHeader::size), message.size() - int(TransferHeader::size) - 1);
    transfer.packed.append(data);
    ++transfer.blocksReceived;
    note(QStringLiteral("block %1 of %2 (%3 bytes)").arg(index + 1).arg(transfer.blockCount).arg(data.size()));

    if (transfer.blocksReceived == transfer.blockCount) {
        transfer.complete = true;
        transfer.image = SevenBitCodec::Unpack(transfer.packed);
        note(QStringLiteral("transfer complete: %1 number %2, %3 bytes")
                 .arg(transfer.command == TransferHeader::FirmwareAnnouncement ? "firmware" : "song")
                 .arg(transfer.number)
                 .arg(transfer.image.size()));
        return;
    }
    if (faults.stopAfterBlock >= 0 && transfer.blocksReceived >= faults.stopAfterBlock) {
        note(QStringLiteral("fault: no reply after block %1").arg(transfer.blocksReceived));
        return;
    }
    askForNextBlock();
}

void InstrumentSimulator::takeCurve(const QByteArray &message)
{
    const int first = int(TransferHeader::size);
    const int count = qMin(127, message.size() - first - 1);
    for (int i = 0; i < count; ++i)
        map[std::size_t(i)] = at(message, first + i) & 0x7F;
    ++curveCount;
    note(QStringLiteral("velocity curve received (%1 entries)").arg(count));
}

void InstrumentSimulator::transferReply(std::uint8_t velocity)
{
    const int n = ++repliesThisTransfer;
    if (n == faults.unfinishedSysEx) {
        note(QStringLiteral("fault: a SysEx without its F7 before reply %1").arg(n));
        emit reply(QByteArray::fromHex("f0002063000100050018000089010203"));
    }
    if (n == faults.dropReply) {
        note(QStringLiteral("fault: reply %1 dropped").arg(n));
        return;
    }
    if (n == faults.garbleReply) {
        velocity = std::uint8_t(velocity ^ 0x01);
        note(QStringLiteral("fault: reply %1 garbled").arg(n));
    }
    const char bytes[3] = {char(0x90), char(replyKey), char(velocity)};
    emit reply(QByteArray(bytes, 3));
}

void InstrumentSimulator::sendDump()
{
    note(QStringLiteral("sending template dump (%1 bytes)").arg(current.size()));
    emit reply(current);
}

void InstrumentSimulator::playNote(int key, int velocity)
{
    const std::uint8_t played = map[std::size_t(qBound(0, velocity, 127))];
    const char bytes[3] = {char(0x90), char(qBound(0, key, 127)), char(played)};
    note(QStringLiteral("note %1 velocity %2 played as %3").arg(key).arg(velocity).arg(played));
    emit reply(QByteArray(bytes, 3));
}

bool InstrumentSimulator::controlChange(int channel, int number, int value)
{
    if (channel < 1 || channel > 16 || number < 0 || number > 127 || value < 0 || value > 127)
        return false;
    const char bytes[3] = {char(0xB0 | (channel - 1)), char(number), char(value)};
    note(QStringLiteral("controller %1 value %2 on channel %3").arg(number).arg(value).arg(channel));
    emit reply(QByteArray(bytes, 3));
    return true;
}

bool InstrumentSimulator::pitchBend(int channel, int value)
{
    if (channel < 1 || channel > 16 || value < bendLowest || value > bendHighest)
        return false;
    const int raw = value - bendLowest;   // 0-16383, the centre at 8192
    const char bytes[3] = {char(0xE0 | (channel - 1)), char(raw & 0x7F), char(raw >> 7)};
    note(QStringLiteral("pitch bend %1 on channel %2").arg(value).arg(channel));
    emit reply(QByteArray(bytes, 3));
    return true;
}

int InstrumentSimulator::delayOf(const QByteArray &reply)
{
    const bool ready = reply.size() == 3 && static_cast<std::uint8_t>(reply.at(0)) == 0x90 && reply.at(1) == replyKey
                       && reply.at(2) == readyVelocity;
    const bool held = ready || afterReady;
    afterReady = ready;
    return std::max(0, faults.replyDelayMs) + (held ? std::max(0, faults.readyDelayMs) : 0);
}
