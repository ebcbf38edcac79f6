#pragma once

#include "devices/midi/UsbDeviceFinder.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>

#include <optional>

// Which system ports are USB MIDI devices, for the back end that lists them: an ALSA sequencer
// port by its client's sound card, a JACK port by the product name it carries. Answers are kept
// for a second, since the device selection asks about the ports in use at every look.
class UsbPortLocator
{
public:
    enum class Naming { AlsaSequencer, Jack };

    UsbPortLocator();
    ~UsbPortLocator();
    UsbPortLocator(const UsbPortLocator &) = delete;
    UsbPortLocator &operator=(const UsbPortLocator &) = delete;

    std::optional<UsbMidiAddress> locate(const QString &portName, Naming naming);
    // The sound card of an ALSA sequencer client, -1 when it has none or cannot be asked.
    int cardOfClient(int client);

    static constexpr int keepMs = 1000;

private:
    struct Known
    {
        std::optional<UsbMidiAddress> address;
        qint64 at = 0;
    };
    UsbDeviceFinder finder;
    QHash<QString, Known> known;
    QElapsedTimer clock;
    void *sequencer = nullptr;   // an ALSA sequencer handle for asking about clients, opened once
};
