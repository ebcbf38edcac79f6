#include "tests/usb/UsbIpDevice.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The USB/IP messages the host controller and the device exchange, all fields big-endian.
constexpr std::uint32_t cmdSubmit = 1;
constexpr std::uint32_t cmdUnlink = 2;
constexpr std::uint32_t retSubmit = 3;
constexpr std::uint32_t retUnlink = 4;
constexpr int headerSize = 48;
constexpr int speedFull = 2;
constexpr std::int32_t stall = -32;        // -EPIPE
constexpr std::int32_t unlinked = -104;    // -ECONNRESET
const char *const vhci = "/sys/devices/platform/vhci_hcd.0/";

std::uint32_t be32(const QByteArray &bytes, int at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + at);
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

void put32(QByteArray &bytes, std::uint32_t value)
{
    bytes.append(char(value >> 24)).append(char(value >> 16)).append(char(value >> 8)).append(char(value));
}

QByteArray stringDescriptor(const QString &text)
{
    QByteArray d;
    d.append(char(2 + 2 * text.size())).append(char(3));
    for (const QChar c : text)
        d.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return d;
}

// The first port of the controller's USB 2 hub that holds no device ("hs  0003 004 ..."),
// where a full-speed device goes.
int freePort(QString *error)
{
    QFile status(QString::fromLatin1(vhci) + QStringLiteral("status"));
    if (!status.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no USB/IP host controller (load vhci-hcd)");
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 2 && f.at(0) == "hs" && f.at(2) == "004")
            return f.at(1).toInt();
    }
    *error = QStringLiteral("no free port on the USB/IP host controller");
    return -1;
}

} // namespace

UsbIpDevice::UsbIpDevice(Descriptors d, QObject *parent)
    : QObject(parent), descriptors(std::move(d))
{
    for (int i = 0; i < 16; ++i)
        queued.append(QByteArray());
}

UsbIpDevice::~UsbIpDevice()
{
    unplug();
}

bool UsbIpDevice::plugIn(QString *error)
{
    port = freePort(error);
    if (port < 0)
        return false;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        *error = QStringLiteral("socketpair: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    // The controller takes its end of the pair by its number in this process; once attached
    // it holds its own reference, so ours is closed.
    QFile attach(QString::fromLatin1(vhci) + QStringLiteral("attach"));
    const QByteArray line = QByteArray::number(port) + ' ' + QByteArray::number(pair[1]) + ' '
                            + QByteArray::number((1u << 16) | 2u) + ' ' + QByteArray::number(speedFull);
    const bool attached = attach.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && attach.write(line) == line.size();
    ::close(pair[1]);
    if (!attached) {
        *error = QStringLiteral("the USB/IP host controller refused the device: %1").arg(attach.errorString());
        ::close(pair[0]);
        return false;
    }
    fd = pair[0];
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &UsbIpDevice::readSocket);
    return true;
}

void UsbIpDevice::unplug()
{
    if (fd < 0)
        return;
    delete notifier;
    notifier = nullptr;
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    fd = -1;
    pendingIn.clear();
    emit unplugged();
}

void UsbIpDevice::sendIn(int endpoint, const QByteArray &bytes)
{
    queued[endpoint & 15].append(bytes);
    serveIn();
}

void UsbIpDevice::readSocket()
{
    char chunk[65536];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        unplug();   // the host let the device go (detached, or the controller went away)
        return;
    }
    if (n < 0)
        return;
    incoming.append(chunk, n);
    while (fd >= 0 && handleOne()) {
    }
}

bool UsbIpDevice::handleOne()
{
    if (incoming.size() < headerSize)
        return false;
    const std::uint32_t command = be32(incoming, 0);
    if (command == cmdUnlink) {
        const QByteArray header = incoming.left(headerSize);
        incoming.remove(0, headerSize);
        unlink(header);
        return true;
    }
    if (command != cmdSubmit) {
        unplug();   // out of step with the controller: nothing sensible can follow
        return false;
    }
    const bool in = be32(incoming, 12) == 1;
    const std::uint32_t length = be32(incoming, 24);
    const qsizetype whole = headerSize + (in ? 0 : qsizetype(length));
    if (incoming.size() < whole)
        return false;
    const QByteArray header = incoming.left(headerSize);
    const QByteArray data = incoming.mid(headerSize, whole - headerSize);
    incoming.remove(0, whole);
    submit(header, data);
    return true;
}

void UsbIpDevice::submit(const QByteArray &header, const QByteArray &data)
{
    const std::uint32_t seqnum = be32(header, 4);
    const bool in = be32(header, 12) == 1;
    const int endpoint = int(be32(header, 16));
    const std::uint32_t length = be32(header, 24);
    if (endpoint == 0) {
        control(seqnum, in, header.mid(40, 8), length);
        return;
    }
    if (!in) {
        reply(seqnum, 0, {}, length);
        emit bulkOut(endpoint, data);
        return;
    }
    pendingIn.push_back({seqnum, endpoint, length});
    serveIn();
}

void UsbIpDevice::unlink(const QByteArray &header)
{
    const std::uint32_t seqnum = be32(header, 4);
    const std::uint32_t victim = be32(header, 20);
    std::int32_t status = 0;   // already answered
    for (auto it = pendingIn.begin(); it != pendingIn.end(); ++it) {
        if (it->seqnum == victim) {
            pendingIn.erase(it);
            status = unlinked;
            break;
        }
    }
    QByteArray r;
    put32(r, retUnlink);
    put32(r, seqnum);
    put32(r, 0);
    put32(r, 0);
    put32(r, 0);
    put32(r, std::uint32_t(status));
    r.append(QByteArray(headerSize - r.size(), '\0'));
    write(r);
}

void UsbIpDevice::control(std::uint32_t seqnum, bool in, const QByteArray &setup, std::uint32_t length)
{
    const auto type = std::uint8_t(setup.at(0));
    const auto request = std::uint8_t(setup.at(1));
    const int value = std::uint8_t(setup.at(2)) | std::uint8_t(setup.at(3)) << 8;
    const int wanted = std::uint8_t(setup.at(6)) | std::uint8_t(setup.at(7)) << 8;
    QByteArray answer;
    bool known = true;
    if (type == 0x80 && request == 6) {   // GET_DESCRIPTOR
        const int kind = value >> 8;
        const int index = value & 0xFF;
        if (kind == 1)
            answer = descriptors.device;
        else if (kind == 2)
            answer = descriptors.configuration;
        else if (kind == 3 && index == 0)
            answer = QByteArray::fromHex("04030904");   // US English
        else if (kind == 3 && index <= descriptors.strings.size())
            answer = stringDescriptor(descriptors.strings.at(index - 1));
        else
            known = false;   // a device qualifier, say: a full-speed device has none
    } else if (type == 0x80 && request == 0) {   // GET_STATUS
        answer = QByteArray(2, '\0');
    } else if (type == 0x80 && request == 8) {   // GET_CONFIGURATION
        answer = QByteArray(1, '\1');
    } else if (type == 0x81 && request == 10) {  // GET_INTERFACE
        answer = QByteArray(1, '\0');
    } else if (type == 0x00 && request == 9) {   // SET_CONFIGURATION
        emit configured(value);
    } else if ((type == 0x01 && request == 11)                    // SET_INTERFACE
               || (type == 0x02 && request == 1)                  // CLEAR_FEATURE (halt)
               || (type == 0x00 && (request == 1 || request == 3))) {   // device features
    } else {
        known = false;
    }
    if (!known) {
        emit controlStalled(QStringLiteral("control %1 request %2 value %3")
                                .arg(type, 2, 16, QLatin1Char('0'))
                                .arg(request)
                                .arg(value, 4, 16, QLatin1Char('0')));
        reply(seqnum, stall, {});
        return;
    }
    if (in)
        reply(seqnum, 0, answer.left(qMin<int>(wanted, int(length))));
    else
        reply(seqnum, 0, {}, length);
}

void UsbIpDevice::serveIn()
{
    // Requests are answered in the order they came, each with as many whole packets as fit.
    for (auto it = pendingIn.begin(); it != pendingIn.end();) {
        QByteArray &waiting = queued[it->endpoint & 15];
        if (waiting.isEmpty()) {
            ++it;
            continue;
        }
        const qsizetype take = qMin<qsizetype>(waiting.size(), qsizetype(it->length) / 4 * 4);
        if (take == 0) {
            ++it;
            continue;
        }
        const std::uint32_t seqnum = it->seqnum;
        const QByteArray data = waiting.left(take);
        waiting.remove(0, take);
        it = pendingIn.erase(it);
        reply(seqnum, 0, data);
    }
}

void UsbIpDevice::reply(std::uint32_t seqnum, std::int32_t status, const QByteArray &data, std::uint32_t outLength)
{
    QByteArray r;
    put32(r, retSubmit);
    put32(r, seqnum);
    put32(r, 0);
    put32(r, 0);
    put32(r, 0);
    put32(r, std::uint32_t(status));
    put32(r, data.isEmpty() ? outLength : std::uint32_t(data.size()));
    put32(r, 0);   // start frame
    put32(r, 0);   // iso packets: none
    put32(r, 0);   // errors
    r.append(QByteArray(headerSize - r.size(), '\0'));
    r.append(data);
    write(r);
}

void UsbIpDevice::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            unplug();
            return;
        }
        done += n;
    }
}
