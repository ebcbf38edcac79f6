#pragma once

#include "core/base/FileKind.h"
#include "core/midi/SysExSender.h"
#include "core/transfer/TransferOutcome.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>

// Sends one file image to the instrument. A template goes as one message with the chosen number
// in byte 9. Songs, song files and firmware are packed, announced, and then sent in blocks of
// 1024 packed bytes, one each time the instrument asks for the next (Note On 60 velocity 51),
// after it said it is ready (Note On 60 velocity 17). No MIDI and no timers inside: messages go
// out through the injected sender, replies and the time come in from the caller. No words either:
// what each step came to is an outcome(), which the dialog and zorvikctl put into their own.
class TransferSession
{
public:
    enum class State { Ready, AwaitingReady, Sending, Finished };

    // What a reply or a timeout asks of the caller.
    enum class Event { None, Finished, TimedOut, Failed };
    // How a template send or the start of a block transfer went.
    enum class StartResult { Started, Sent, SendFailed, NoOutputDevice, Refused };

    // What a message belongs to, for the sender's words when it fails.
    enum class Message { Template, BlockTransfer };
    using Sender = std::function<SendResult(const QByteArray &message, Message what)>;
    // Asked after a message the instrument does not acknowledge (the last block, a template):
    // did it reach the device? Without one, a message the sender took counts as arrived.
    using Confirmer = std::function<SendResult(Message what)>;

    static constexpr int blockSize = 1024;
    static constexpr int maxBlocks = 0xFFFF;
    static constexpr std::uint32_t replyReady = 0x00113C90;
    static constexpr std::uint32_t replyNext = 0x00333C90;
    static constexpr std::uint8_t replyNextBytes[3] = {0x90, 0x3C, 0x33};
    static constexpr std::int64_t replyTimeoutMs = 10000;
    // An instrument may erase its flash before it says it is ready for a firmware image.
    static constexpr std::int64_t firmwareReadyTimeoutMs = 60000;
    static constexpr int repeatDelayMs = 100;

    explicit TransferSession(Sender sender, Confirmer confirmer = {});

    // Why an image cannot be sent, checked before anything goes out; empty when it can.
    static QString refusal(FileKind kind, const QByteArray &image);
    // The largest file of a kind that still fits the two count bytes once packed.
    static qint64 maxImageSize(FileKind kind);

    // A fresh start for a new image (the dialog's opening).
    void open(FileKind kind, QByteArray image);

    // Template: sends it at once. Others: packs, announces and waits for the instrument; the
    // caller has opened the MIDI input first. nowMs is the caller's clock.
    StartResult send(std::int64_t nowMs);

    // A repeated block transfer: the caller says it is coming (RepeatPending) and waits
    // repeatDelayMs before send().
    bool needsRepeatDelay() const { return finishedOnce; }
    void prepareRepeat();

    // sentAhead: the block this reply asks for already went out (the driver had it answered on
    // the input's own thread); it is accounted for as if sent now.
    Event onShortMessage(std::uint32_t value, std::int64_t nowMs, bool sentAhead = false);
    // The block the next ReplyNext asks for, framed; empty when none will be sent.
    QByteArray nextBlockMessage() const;
    // An instrument that stops answering ends the transfer after the reply timeout
    // (replyTimeoutMs unless set otherwise); before its first reply to a firmware announcement
    // it has the ready timeout (firmwareReadyTimeoutMs unless set otherwise).
    void setReplyTimeout(std::int64_t ms) { timeoutMs = ms; }
    void setReadyTimeout(std::int64_t ms) { readyMs = ms; }
    Event checkTimeout(std::int64_t nowMs);
    // The device went away mid-transfer (unplugged, its program ended): the transfer ends now,
    // as if the next block could not be sent, instead of waiting out the reply timeout.
    Event deviceGone();
    std::int64_t replyTimeout() const { return timeoutMs; }
    // How long the instrument may take to say it is ready for this transfer.
    std::int64_t readyTimeout() const { return kind == FileKind::Firmware ? std::max(readyMs, timeoutMs) : timeoutMs; }
    // Another transfer holds the output device: the caller waits for it (up to the reply
    // timeout), or gives up with `why`.
    void waitForDevice();
    void deviceUnavailable(const QString &why);
    // The dialog closed mid-transfer: the next opening starts fresh.
    void abort();

    void setNumber(int number);
    int number() const { return num; }
    int numberMinimum() const { return 1; }
    int numberMaximum() const;
    // Whether the chosen number goes into the messages (firmware has none).
    bool carriesNumber() const { return kind == FileKind::Song || kind == FileKind::Csf || kind == FileKind::Template; }

    State state() const { return currentState; }
    FileKind fileKind() const { return kind; }
    const QByteArray &image() const { return transferImage; }
    int blocksSent() const { return sentBlocks; }
    int blockCount() const { return blocks; }
    int lastBlockLength() const { return lastLength; }
    std::int64_t deadline() const { return replyDeadline; }

    // Progress in blocks (0 to 1 for a template, and before the instrument is ready).
    int progressMaximum() const { return progressMax; }
    int progressValue() const { return progressPos; }

    // What the last step came to.
    const TransferOutcome &outcome() const { return lastOutcome; }
    // The image reached the device whole: the template went, or the last block did.
    bool delivered() const
    {
        return lastOutcome.what == TransferOutcome::What::TemplateSent
               || lastOutcome.what == TransferOutcome::What::Finished;
    }

private:
    QByteArray blockMessage(int index) const;
    bool arrived(Message what) const;
    QByteArray frame(std::uint8_t command, std::uint8_t number, int index, const char *payload, int length) const;
    std::uint8_t blockNumberByte() const;
    void endBlockTransfer(TransferOutcome::What what, int block = -1);
    void happened(TransferOutcome::What what) { lastOutcome = TransferOutcome{what, -1, {}}; }

    Sender sender;
    Confirmer confirmer;
    FileKind kind = FileKind::None;
    QByteArray transferImage;
    QByteArray packed;
    State currentState = State::Ready;
    int num = 1;
    int sentBlocks = 0;
    int blocks = 0;
    int lastLength = 0;
    bool finishedOnce = false;
    std::int64_t replyDeadline = 0;
    std::int64_t timeoutMs = replyTimeoutMs;
    std::int64_t readyMs = firmwareReadyTimeoutMs;

    int progressMax = 1;
    int progressPos = 0;
    TransferOutcome lastOutcome;
};
