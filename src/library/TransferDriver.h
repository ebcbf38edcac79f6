#pragma once

#include "library/TransferSession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class MidiSystem;
class PromptService;

// Runs a TransferSession against the MIDI devices: messages go out through MidiOutSession, the
// instrument's replies come in through the input capture, and a watchdog ends a transfer whose
// instrument went silent. The transfer dialog and the command line are views over it.
class TransferDriver : public QObject
{
    Q_OBJECT

public:
    TransferDriver(MidiSystem &midi, PromptService &prompts, QObject *parent = nullptr);
    ~TransferDriver() override;

    TransferSession &session() { return transfer; }
    const TransferSession &session() const { return transfer; }

    void open(FileKind kind, QByteArray image);
    // The Send button: a template goes at once; a block transfer opens the input, packs and
    // announces (after a short pause when it repeats a finished transfer).
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
    void finished();
    void timedOut();
    // A block did not reach the device: the transfer stopped.
    void failed();

protected:
    void customEvent(QEvent *event) override;

private:
    void startBlockTransfer();
    void checkWatchdog();
    void stopListening();
    std::int64_t now() const { return clock.elapsed(); }

    MidiSystem &midi;
    PromptService &prompts;
    TransferSession transfer;
    QElapsedTimer clock;
    QTimer watchdog;
    bool listening = false;
    qint64 replyToBlockMicros = 0;
};
