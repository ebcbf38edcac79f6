#include "devices/midi/UsbMidiLink.h"

#include "devices/midi/UsbLinkInputPort.h"
#include "devices/midi/UsbLinkOutputPort.h"
#include "devices/midi/UsbMidiConnection.h"

#include <QElapsedTimer>
#include <QThread>

UsbMidiLink::UsbMidiLink(UsbMidiAddress where, QString name, bool carriesIn, std::function<bool()> back)
    : address(std::move(where)), portName(std::move(name)), input(carriesIn), portsBack(std::move(back))
{
}

UsbMidiLink::~UsbMidiLink()
{
    if (!connection)
        return;
    const bool wasThere = !connection->gone();
    connection->giveBack();
    connection.reset();
    // The driver binds again and the sequencer makes the device's ports afresh, a little later:
    // the exchange ends when they are back, so whatever comes next finds them.
    if (wasThere && portsBack)
        waitForPorts(address, finder, portsBack);
}

void UsbMidiLink::waitForPorts(const UsbMidiAddress &address, const UsbDeviceFinder &finder, const std::function<bool()> &back)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < portsBackMs && finder.present(address) && !back())
        QThread::msleep(20);
}

bool UsbMidiLink::take(QString *error)
{
    connection = UsbMidiConnection::take(address, error);
    return connection != nullptr;
}

std::unique_ptr<MidiOutputPort> UsbMidiLink::openOutput(QString *error)
{
    if (!connection || connection->gone()) {
        if (error)
            *error = QStringLiteral("the USB device %1 is no longer connected").arg(address.node());
        return nullptr;
    }
    return std::make_unique<UsbLinkOutputPort>(connection, portName);
}

std::unique_ptr<MidiInputPort> UsbMidiLink::openInput(MidiInputPort::Receiver receiver, QString *error)
{
    if (!connection || !connection->setReceiver(std::move(receiver))) {
        if (error)
            *error = QStringLiteral("the USB device %1 is no longer connected").arg(address.node());
        return nullptr;
    }
    return std::make_unique<UsbLinkInputPort>(connection);
}

bool UsbMidiLink::connected()
{
    return connection && !connection->gone() && finder.present(address);
}

QStringList UsbMidiLink::rebindOrphans(const std::function<bool(const UsbMidiAddress &)> &listed,
                                       const UsbDeviceFinder &finder)
{
    QStringList done;
    for (const UsbMidiAddress &orphan : finder.orphans()) {
        QString error;
        if (!UsbMidiConnection::rebind(orphan, &error)) {
            done.append(error);
            continue;
        }
        waitForPorts(orphan, finder, [&] { return listed(orphan); });
        done.append(QStringLiteral("gave %1 (%2) back to the system's MIDI driver; a program had left it without one")
                        .arg(orphan.product, orphan.node()));
    }
    return done;
}
