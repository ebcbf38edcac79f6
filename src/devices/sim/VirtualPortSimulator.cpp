#include "devices/sim/VirtualPortSimulator.h"

#ifdef ZORVIK_HAVE_ALSA
#include "devices/midi/AlsaSequencerOutputPort.h"
#endif

#ifdef ZORVIK_HAVE_JACK
#include <jack/jack.h>
#endif

#include <QMetaObject>
#include <QPointer>
#include <QTimer>

namespace {

// Warnings (no server yet) are expected while a server starts; an error means a port is missing.
void recordError(RtMidiError::Type type, const std::string &, void *failed)
{
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<bool *>(failed) = true;
}

#ifdef ZORVIK_HAVE_JACK
// RtMidi does not tell when the JACK server goes away, and its ports then simply fall silent.
// A client of our own asks JACK to be told; the notice comes on JACK's thread and only sets a flag.
void *watchServer(std::atomic_bool *gone)
{
    jack_client_t *client = jack_client_open("zorvik-sim-watch", JackNoStartServer, nullptr);
    if (!client)
        return nullptr;
    jack_on_shutdown(client, [](void *flag) { static_cast<std::atomic_bool *>(flag)->store(true); }, gone);
    jack_activate(client);
    return client;
}
#endif

} // namespace

VirtualPortSimulator::VirtualPortSimulator(QObject *parent)
    : QObject(parent), parser([this](const QByteArray &message) {
          ++messagesIn;
          emit received(message);
          engine.receive(message);
      }, MidiStreamParser::defaultMaxSysEx, MidiStreamParser::WholePieces::Verbatim)
    , serverCheck(new QTimer(this))
{
    connect(&engine, &InstrumentSimulator::reply, this, [this](const QByteArray &bytes) {
        QTimer::singleShot(engine.delayOf(bytes), this, [this, bytes] { send(bytes); });
    });
    serverCheck->setInterval(200);
    connect(serverCheck, &QTimer::timeout, this, [this] {
        if (!serverGone)
            return;
        serverCheck->stop();
#ifdef ZORVIK_HAVE_JACK
        // Closing the dead clients would report the missing server once per client.
        jack_set_error_function([](const char *) {});
        jack_set_info_function([](const char *) {});
#endif
        emit serverLost();
    });
    // Unplugged: the input goes at once, the output once the last reply is out.
    connect(&engine, &InstrumentSimulator::vanishing, this, [this] {
        in.reset();
        leaving = true;
    });
}

VirtualPortSimulator::~VirtualPortSimulator()
{
#ifdef ZORVIK_HAVE_JACK
    if (serverWatch)
        jack_client_close(static_cast<jack_client_t *>(serverWatch));
#endif
    in.reset();   // stops RtMidi's thread before anything it calls goes
    out.reset();
    alsaOut.reset();
}

bool VirtualPortSimulator::open(RtMidi::Api api, QString *error)
{
    try {
        in = std::make_unique<RtMidiIn>(api, "zorvik-sim");
        portError = false;
        in->setErrorCallback(recordError, &portError);
        in->ignoreTypes(false, true, true);
        in->setCallback(&VirtualPortSimulator::arrived, this);
        in->openVirtualPort(portName);
#ifdef ZORVIK_HAVE_ALSA
        if (api == RtMidi::LINUX_ALSA) {
            alsaOut = AlsaSequencerOutputPort::openVirtual(QStringLiteral("zorvik-sim"), QLatin1String(portName), error);
            if (!alsaOut || portError) {
                if (alsaOut && error)
                    *error = QStringLiteral("the virtual input port could not be made");
                in.reset();
                alsaOut.reset();
                return false;
            }
            return true;
        }
#endif
        out = std::make_unique<RtMidiOut>(api, "zorvik-sim");
        out->setErrorCallback(recordError, &portError);
        out->openVirtualPort(portName);
        if (portError) {
            // With the error callback set, RtMidi reports a port it could not make instead of
            // throwing: the simulator must not run on without it.
            if (error)
                *error = QStringLiteral("the virtual ports could not be made");
            in.reset();
            out.reset();
            return false;
        }
        if (!in->isPortOpen() || !out->isPortOpen()) {
            // Virtual ports report closed on some back ends; a failed start shows in the count.
            if (in->getPortCount() == 0 && out->getPortCount() == 0) {
                if (error)
                    *error = QStringLiteral("the MIDI back end did not start");
                in.reset();
                out.reset();
                return false;
            }
        }
#ifdef ZORVIK_HAVE_JACK
        if (api == RtMidi::UNIX_JACK && !serverWatch) {
            serverWatch = watchServer(&serverGone);
            serverCheck->start();
        }
#endif
    } catch (const RtMidiError &e) {
        if (error)
            *error = QString::fromStdString(e.getMessage());
        in.reset();
        out.reset();
        return false;
    }
    return true;
}

void VirtualPortSimulator::arrived(double, std::vector<unsigned char> *message, void *self)
{
    auto *sim = static_cast<VirtualPortSimulator *>(self);
    const QByteArray bytes(reinterpret_cast<const char *>(message->data()), qsizetype(message->size()));
    QMetaObject::invokeMethod(sim, [sim, bytes] { sim->parser.feed(bytes); }, Qt::QueuedConnection);
}

void VirtualPortSimulator::send(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    if (alsaOut)
        alsaOut->send(data, std::size_t(bytes.size()), std::chrono::milliseconds(2000));
    else if (out)
        out->sendMessage(data, std::size_t(bytes.size()));
    else
        return;
    emit sent(bytes);
    if (leaving) {
        out.reset();   // RtMidi lets the reply out in one more cycle before the port goes
        alsaOut.reset();
    }
}
