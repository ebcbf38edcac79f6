#pragma once

#include "core/midi/MidiExchange.h"
#include "core/midi/SysExSender.h"
#include "core/transfer/TransferSession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>

class DeviceLock;
class DeviceSelection;
class MidiInCapture;
class MidiSystem;
class PromptService;

// Runs a TransferSession against the devices in use: messages go out through a SysExSender (the
// driver tells the user about one that failed), the instrument's replies come in through the
// input capture, held from the announcement to the end, and a watchdog ends a transfer whose
// instrument went silent. A transfer to a system device holds it (DeviceLock) from its first
// message to its last; when another transfer holds it, the driver waits for it on a timer, up
// to the reply timeout. The transfer dialog and the command line are views over it.
class TransferDriver : public QObject
{
    Q_OBJECT

public:
    // ports: the exchange, the lock's device and the watch for it to go; devices: the devices
    // in use; capture: the instrument's replies.
    TransferDriver(MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture, PromptService &prompts,
                   QObject *parent = nullptr);
    ~TransferDriver() override;

    TransferSession &session() { return transfer; }
    const TransferSession &session() const { return transfer; }

    void open(FileKind kind, QByteArray image);
    // The Send button: once the device is free, a template goes at once; a block transfer opens
    // the input, packs and announces (after a short pause when it repeats a finished transfer).
    void send();
    // The dialog is closing: stop listening; the next opening starts afresh.
    void abort();

    bool busy() const;

    // How long from a ReplyNext arriving to its block handed to the port, for the last block
    // sent (microseconds); benchmarks read it.
    qint64 lastReplyToBlockMicros() const { return replyToBlockMicros; }

signals:
    void changed();
    // The transfer cannot go on in this dialog (no output or input device): close it.
    void closeRequested();
    // The last block, or a template, reached the device.
    void finished();
    void timedOut();
    // A block or a template did not reach the device, or the device stayed busy: the status
    // says why.
    void failed();

private:
    // Takes the output device for a transfer, then runs `start`; waits for it when busy.
    void reserveDevice(void (TransferDriver::*start)());
    void startExchange(void (TransferDriver::*start)());
    void pollDevice();
    void releaseDevice();
    void sendTemplate();
    void startBlockTransfer();
    void onShortMessage(quint8 status, quint8 data1, quint8 data2);
    // Tells the user what a failed message means for this transfer; returns the result.
    SendResult tell(SendResult result, TransferSession::Message what);
    void checkWatchdog();
    void armNextBlock();
    // The transfer's output is still listed by the name it had when the transfer began.
    bool deviceListed();
    void stopListening();
    std::int64_t now() const { return clock.elapsed(); }

    MidiSystem &ports;
    DeviceSelection &devices;
    MidiInCapture &capture;
    PromptService &prompts;
    SysExSender sysEx;
    TransferSession transfer;
    QElapsedTimer clock;
    QTimer watchdog;
    std::unique_ptr<DeviceLock> deviceLock;
    MidiExchange exchange;
    QTimer devicePoll;
    void (TransferDriver::*pendingStart)() = nullptr;   // set while waiting for the device
    std::int64_t deviceDeadline = 0;
    bool listening = false;
    std::shared_ptr<std::atomic_bool> answered;   // the armed next block; whether it went out
    QString deviceName;   // the output's name when the transfer began; empty for the built-in one
    qint64 replyToBlockMicros = 0;
};
