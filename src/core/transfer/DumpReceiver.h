#pragma once

#include "core/midi/MidiExchange.h"

#include <QByteArray>
#include <QObject>

#include <cstddef>

class DeviceSelection;
class MidiInCapture;
class MidiSystem;
class PromptService;

// Listens for one template dump from the instrument (a SysEx whose bytes 2, 3 and 7 are
// 20 63 03); anything else is ignored and listening goes on. One accepted dump ends the capture.
// A SysEx is taken as the one input buffer of the receive side holds it: a longer one than
// inputBufferSize bytes is cut to its first inputBufferSize bytes, which notWholeReason() tells.
class DumpReceiver : public QObject
{
    Q_OBJECT

public:
    static constexpr std::size_t inputBufferSize = 256;

    // ports: the exchange that listening is; devices: the input in use; capture: the dump.
    DumpReceiver(MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture, PromptService &prompts,
                 QObject *parent = nullptr);
    ~DumpReceiver() override;

    // Takes the input; false when it cannot be opened (the user has been told).
    bool listen();
    void stop();
    bool listening() const { return active; }

    // Why the last listen() failed, when the system said (the link that could not be taken is
    // also in the message; the port's own reason only here).
    QString lastProblem() const { return problem; }

    // The last accepted dump, at most one input buffer long.
    QByteArray dump() const { return lastDump; }

    // Why a dump is not one whole template message (TemplateCheck), as a sentence for the user,
    // or an empty string when it is one. Only a whole one is offered for saving or loading: a
    // cut dump, or a short one that only starts like a template, would overwrite a good
    // template with a broken one.
    static QString notWholeReason(const QByteArray &dump);

    // The bytes to write for a count the user may have edited: never more than were received,
    // and all of them for a count that makes no sense.
    static QByteArray bytesToWrite(const QByteArray &dump, int count);

signals:
    void received(const QByteArray &dump);

private:
    void onSysEx(const QByteArray &message);

    MidiSystem &ports;
    DeviceSelection &devices;
    MidiInCapture &capture;
    PromptService &prompts;
    QByteArray lastDump;
    bool active = false;
    MidiExchange exchange;
    QString problem;
};
