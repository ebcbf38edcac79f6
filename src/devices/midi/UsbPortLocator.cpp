#include "devices/midi/UsbPortLocator.h"

#ifdef ZORVIK_HAVE_ALSA
#include "devices/midi/AlsaSequencerOutputPort.h"

#include <alsa/asoundlib.h>
#endif

UsbPortLocator::UsbPortLocator()
{
    clock.start();
}

UsbPortLocator::~UsbPortLocator()
{
#ifdef ZORVIK_HAVE_ALSA
    if (sequencer)
        snd_seq_close(static_cast<snd_seq_t *>(sequencer));
#endif
}

int UsbPortLocator::cardOfClient(int client)
{
#ifdef ZORVIK_HAVE_ALSA
    if (!sequencer) {
        // Opened without a port, and kept: every open would announce a new client to all.
        snd_seq_t *seq = nullptr;
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
            return -1;
        snd_seq_set_client_name(seq, "Zorvik Halden lookup");
        sequencer = seq;
    }
    snd_seq_client_info_t *info = nullptr;
    snd_seq_client_info_alloca(&info);
    if (snd_seq_get_any_client_info(static_cast<snd_seq_t *>(sequencer), client, info) < 0)
        return -1;
    return snd_seq_client_info_get_card(info);
#else
    (void)client;
    return -1;
#endif
}

std::optional<UsbMidiAddress> UsbPortLocator::locate(const QString &portName, Naming naming)
{
    const qint64 now = clock.elapsed();
    const auto cached = known.constFind(portName);
    if (cached != known.constEnd() && now - cached->at < keepMs)
        return cached->address;

    std::optional<UsbMidiAddress> address;
    if (naming == Naming::Jack) {
        address = finder.forProductName(portName);
    } else {
#ifdef ZORVIK_HAVE_ALSA
        int client = 0, port = 0;
        if (AlsaSequencerOutputPort::parseAddress(portName, &client, &port)) {
            const int card = cardOfClient(client);
            if (card >= 0)
                address = finder.forSoundCard(card, port);
        }
#endif
    }
    if (known.size() > 256)
        known.clear();
    known.insert(portName, {address, now});
    return address;
}
