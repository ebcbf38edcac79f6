#include "devices/midi/UsbDeviceFinder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString readLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

int readNumber(const QString &path, int base = 10)
{
    bool ok = false;
    const int value = readLine(path).toInt(&ok, base);
    return ok ? value : -1;
}

} // namespace

QString UsbMidiAddress::node() const
{
    return QStringLiteral("/dev/bus/usb/%1/%2").arg(bus, 3, 10, QLatin1Char('0')).arg(device, 3, 10, QLatin1Char('0'));
}

UsbDeviceFinder::UsbDeviceFinder(QString sysRoot)
    : root(std::move(sysRoot))
{
}

std::optional<UsbMidiAddress> UsbDeviceFinder::deviceAt(const QString &folder) const
{
    UsbMidiAddress address;
    address.bus = readNumber(folder + QStringLiteral("/busnum"));
    address.device = readNumber(folder + QStringLiteral("/devnum"));
    if (address.bus <= 0 || address.device <= 0 || audioInterfaces(folder, 3).isEmpty())
        return std::nullopt;
    address.product = readLine(folder + QStringLiteral("/product"));
    address.folder = folder;
    return address;
}

QStringList UsbDeviceFinder::audioInterfaces(const QString &deviceFolder, int subclass) const
{
    // Interfaces are the device's sub-folders named "<device>:<configuration>.<interface>".
    QStringList found;
    const QString device = QFileInfo(deviceFolder).fileName();
    const QDir dir(deviceFolder);
    const QStringList entries = dir.entryList({device + QStringLiteral(":*")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        const QString folder = dir.filePath(entry);
        if (readNumber(folder + QStringLiteral("/bInterfaceClass"), 16) == 1
            && readNumber(folder + QStringLiteral("/bInterfaceSubClass"), 16) == subclass)
            found.append(folder);
    }
    return found;
}

std::optional<UsbMidiAddress> UsbDeviceFinder::forSoundCard(int card, int port) const
{
    // The card's "device" is the interface its driver bound; the USB device is its parent.
    const QString bound = QFileInfo(root + QStringLiteral("/class/sound/card%1/device").arg(card)).canonicalFilePath();
    if (bound.isEmpty() || readNumber(bound + QStringLiteral("/bInterfaceClass"), 16) < 0)
        return std::nullopt;
    auto address = deviceAt(QFileInfo(bound).path());
    if (!address)
        return std::nullopt;
    address->cable = qBound(0, port, 15);
    address->card = card;
    return address;
}

std::optional<UsbMidiAddress> UsbDeviceFinder::forProductName(const QString &portName) const
{
    const QDir devices(root + QStringLiteral("/bus/usb/devices"));
    const QStringList entries = devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.contains(QLatin1Char(':')))
            continue;   // an interface, not a device
        auto address = deviceAt(QFileInfo(devices.filePath(entry)).canonicalFilePath());
        if (!address || address->product.isEmpty() || !portName.contains(address->product, Qt::CaseInsensitive))
            continue;
        static const QRegularExpression cable(QStringLiteral("MIDI (\\d+)\\s*$"), QRegularExpression::CaseInsensitiveOption);
        const auto match = cable.match(portName);
        address->cable = match.hasMatch() ? qBound(0, match.captured(1).toInt() - 1, 15) : 0;
        return address;
    }
    return std::nullopt;
}

QList<UsbMidiAddress> UsbDeviceFinder::orphans() const
{
    QList<UsbMidiAddress> found;
    const QDir devices(root + QStringLiteral("/bus/usb/devices"));
    const QStringList entries = devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.contains(QLatin1Char(':')))
            continue;
        const auto address = deviceAt(QFileInfo(devices.filePath(entry)).canonicalFilePath());
        if (!address || !address->product.contains(QLatin1String("zorvik"), Qt::CaseInsensitive))
            continue;
        QStringList interfaces = audioInterfaces(address->folder, 1) + audioInterfaces(address->folder, 3);
        const bool driverless = std::none_of(interfaces.begin(), interfaces.end(), [](const QString &folder) {
            return QFileInfo::exists(folder + QStringLiteral("/driver"));
        });
        if (driverless)
            found.append(*address);
    }
    return found;
}

bool UsbDeviceFinder::present(const UsbMidiAddress &address) const
{
    return readNumber(address.folder + QStringLiteral("/devnum")) == address.device
           && readNumber(address.folder + QStringLiteral("/busnum")) == address.bus;
}

QString UsbDeviceFinder::interfaceDriver(const UsbMidiAddress &address, int interfaceNumber) const
{
    const QString device = QFileInfo(address.folder).fileName();
    const QDir dir(address.folder);
    for (const QString &entry : dir.entryList({device + QStringLiteral(":*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = dir.filePath(entry);
        if (readNumber(folder + QStringLiteral("/bInterfaceNumber"), 16) != interfaceNumber)
            continue;
        const QString driver = QFileInfo(folder + QStringLiteral("/driver")).canonicalFilePath();
        return driver.isEmpty() ? QString() : QFileInfo(driver).fileName();
    }
    return {};
}
