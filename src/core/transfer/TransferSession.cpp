#include "core/transfer/TransferSession.h"

#include "core/panel/TemplateCheck.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"

#include <algorithm>
#include <limits>

TransferSession::TransferSession(Sender send, Confirmer confirm)
    : sender(std::move(send)), confirmer(std::move(confirm))
{
    open(FileKind::None, {});
}

void TransferSession::waitForDevice()
{
    happened(TransferOutcome::What::WaitingForDevice);
}

void TransferSession::deviceUnavailable(const QString &why)
{
    lastOutcome = TransferOutcome{TransferOutcome::What::DeviceUnavailable, -1, why};
}

qint64 TransferSession::maxImageSize(FileKind kind)
{
    if (kind == FileKind::Template)
        return std::numeric_limits<int>::max();
    // packed = L + ceil(L / 7) must stay within maxBlocks blocks.
    const qint64 packedLimit = qint64(maxBlocks) * blockSize;
    return packedLimit / 8 * 7 + std::max<qint64>(0, packedLimit % 8 - 1);
}

QString TransferSession::refusal(FileKind kind, const QByteArray &image)
{
    if (kind == FileKind::Template) {
        // Whatever goes out must be one whole template message: other bytes could start
        // something else on the instrument (a renamed firmware announcement, say), and a short
        // one would be stored there as a broken template.
        const QString why = TemplateCheck::problem(image);
        return why.isEmpty() ? QString() : QStringLiteral("This file is not a template: ") + why;
    }
    if (!FileKinds::isBlockTransfer(kind))
        return QStringLiteral("This kind of file cannot be sent.");
    if (image.isEmpty())
        return QStringLiteral("The file is empty: there is nothing to send.");
    if (image.size() > maxImageSize(kind)) {
        return QStringLiteral("The file is too large to send: the instrument takes at most %1 bytes.")
            .arg(maxImageSize(kind));
    }
    return {};
}

void TransferSession::open(FileKind newKind, QByteArray image)
{
    kind = newKind;
    transferImage = std::move(image);
    packed.clear();
    currentState = State::Ready;
    num = 1;
    sentBlocks = 0;
    blocks = 0;
    lastLength = 0;
    finishedOnce = false;
    replyDeadline = 0;
    progressMax = 1;
    progressPos = 0;
    happened(TransferOutcome::What::Opened);
}

int TransferSession::numberMaximum() const
{
    return kind == FileKind::Template ? 8 : 16;
}

void TransferSession::setNumber(int number)
{
    num = std::clamp(number, numberMinimum(), numberMaximum());
}

void TransferSession::prepareRepeat()
{
    happened(TransferOutcome::What::RepeatPending);
}

QByteArray TransferSession::frame(std::uint8_t command, std::uint8_t number, int index, const char *payload,
                                  int length) const
{
    QByteArray message(TransferHeader::size + length + 1, Qt::Uninitialized);
    auto *out = reinterpret_cast<std::uint8_t *>(message.data());
    TransferHeader::write(out, command, number, static_cast<std::uint8_t>(index >> 8),
                          static_cast<std::uint8_t>(index & 0xFF));
    std::copy(payload, payload + length, message.data() + TransferHeader::size);
    message[message.size() - 1] = static_cast<char>(0xF7);
    return message;
}

std::uint8_t TransferSession::blockNumberByte() const
{
    return kind == FileKind::Firmware ? TransferHeader::noNumber : static_cast<std::uint8_t>(num);
}

TransferSession::StartResult TransferSession::send(std::int64_t nowMs)
{
    sentBlocks = 0;
    if (!refusal(kind, transferImage).isEmpty()) {
        happened(TransferOutcome::What::Refused);
        return StartResult::Refused;
    }

    if (kind == FileKind::Template) {
        progressMax = 1;
        progressPos = 0;
        QByteArray message = transferImage;
        message[TransferHeader::NumberOffset] = static_cast<char>(num);
        SendResult result = sender(message, Message::Template);
        if (result == SendResult::Sent && !arrived(Message::Template))
            result = SendResult::MessageRefused;
        switch (result) {
        case SendResult::Sent:
            progressPos = 1;
            happened(TransferOutcome::What::TemplateSent);
            return StartResult::Sent;
        case SendResult::DeviceNotOpened:
            happened(TransferOutcome::What::NoOutputDevice);
            return StartResult::NoOutputDevice;
        case SendResult::HeaderNotPrepared:
        case SendResult::MessageRefused:
            break;
        }
        happened(TransferOutcome::What::TemplateFailed);
        return StartResult::SendFailed;
    }

    packed = SevenBitCodec::Pack(transferImage);
    blocks = static_cast<int>(packed.size() / blockSize);
    lastLength = static_cast<int>(packed.size() % blockSize);
    if (lastLength != 0)
        ++blocks;

    const std::uint8_t command = kind == FileKind::Firmware ? TransferHeader::FirmwareAnnouncement
                                                            : TransferHeader::SongAnnouncement;
    const std::uint8_t number = kind == FileKind::Firmware ? TransferHeader::noNumber : static_cast<std::uint8_t>(num);
    // A failed announcement is reported by the sender; the instrument simply will not answer,
    // and the reply timeout ends the wait.
    sender(frame(command, number, blocks, nullptr, 0), Message::BlockTransfer);
    currentState = State::AwaitingReady;
    happened(TransferOutcome::What::Announced);
    replyDeadline = nowMs + readyTimeout();
    return StartResult::Started;
}

bool TransferSession::arrived(Message what) const
{
    return !confirmer || confirmer(what) == SendResult::Sent;
}

QByteArray TransferSession::blockMessage(int index) const
{
    const bool last = index == blocks - 1;
    const int length = last && lastLength != 0 ? lastLength : blockSize;
    return frame(TransferHeader::DataBlock, blockNumberByte(), index, packed.constData() + qsizetype(index) * blockSize, length);
}

QByteArray TransferSession::nextBlockMessage() const
{
    if (currentState != State::Sending || sentBlocks >= blocks)
        return {};
    return blockMessage(sentBlocks);
}

void TransferSession::endBlockTransfer(TransferOutcome::What what, int block)
{
    packed.clear();
    lastOutcome = TransferOutcome{what, block, {}};
}

TransferSession::Event TransferSession::onShortMessage(std::uint32_t value, std::int64_t nowMs, bool sentAhead)
{
    if (currentState == State::AwaitingReady) {
        if (value != replyReady)
            return Event::None;
        sentBlocks = 0;
        happened(TransferOutcome::What::Sending);
        progressMax = blocks;
        progressPos = 0;
        currentState = State::Sending;
        replyDeadline = nowMs + timeoutMs;
        return Event::None;
    }
    if (currentState != State::Sending || value != replyNext)
        return Event::None;

    replyDeadline = nowMs + timeoutMs;
    Event event = Event::None;
    if (sentBlocks < blocks) {
        const bool last = sentBlocks == blocks - 1;
        // A block that did not reach the device would leave a hole in the image: the transfer
        // stops there instead of going on (or claiming success) without it. The instrument does
        // not acknowledge the last block, so that one is confirmed with the device itself.
        const bool sent = sentAhead || sender(blockMessage(sentBlocks), Message::BlockTransfer) == SendResult::Sent;
        if (!sent || (last && !arrived(Message::BlockTransfer))) {
            currentState = State::Ready;
            endBlockTransfer(TransferOutcome::What::BlockFailed, sentBlocks);
            return Event::Failed;
        }
        progressPos = sentBlocks + 1;
        if (last) {
            finishedOnce = true;
            currentState = State::Finished;
            endBlockTransfer(TransferOutcome::What::Finished);
            event = Event::Finished;
        }
    }
    ++sentBlocks;
    return event;
}

TransferSession::Event TransferSession::checkTimeout(std::int64_t nowMs)
{
    if (currentState != State::AwaitingReady && currentState != State::Sending)
        return Event::None;
    if (nowMs < replyDeadline)
        return Event::None;
    currentState = State::Ready;
    endBlockTransfer(TransferOutcome::What::TimedOut);
    return Event::TimedOut;
}

TransferSession::Event TransferSession::deviceGone()
{
    if (currentState != State::AwaitingReady && currentState != State::Sending)
        return Event::None;
    currentState = State::Ready;
    endBlockTransfer(TransferOutcome::What::BlockFailed, sentBlocks);
    return Event::Failed;
}

void TransferSession::abort()
{
    if (currentState == State::AwaitingReady || currentState == State::Sending) {
        currentState = State::Ready;
        endBlockTransfer(TransferOutcome::What::Stopped);
    }
}
