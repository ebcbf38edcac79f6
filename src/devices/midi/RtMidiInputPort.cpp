#include "devices/midi/RtMidiInputPort.h"

namespace {

void recordError(RtMidiError::Type type, const std::string &, void *userData)
{
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<bool *>(userData) = true;
}

} // namespace

std::unique_ptr<RtMidiInputPort> RtMidiInputPort::open(RtMidi::Api api, const QString &name,
                                                       Receiver receiver, QString *error)
{
    std::unique_ptr<RtMidiInputPort> port(new RtMidiInputPort);
    port->receiver = std::move(receiver);
    try {
        port->in = std::make_unique<RtMidiIn>(api, "Zorvik Halden");
        port->in->setErrorCallback(recordError, &port->failed);
        const unsigned count = port->in->getPortCount();
        unsigned index = 0;
        while (index < count && QString::fromStdString(port->in->getPortName(index)) != name)
            ++index;
        if (index == count) {
            if (error)
                *error = QStringLiteral("input device \"%1\" is gone").arg(name);
            return nullptr;
        }
        // SysEx is what the receive dialog waits for; clock and active sensing are noise.
        port->in->ignoreTypes(false, true, true);
        port->in->setBufferSize(bufferSize, bufferCount);   // before opening, where it matters
        port->in->setCallback(&RtMidiInputPort::arrived, port.get());
        port->in->openPort(index, "Zorvik Halden In");
        if (port->failed || !port->in->isPortOpen()) {
            if (error)
                *error = QStringLiteral("input device \"%1\" cannot be opened").arg(name);
            return nullptr;
        }
    } catch (const RtMidiError &e) {
        if (error)
            *error = QString::fromStdString(e.getMessage());
        return nullptr;
    }
    return port;
}

RtMidiInputPort::~RtMidiInputPort()
{
    // Closing the client stops RtMidi's thread; only then may the receiver go.
    in.reset();
}

void RtMidiInputPort::arrived(double, std::vector<unsigned char> *message, void *self)
{
    if (message->empty())
        return;
    auto *port = static_cast<RtMidiInputPort *>(self);
    port->receiver(QByteArray(reinterpret_cast<const char *>(message->data()),
                              qsizetype(message->size())));
}
