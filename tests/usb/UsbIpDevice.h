#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <deque>

class QSocketNotifier;

// A USB device made in software and plugged into the running kernel through its USB/IP host
// controller (vhci-hcd): one end of a stream socket pair is handed to the controller, which then
// sends the device's requests (URBs) over it, and this object answers them. Nothing in the
// kernel re-encodes what passes, so the device sees the host's USB packets exactly and sends its
// own exactly — which a gadget driver such as f_midi does not allow for MIDI.
//
// It answers the standard control requests from its descriptors, takes every bulk OUT transfer
// (bulkOut()), and holds bulk IN requests until there is something to send (sendIn()). One
// configuration, full speed.
class UsbIpDevice : public QObject
{
    Q_OBJECT

public:
    struct Descriptors
    {
        QByteArray device;          // 18 bytes
        QByteArray configuration;   // the whole configuration, interfaces and endpoints included
        QStringList strings;        // string descriptors 1, 2, ...
    };

    explicit UsbIpDevice(Descriptors descriptors, QObject *parent = nullptr);
    ~UsbIpDevice() override;

    // Plugs the device into the first free port of vhci_hcd.0. False with `error` when the
    // controller is missing or refuses.
    bool plugIn(QString *error);
    // Pulls the cable: the socket closes, and the kernel sees the device go.
    void unplug();
    bool isPlugged() const { return fd >= 0; }

    // Queues bytes for the IN endpoint `endpoint` (its number, without the direction bit).
    void sendIn(int endpoint, const QByteArray &bytes);
    // How many IN requests of the host are waiting for data.
    int pendingInRequests() const { return int(pendingIn.size()); }

signals:
    void bulkOut(int endpoint, const QByteArray &bytes);
    // A control request the device does not know was stalled; `what` describes it.
    void controlStalled(const QString &what);
    void configured(int configuration);
    void unplugged();

private:
    struct InRequest
    {
        std::uint32_t seqnum;
        int endpoint;
        std::uint32_t length;
    };
    void readSocket();
    bool handleOne();
    void submit(const QByteArray &header, const QByteArray &data);
    void unlink(const QByteArray &header);
    void control(std::uint32_t seqnum, bool in, const QByteArray &setup, std::uint32_t length);
    void serveIn();
    void reply(std::uint32_t seqnum, std::int32_t status, const QByteArray &data, std::uint32_t outLength = 0);
    void write(const QByteArray &bytes);

    Descriptors descriptors;
    int fd = -1;
    int port = -1;
    QSocketNotifier *notifier = nullptr;
    QByteArray incoming;
    std::deque<InRequest> pendingIn;
    QList<QByteArray> queued;   // per endpoint number 0-15: bytes waiting for an IN request
};
