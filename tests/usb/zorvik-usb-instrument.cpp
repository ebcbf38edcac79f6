// zorvik-usb-instrument: the instrument as a USB MIDI device ("Zorvik K8"), made in software and
// plugged into the running kernel through its USB/IP host controller. It runs inside the test
// rig's virtual machine. It logs every message the host sends with how its USB-MIDI packets were
// coded, answers as the instrument does, and takes commands on standard input (or a FIFO):
//   dump | note KEY VELOCITY | status | memory N | curve | delay MS | unplug | plug | quit
// A message from the host is logged as "message N bytes, codes right|WRONG ...: HEX"; one over
// 256 bytes as "...: sha1 CHECKSUM".
#include "core/sim/InstrumentSimulator.h"
#include "tests/usb/UsbIpDevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

UsbIpDevice::Descriptors zorvikK8()
{
    UsbIpDevice::Descriptors d;
    d.device = QByteArray::fromHex("120100020000004009124b7a0001010203" "01");
    d.configuration = QByteArray::fromHex(
        "09026500020100803c"              // one configuration, two interfaces
        "090400000001010000"              // 0: AudioControl
        "092401000109000101"              // its header: one streaming interface, number 1
        "090401000201030000"              // 1: MIDIStreaming, two bulk endpoints
        "07240100014100"                  // its header (65 bytes of class descriptors)
        "062402010100" "062402020200"     // MIDI IN jacks: embedded 1, external 2
        "092403010301020100"              // MIDI OUT jack embedded 3, from external IN 2
        "092403020401010100"              // MIDI OUT jack external 4, from embedded IN 1
        "090501024000000000" "0525010101" // bulk OUT 1 into embedded IN jack 1
        "090581024000000000" "0525010103");  // bulk IN 1 from embedded OUT jack 3
    d.strings = {QStringLiteral("Zorvik"), QStringLiteral("Zorvik K8"), QStringLiteral("K8-0001")};
    return d;
}

char byteAt(const QByteArray &bytes, qsizetype i)
{
    return i < bytes.size() ? bytes.at(i) : '\0';
}

// How many bytes of a USB-MIDI packet carry MIDI, by its code index number.
int packetBytes(int cin, int status)
{
    switch (cin) {
    case 0x2: case 0x6: case 0xC: case 0xD: return 2;
    case 0x3: case 0x4: case 0x7: case 0x8: case 0x9: case 0xA: case 0xB: case 0xE: return 3;
    case 0x5: case 0xF: return 1;
    default: (void)status; return 0;
    }
}

// The instrument's side of the USB-MIDI coding, written independently of the program's: the code
// index of each packet follows the position of its bytes in the message.
QByteArray packets(const QByteArray &message)
{
    QByteArray out;
    const auto status = std::uint8_t(message.at(0));
    if (status != 0xF0) {
        const char p[4] = {char(status >> 4), message.at(0), byteAt(message, 1), byteAt(message, 2)};
        return QByteArray(p, 4);
    }
    for (qsizetype at = 0; at < message.size(); at += 3) {
        const qsizetype left = message.size() - at;
        const int cin = left > 3 ? 0x4 : int(0x4 + left);
        out.append(char(cin));
        for (int i = 0; i < 3; ++i)
            out.append(i < left ? message.at(at + i) : '\0');
    }
    return out;
}

class Instrument : public QObject
{
public:
    Instrument(QTextStream &logStream, int unplugAfterBlock)
        : device(zorvikK8()), log(logStream), unplugAfter(unplugAfterBlock)
    {
        connect(&device, &UsbIpDevice::bulkOut, this, [this](int, const QByteArray &bytes) { take(bytes); });
        connect(&device, &UsbIpDevice::configured, this, [this](int c) { say(QStringLiteral("configured %1").arg(c)); });
        connect(&device, &UsbIpDevice::controlStalled, this, [this](const QString &w) { say(QStringLiteral("stalled ") + w); });
        connect(&device, &UsbIpDevice::unplugged, this, [this] { say(QStringLiteral("unplugged")); });
        connect(&engine, &InstrumentSimulator::reply, this, [this](const QByteArray &bytes) {
            QTimer::singleShot(engine.faults.replyDelayMs, this, [this, bytes] {
                say(QStringLiteral("sent %1").arg(QString::fromLatin1(packets(bytes).toHex(' '))));
                device.sendIn(1, packets(bytes));
            });
        });
        connect(&engine, &InstrumentSimulator::happened, this, [this](const QString &text) { say(QStringLiteral("sim ") + text); });
    }

    bool plugIn(QString *error) { return device.plugIn(error); }
    InstrumentSimulator engine;
    UsbIpDevice device;

    void say(const QString &line) { log << line << Qt::endl; }

    void command(const QStringList &words)
    {
        const QString c = words.value(0);
        if (c == QLatin1String("dump")) {
            say(QStringLiteral("dump %1").arg(QString::fromLatin1(engine.currentTemplate().toHex())));
            engine.sendDump();
        } else if (c == QLatin1String("note") && words.size() == 3) {
            engine.playNote(words.at(1).toInt(), words.at(2).toInt());
        } else if (c == QLatin1String("status")) {
            const auto &t = engine.lastTransfer();
            say(QStringLiteral("status plugged %1 messages %2 badly-coded %3 cut %4 unfinished %5 transfer %6 number %7 %8/%9 %10 %11 bytes sha1 %12 curves %13")
                    .arg(device.isPlugged()).arg(messages).arg(badlyCoded).arg(cut).arg(inSysEx ? current.size() : 0)
                    .arg(t.command).arg(t.number).arg(t.blocksReceived).arg(t.blockCount)
                    .arg(t.complete ? QStringLiteral("complete") : QStringLiteral("open"))
                    .arg(t.image.size())
                    .arg(QString::fromLatin1(QCryptographicHash::hash(t.image, QCryptographicHash::Sha1).toHex()))
                    .arg(engine.curvesReceived()));
        } else if (c == QLatin1String("memory") && words.size() == 2) {
            say(QStringLiteral("memory %1 %2").arg(words.at(1), QString::fromLatin1(engine.templateMemory(words.at(1).toInt()).toHex())));
        } else if (c == QLatin1String("curve")) {
            const auto &map = engine.velocityMap();
            say(QStringLiteral("curve %1").arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(map.data()), 128).toHex())));
        } else if (c == QLatin1String("delay") && words.size() == 2) {
            engine.faults.replyDelayMs = words.at(1).toInt();
            say(QStringLiteral("delay %1").arg(engine.faults.replyDelayMs));
        } else if (c == QLatin1String("unplug")) {
            device.unplug();
        } else if (c == QLatin1String("plug")) {
            QString error;
            say(device.plugIn(&error) ? QStringLiteral("plugged") : QStringLiteral("error ") + error);
        } else if (c == QLatin1String("quit")) {
            QCoreApplication::quit();
        } else if (!c.isEmpty()) {
            say(QStringLiteral("error unknown command: ") + words.join(' '));
        }
    }

private:
    // What the host sent, packet by packet, checked as the instrument's USB interface would
    // read it: each SysEx is F0 ... F7 in packets coded 4 until the last, which is 5, 6 or 7 by
    // how many bytes it holds; a channel message in a SysEx cuts it.
    void take(const QByteArray &bytes)
    {
        for (qsizetype at = 0; at + 4 <= bytes.size(); at += 4) {
            const QByteArray p = bytes.mid(at, 4);
            const int cin = std::uint8_t(p.at(0)) & 0x0F;
            const int n = packetBytes(cin, std::uint8_t(p.at(1)));
            if (!inSysEx || std::uint8_t(p.at(1)) == 0xF0) {
                codes.clear();
                packetText.clear();
            }
            codes.append(QString::number(cin, 16));
            packetText.append(QString::fromLatin1(p.toHex(' ')));
            for (int i = 1; i <= n; ++i)
                byte(std::uint8_t(p.at(i)), cin, i == 1, i == n);
        }
    }

    void byte(std::uint8_t b, int cin, bool firstInPacket, bool lastInPacket)
    {
        const bool sysExPacket = cin >= 0x4 && cin <= 0x7;
        if (inSysEx && !sysExPacket) {
            ++cut;
            say(QStringLiteral("cut sysex after %1 bytes: %2").arg(current.size()).arg(QString::fromLatin1(current.left(24).toHex(' '))));
            inSysEx = false;
            current.clear();
            codes = codes.right(1);
            packetText = packetText.mid(packetText.size() - 1);
        }
        // Inside a SysEx every byte of a SysEx packet is data (block numbers may be F0 or F7),
        // but a packet that starts with F0 starts a new one.
        if (b == 0xF0 && (!inSysEx || firstInPacket)) {
            if (inSysEx)
                say(QStringLiteral("unfinished sysex of %1 bytes dropped").arg(current.size()));
            inSysEx = true;
            current = QByteArray(1, char(b));
            return;
        }
        current.append(char(b));
        if (inSysEx) {
            if (cin != 0x4 && lastInPacket) {
                inSysEx = false;
                finish();
            }
            return;
        }
        if (lastInPacket)
            finish();
    }

    void finish()
    {
        const QByteArray message = current;
        current.clear();
        ++messages;
        // Every packet but the last coded 4, the last 5-7 by its count of bytes.
        QString expected;
        if (std::uint8_t(message.at(0)) == 0xF0) {
            const int count = int((message.size() + 2) / 3);
            expected = QStringLiteral("4").repeated(count - 1) + QString::number(4 + (message.size() - 1) % 3 + 1, 16);
        } else {
            expected = QString::number(std::uint8_t(message.at(0)) >> 4, 16);
        }
        const bool ok = codes == expected;
        if (!ok)
            ++badlyCoded;
        // A long message is told by its checksum, so that a test can still check every byte of
        // it; and shortly: the test reads the log only between its steps, and a pipe it lets fill
        // during a long transfer would stop the instrument.
        const bool whole = message.size() <= 256;
        say(QStringLiteral("message %1 bytes, codes %2%3: %4")
                .arg(message.size())
                .arg(ok ? QStringLiteral("right") : QStringLiteral("WRONG ") + codes.left(80))
                .arg(whole ? QStringLiteral(", packets ") + packetText.join(QStringLiteral(" | ")) : QString())
                .arg(whole ? QString::fromLatin1(message.toHex(' '))
                           : QStringLiteral("sha1 ")
                                 + QString::fromLatin1(QCryptographicHash::hash(message, QCryptographicHash::Sha1).toHex())));
        codes.clear();
        packetText.clear();
        // The cable is pulled as a block arrives, before the instrument can ask for the next:
        // the host is left waiting for a reply that never comes.
        const bool pull = unplugAfter >= 0 && std::uint8_t(byteAt(message, 7)) == 0x7F
                          && engine.lastTransfer().blocksReceived + 1 == unplugAfter;
        if (pull) {
            say(QStringLiteral("pulling the cable as block %1 arrives").arg(unplugAfter));
            device.unplug();
            return;
        }
        engine.receive(message);
    }

    QTextStream &log;
    int unplugAfter;
    bool inSysEx = false;
    QByteArray current;
    QString codes;
    QStringList packetText;
    int messages = 0;
    int badlyCoded = 0;
    int cut = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    const QCommandLineOption control(QStringLiteral("control"), QStringLiteral("FIFO to read commands from."), QStringLiteral("path"));
    const QCommandLineOption logPath(QStringLiteral("log"), QStringLiteral("File to append the log to."), QStringLiteral("path"));
    const QCommandLineOption unplugAfter(QStringLiteral("unplug-after-block"), QStringLiteral("Pull the cable as block n arrives (from 1)."), QStringLiteral("n"), QStringLiteral("-1"));
    options.addOptions({control, logPath, unplugAfter});
    options.process(app);

    QFile logFile(options.value(logPath));
    if (options.isSet(logPath) ? !logFile.open(QIODevice::Append | QIODevice::Text)
                               : !logFile.open(stdout, QIODevice::WriteOnly)) {
        std::fprintf(stderr, "zorvik-usb-instrument: cannot open the log\n");
        return 2;
    }
    QTextStream log(&logFile);
    Instrument instrument(log, options.value(unplugAfter).toInt());
    QString error;
    if (!instrument.plugIn(&error)) {
        std::fprintf(stderr, "zorvik-usb-instrument: %s\n", qPrintable(error));
        return 2;
    }
    instrument.say(QStringLiteral("plugged"));

    // Commands, one a line. The FIFO is held open for writing too, so it never reads as ended.
    const int fd = options.isSet(control) ? ::open(QFile::encodeName(options.value(control)).constData(), O_RDWR | O_NONBLOCK)
                                          : STDIN_FILENO;
    QSocketNotifier commands(fd, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            if (n == 0)
                commands.setEnabled(false);
            return;
        }
        pending.append(chunk, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            instrument.command(QString::fromUtf8(pending.left(end)).simplified().split(' ', Qt::SkipEmptyParts));
            pending.remove(0, end + 1);
        }
    });
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    return app.exec();
}
