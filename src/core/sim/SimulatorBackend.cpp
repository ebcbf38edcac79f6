#include "core/sim/SimulatorBackend.h"

#include <QTimer>

#include <algorithm>

#include <limits>

class SimulatorBackend::Output : public MidiOutputPort
{
public:
    explicit Output(InstrumentSimulator &instrument) : engine(instrument) {}

    Delivery send(const std::uint8_t *bytes, std::size_t length, std::chrono::milliseconds) override
    {
        engine.receive(QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(length)));
        return Delivery::Delivered;
    }
    std::size_t maxMessageLength() const override { return std::numeric_limits<int>::max(); }
    QString name() const override { return deviceName; }

private:
    InstrumentSimulator &engine;
};

class SimulatorBackend::Input : public MidiInputPort
{
public:
    Input(std::list<Receiver *> &receivers, Receiver receive)
        : list(receivers), receiver(std::move(receive))
    {
        list.push_back(&this->receiver);
    }
    ~Input() override { list.remove(&receiver); }

private:
    std::list<Receiver *> &list;
    Receiver receiver;
};

SimulatorBackend::SimulatorBackend(QObject *parent)
    : QObject(parent)
{
    connect(&engine, &InstrumentSimulator::reply, this, [this](const QByteArray &bytes) {
        // Always through the event loop, so a reply never arrives inside the send that caused it.
        QTimer::singleShot(engine.delayOf(bytes), this, [this, bytes] { deliver(bytes); });
    });
}

SimulatorBackend::~SimulatorBackend() = default;

std::unique_ptr<MidiOutputPort> SimulatorBackend::openOutput(int index, QString *error)
{
    if (index != 0) {
        if (error)
            *error = QStringLiteral("no simulator output %1").arg(index);
        return nullptr;
    }
    return std::make_unique<Output>(engine);
}

std::unique_ptr<MidiInputPort> SimulatorBackend::openInput(int index, MidiInputPort::Receiver receiver,
                                                           QString *error)
{
    if (index != 0) {
        if (error)
            *error = QStringLiteral("no simulator input %1").arg(index);
        return nullptr;
    }
    return std::make_unique<Input>(receivers, std::move(receiver));
}

void SimulatorBackend::deliver(const QByteArray &bytes)
{
    const auto open = receivers;   // a receiver may close its port while it is called
    for (auto *receiver : open)
        if (std::find(receivers.begin(), receivers.end(), receiver) != receivers.end())
            (*receiver)(bytes);
}
