#include "devices/midi/AlsaSequencerOutputPort.h"

#include <QRegularExpression>

#include <alsa/asoundlib.h>

#include <cerrno>
#include <poll.h>
#include <vector>

struct AlsaSequencerOutputPort::Handle
{
    snd_seq_t *seq = nullptr;
    snd_midi_event_t *coder = nullptr;   // for short messages
    int ownPort = -1;
    int client = -1;                     // -1: to the port's subscribers
    int port = 0;

    ~Handle()
    {
        if (coder)
            snd_midi_event_free(coder);
        if (seq)
            snd_seq_close(seq);
    }

    bool start(const QString &clientName, const QString &portName)
    {
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
            seq = nullptr;
            return false;
        }
        snd_seq_set_client_name(seq, clientName.toUtf8().constData());
        // Room for the longest message in the client's buffer and kernel pool; a failure here
        // only means a smaller pool, and a message that does not fit is then refused, not cut.
        snd_seq_set_output_buffer_size(seq, maxLength * 2);
        snd_seq_set_client_pool_output(seq, 2000);
        ownPort = snd_seq_create_simple_port(seq, portName.toUtf8().constData(),
                                             SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                             SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        return ownPort >= 0 && snd_midi_event_new(16, &coder) >= 0;
    }
};

bool AlsaSequencerOutputPort::parseAddress(const QString &name, int *client, int *port)
{
    static const QRegularExpression address(QStringLiteral("(\\d+):(\\d+)\\s*$"));
    const auto match = address.match(name);
    if (!match.hasMatch())
        return false;
    *client = match.captured(1).toInt();
    *port = match.captured(2).toInt();
    return true;
}

std::unique_ptr<AlsaSequencerOutputPort> AlsaSequencerOutputPort::open(const QString &name, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return nullptr;
    };
    auto handle = std::make_unique<Handle>();
    if (!parseAddress(name, &handle->client, &handle->port))
        return fail(QStringLiteral("\"%1\" has no sequencer address").arg(name));
    if (!handle->start(QStringLiteral("Zorvik Halden"), QStringLiteral("Zorvik Halden Out")))
        return fail(QStringLiteral("the ALSA sequencer cannot be opened"));
    if (snd_seq_connect_to(handle->seq, handle->ownPort, handle->client, handle->port) < 0)
        return fail(QStringLiteral("\"%1\" cannot be connected").arg(name));
    return std::unique_ptr<AlsaSequencerOutputPort>(new AlsaSequencerOutputPort(std::move(handle), name));
}

std::unique_ptr<AlsaSequencerOutputPort> AlsaSequencerOutputPort::openVirtual(const QString &clientName,
                                                                              const QString &portName,
                                                                              QString *error)
{
    auto handle = std::make_unique<Handle>();
    if (!handle->start(clientName, portName)) {
        if (error)
            *error = QStringLiteral("the ALSA sequencer cannot be opened");
        return nullptr;
    }
    return std::unique_ptr<AlsaSequencerOutputPort>(new AlsaSequencerOutputPort(std::move(handle), portName));
}

AlsaSequencerOutputPort::AlsaSequencerOutputPort(std::unique_ptr<Handle> sequencer, QString name)
    : handle(std::move(sequencer)), portName(std::move(name))
{
}

AlsaSequencerOutputPort::~AlsaSequencerOutputPort() = default;

MidiOutputPort::Delivery AlsaSequencerOutputPort::send(const std::uint8_t *bytes, std::size_t length,
                                                       std::chrono::milliseconds limit)
{
    if (length == 0 || length > maxLength)
        return Delivery::Refused;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    if (bytes[0] == 0xF0) {
        snd_seq_ev_set_sysex(&ev, unsigned(length), const_cast<std::uint8_t *>(bytes));
    } else {
        snd_midi_event_reset_encode(handle->coder);
        if (snd_midi_event_encode(handle->coder, bytes, long(length), &ev) != long(length)
            || ev.type == SND_SEQ_EVENT_NONE)
            return Delivery::Refused;
    }
    snd_seq_ev_set_source(&ev, handle->ownPort);
    if (handle->client >= 0)
        snd_seq_ev_set_dest(&ev, handle->client, handle->port);   // a port that is gone is an error
    else
        snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);

    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const int result = snd_seq_event_output_direct(handle->seq, &ev);
        if (result >= 0)
            return Delivery::Delivered;
        if (result != -EAGAIN)
            return Delivery::Refused;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return Delivery::TimedOut;
        std::vector<pollfd> fds(std::size_t(snd_seq_poll_descriptors_count(handle->seq, POLLOUT)));
        snd_seq_poll_descriptors(handle->seq, fds.data(), unsigned(fds.size()), POLLOUT);
        poll(fds.data(), fds.size(), int(left.count()));
    }
}
