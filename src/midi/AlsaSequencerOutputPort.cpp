#include "midi/AlsaSequencerOutputPort.h"

#include <QRegularExpression>

#include <alsa/asoundlib.h>

#include <cerrno>
#include <poll.h>
#include <vector>

struct AlsaSequencerOutputPort::Handle
{
    snd_seq_t *seq = nullptr;
    int ownPort = -1;
    int client = 0;
    int port = 0;

    ~Handle()
    {
        if (seq)
            snd_seq_close(seq);
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
    if (snd_seq_open(&handle->seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
        handle->seq = nullptr;
        return fail(QStringLiteral("the ALSA sequencer cannot be opened"));
    }
    snd_seq_set_client_name(handle->seq, "Zorvik Halden");
    // Room for the longest message in the client's buffer and kernel pool; a failure here only
    // means a smaller pool, and a message that does not fit is then refused, not cut.
    snd_seq_set_output_buffer_size(handle->seq, maxLength * 2);
    snd_seq_set_client_pool_output(handle->seq, 2000);
    handle->ownPort = snd_seq_create_simple_port(handle->seq, "Zorvik Halden Out",
                                                 SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                 SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (handle->ownPort < 0)
        return fail(QStringLiteral("no sequencer port could be created"));
    if (snd_seq_connect_to(handle->seq, handle->ownPort, handle->client, handle->port) < 0)
        return fail(QStringLiteral("\"%1\" cannot be connected").arg(name));
    return std::unique_ptr<AlsaSequencerOutputPort>(new AlsaSequencerOutputPort(std::move(handle), name));
}

AlsaSequencerOutputPort::AlsaSequencerOutputPort(std::unique_ptr<Handle> handle, QString name)
    : handle(std::move(handle)), portName(std::move(name))
{
}

AlsaSequencerOutputPort::~AlsaSequencerOutputPort() = default;

MidiOutputPort::Delivery AlsaSequencerOutputPort::send(const std::uint8_t *bytes, std::size_t length,
                                                       std::chrono::milliseconds limit)
{
    if (length > maxLength)
        return Delivery::Refused;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, handle->ownPort);
    snd_seq_ev_set_dest(&ev, handle->client, handle->port);   // a port that is gone is an error
    snd_seq_ev_set_direct(&ev);
    snd_seq_ev_set_sysex(&ev, unsigned(length), const_cast<std::uint8_t *>(bytes));

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
