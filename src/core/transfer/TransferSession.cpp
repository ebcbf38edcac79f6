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

QString TransferSession::openingStatus()
{
    return QStringLiteral("Click the  \" Send \" button to send file!");
}

QString TransferSession::sendingStatus(FileKind kind)
{
    switch (kind) {
    case FileKind::Song: return QStringLiteral("Sending Midi song, please waitting.......");
    case FileKind::Csf: return QStringLiteral("Sending Csf file, please waitting.......");
    case FileKind::Firmware: return QStringLiteral("Updatint the device ROM, please waitting.......");
    default: return {};
    }
}

QString TransferSession::timeoutStatus()
{
    return QStringLiteral("The instrument stopped answering. Check it and click Send to try again.");
}

QString TransferSession::waitingStatus()
{
    return QStringLiteral("Waiting for another transfer to finish.......");
}

QString TransferSession::readyWaitStatus()
{
    return QStringLiteral("Waiting for the instrument to get ready, this can take up to a minute.......");
}

void TransferSession::waitForDevice()
{
    status = waitingStatus();
    sendOn = false;
    closeOn = true;
}

void TransferSession::deviceUnavailable(const QString &why)
{
    status = why;
    sendOn = true;
    closeOn = true;
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
    status = openingStatus();
    progressMax = 1;
    progressPos = 0;
    closeText = QStringLiteral("Cancel");
    sendOn = true;
    closeOn = true;
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
    closeText = QStringLiteral("Cancel");
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
    if (!refusal(kind, transferImage).isEmpty())
        return StartResult::Refused;

    if (kind == FileKind::Template) {
        sendOn = false;
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
            status = QStringLiteral("Succeed in sending, you can exit or send again!");
            closeText = QStringLiteral("Ok");
            closeOn = true;
            sendOn = true;
            return StartResult::Sent;
        case SendResult::DeviceNotOpened:
            return StartResult::CloseDialog;
        case SendResult::HeaderNotPrepared:
        case SendResult::MessageRefused:
            break;
        }
        return StartResult::SendFailed;
    }

    sendOn = false;
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
    closeOn = false;
    currentState = State::AwaitingReady;
    // A firmware update may first erase the instrument's memory: it gets longer to get ready,
    // and the user is told what is being waited for.
    if (kind == FileKind::Firmware)
        status = readyWaitStatus();
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

QString TransferSession::blockFailedStatus(int index)
{
    return QStringLiteral("Block %1 could not be sent, so the transfer has stopped. Check the device and click "
                          "Send to try again.")
        .arg(index + 1);
}

void TransferSession::endBlockTransfer()
{
    packed.clear();
    closeOn = true;
    sendOn = true;
}

TransferSession::Event TransferSession::onShortMessage(std::uint32_t value, std::int64_t nowMs, bool sentAhead)
{
    if (currentState == State::AwaitingReady) {
        if (value != replyReady)
            return Event::None;
        sentBlocks = 0;
        status = sendingStatus(kind);
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
            status = blockFailedStatus(sentBlocks);
            endBlockTransfer();
            return Event::Failed;
        }
        progressPos = sentBlocks + 1;
        if (last) {
            status = QStringLiteral("Succeed in sending, you can exit!");
            closeText = lastLength != 0 ? QStringLiteral("Ok") : QStringLiteral("OK");
            finishedOnce = true;
            currentState = State::Finished;
            endBlockTransfer();
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
    status = timeoutStatus();
    endBlockTransfer();
    return Event::TimedOut;
}

TransferSession::Event TransferSession::deviceGone()
{
    if (currentState != State::AwaitingReady && currentState != State::Sending)
        return Event::None;
    currentState = State::Ready;
    status = blockFailedStatus(sentBlocks);
    endBlockTransfer();
    return Event::Failed;
}

void TransferSession::abort()
{
    if (currentState == State::AwaitingReady || currentState == State::Sending) {
        currentState = State::Ready;
        endBlockTransfer();
    }
}
