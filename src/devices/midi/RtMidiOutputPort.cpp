#include "devices/midi/RtMidiOutputPort.h"

#include <condition_variable>
#include <mutex>
#include <vector>

struct RtMidiOutputPort::Shared
{
    std::mutex mutex;
    std::condition_variable wake;
    std::unique_ptr<RtMidiOut> out;
    std::vector<unsigned char> message;   // the sender's own copy: the caller may free its buffer
    bool pending = false;
    bool flags[2] = {false, false};       // set by RtMidi: an error, a warning
    bool &failed = flags[0];
    bool &warned = flags[1];              // from a send, a warning means the message was dropped
    bool stop = false;
    bool abandoned = false;               // a send timed out; the port takes nothing more
};

namespace {

// RtMidi's ALSA back end, for one, drops a message it cannot encode with only a warning.
void recordError(RtMidiError::Type type, const std::string &, void *userData)
{
    // Called from within openPort or sendMessage, on the thread that called it.
    auto *flags = static_cast<bool *>(userData);
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
        flags[1] = true;
    else
        flags[0] = true;
}

} // namespace

std::size_t RtMidiOutputPort::maxMessageLength(RtMidi::Api api)
{
    switch (api) {
    case RtMidi::UNIX_JACK:
        return 16384 - 1 - sizeof(int);   // ring buffer space less RtMidi's length word
    default:
        return 65535;
    }
}

std::unique_ptr<RtMidiOutputPort> RtMidiOutputPort::open(RtMidi::Api api, const QString &name,
                                                         QString *error)
{
    auto shared = std::make_shared<Shared>();
    try {
        shared->out = std::make_unique<RtMidiOut>(api, "Zorvik Halden");
        shared->out->setErrorCallback(recordError, shared->flags);
        // Found by name in this client's own listing: indices shift as clients come and go.
        const unsigned count = shared->out->getPortCount();
        unsigned index = 0;
        while (index < count && QString::fromStdString(shared->out->getPortName(index)) != name)
            ++index;
        if (index == count) {
            if (error)
                *error = QStringLiteral("output device \"%1\" is gone").arg(name);
            return nullptr;
        }
        shared->failed = false;
        shared->out->openPort(index, "Zorvik Halden Out");
        if (shared->failed || !shared->out->isPortOpen()) {
            if (error)
                *error = QStringLiteral("output device \"%1\" cannot be opened").arg(name);
            return nullptr;
        }
    } catch (const RtMidiError &e) {
        if (error)
            *error = QString::fromStdString(e.getMessage());
        return nullptr;
    }
    const std::size_t limit = maxMessageLength(shared->out->getCurrentApi());
    return std::unique_ptr<RtMidiOutputPort>(new RtMidiOutputPort(std::move(shared), name, limit));
}

RtMidiOutputPort::RtMidiOutputPort(std::shared_ptr<Shared> sharedClient, QString port,
                                   std::size_t lengthLimit)
    : shared(std::move(sharedClient)), portName(std::move(port)), maxLength(lengthLimit)
{
    sender = std::thread(&RtMidiOutputPort::work, this->shared);
}

RtMidiOutputPort::~RtMidiOutputPort()
{
    {
        std::lock_guard lock(shared->mutex);
        shared->stop = true;
    }
    shared->wake.notify_all();
    if (sender.joinable()) {
        if (shared->abandoned)
            sender.detach();   // still inside the library; it cleans up when it returns
        else
            sender.join();
    }
}

void RtMidiOutputPort::work(std::shared_ptr<Shared> shared)
{
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->pending || shared->stop; });
        if (!shared->pending)
            break;
        lock.unlock();
        shared->out->sendMessage(shared->message.data(), shared->message.size());
        lock.lock();
        shared->pending = false;
        shared->wake.notify_all();
    }
    lock.unlock();
    shared->out.reset();   // closes the port on the thread that used it
}

MidiOutputPort::Delivery RtMidiOutputPort::send(const std::uint8_t *bytes, std::size_t length,
                                                std::chrono::milliseconds limit)
{
    std::unique_lock lock(shared->mutex);
    if (shared->abandoned || shared->pending)
        return Delivery::Refused;
    shared->message.assign(bytes, bytes + length);
    shared->failed = shared->warned = false;
    shared->pending = true;
    shared->wake.notify_all();
    if (!shared->wake.wait_for(lock, limit, [&] { return !shared->pending; })) {
        shared->abandoned = true;
        return Delivery::TimedOut;
    }
    return shared->failed || shared->warned ? Delivery::Refused : Delivery::Delivered;
}
