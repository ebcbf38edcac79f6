// What every MIDI back end promises, checked the same way on each: the tests' fake ports, the
// built-in simulator, JACK (a private server with the dummy driver) and the USB link to a USB
// instrument (only inside the USB rig's virtual machine, which runs this test's "usb" rows after
// tst_UsbInstrument). Each back end is driven through the registry, as the programs drive it,
// against a far end that takes what is sent and sends back: an echo (the fake ports, a loop
// client on the JACK server) or the instrument's own replies (the simulator, the emulated USB
// instrument). A back end that cannot start here skips its rows, saying why.
#include "core/midi/MidiExchange.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/panel/PanelSettings.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/SimulatorBackend.h"
#include "support/FakePorts.h"
#include "support/InstrumentMessage.h"
#include "support/JackRig.h"
#ifdef ZORVIK_HAVE_JACK
#include "devices/midi/JackBackend.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#endif
#ifdef ZORVIK_USB_INSTRUMENT_PATH
#include "devices/midi/RtMidiBackend.h"
#include "devices/midi/UsbDeviceFinder.h"
#include "usb/EmulatedInstrument.h"

#include <QRegularExpression>
#endif

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>

#include <chrono>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>

using namespace std::chrono_literals;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out.append(char(value));
    return out;
}

// A message as the far ends report what they took: whole up to 256 bytes, a longer one by its
// checksum.
QString describe(const QByteArray &message)
{
    if (message.size() <= 256)
        return QStringLiteral("%1 bytes: %2").arg(message.size()).arg(QString::fromLatin1(message.toHex(' ')));
    return QStringLiteral("%1 bytes: sha1 %2")
        .arg(message.size())
        .arg(QString::fromLatin1(QCryptographicHash::hash(message, QCryptographicHash::Sha1).toHex()));
}

QStringList describe(const QList<QByteArray> &messages)
{
    QStringList out;
    for (const QByteArray &message : messages)
        out.append(describe(message));
    return out;
}

// What arrived, cut at the lengths of the messages expected; the rest, if any, as one more.
QStringList cut(const QByteArray &stream, const QList<QByteArray> &expected)
{
    QList<QByteArray> pieces;
    qsizetype at = 0;
    for (const QByteArray &message : expected) {
        if (at >= stream.size())
            break;
        pieces.append(stream.mid(at, message.size()));
        at += message.size();
    }
    if (at < stream.size())
        pieces.append(stream.mid(at));
    return describe(pieces);
}

QByteArray storedTemplate()
{
    PanelSettings panel;
    panel.storeDefaultBoxes();
    QByteArray image = panel.buildTemplateSysEx();
    image[TransferHeader::NumberOffset] = 3;
    return image;
}

// The same messages for every back end: short ones of three, two and one byte, and SysEx of
// the instrument's protocol (0x89 in every frame) whose lengths end their run of USB-MIDI packets
// with three, two and one byte. The long data block carries every byte value but F0 and F7, the
// ones a coding by value would take for realtime or status bytes and cut the message at. To the
// instrument they store a template in memory 3 and send a song of two blocks.
QList<QByteArray> contractMessages()
{
    QByteArray anyByte;
    for (int i = 0; anyByte.size() < 1004; ++i) {
        const auto value = std::uint8_t(i * 37 + 11);
        if (value != 0xF0 && value != 0xF7)
            anyByte.append(char(value));
    }
    return {
        bytes({0xB0, 0x07, 0x64}),
        bytes({0xC0, 0x05}),
        storedTemplate(),                                                            // 162 bytes
        instrumentMessage(TransferHeader::SongAnnouncement, 5, 2),                   // 14
        instrumentMessage(TransferHeader::DataBlock, 5, 0, anyByte),                 // 1018
        bytes({0xF8}),
        instrumentMessage(TransferHeader::DataBlock, 5, 1, bytes({0x01, 0x02, 0x03})),   // 17
        bytes({0x90, 0x3C, 0x40}),
    };
}

// What an instrument sends back for contractMessages() and then when asked for its dump and a
// note (key 64, velocity 100): ready and next for the announcement, next for the first block;
// the template stored last, as its current one; the note through its velocity map, as it is
// when it starts.
QList<QByteArray> instrumentAnswers()
{
    QByteArray dump = storedTemplate();
    dump[TransferHeader::NumberOffset] = char(TransferHeader::noNumber);
    const QByteArray ready = bytes({0x90, 0x3C, 0x11});
    const QByteArray next = bytes({0x90, 0x3C, 0x33});
    return {ready, next, next, dump, bytes({0x90, 0x40, 0x64})};
}

// The far end of a back end's ports: the device the program talks to.
class FarEnd
{
public:
    virtual ~FarEnd() = default;

    // Empty when the far end is up; else why the back end cannot be checked here (`fatal` set
    // when it should have started and did not).
    virtual QString start(bool *fatal) = 0;
    virtual MidiSystem &ports() = 0;
    // The names its ports are listed under (a part of them).
    virtual QString outputName() const = 0;
    virtual QString inputName() const = 0;
    // The messages it took since forget(), oldest first, told as describe() does.
    virtual QStringList taken() = 0;
    virtual void forget() = 0;
    // Sends what it sends unasked: an echo what it took, an instrument its dump and a note.
    virtual void play() = 0;
    // True when what it sends back is what it took; else instrumentAnswers().
    virtual bool echoes() const = 0;
    // Makes its ports vanish (unplugged, closed). Empty when done, else why it cannot.
    virtual QString vanish() = 0;
    // Nothing of the program's is open on it any more.
    virtual bool released() = 0;
    // How long its answers and its changes may take to show.
    virtual int patienceMs() const { return 3000; }
};

// The tests' fake ports: what an output took is there to read, and play() feeds it back through
// the open input, FakePorts' own way of handing the program input.
class FakeEnd : public FarEnd
{
public:
    QString start(bool *) override
    {
        state->outputs = {QStringLiteral("Keys"), QStringLiteral("Contract Loop")};
        state->inputs = {QStringLiteral("Keys"), QStringLiteral("Contract Loop")};
        registry = std::make_unique<MidiSystem>(std::make_unique<SimulatorBackend>(), std::make_unique<FakePorts>(state));
        return {};
    }
    MidiSystem &ports() override { return *registry; }
    QString outputName() const override { return QStringLiteral("Contract Loop"); }
    QString inputName() const override { return QStringLiteral("Contract Loop"); }
    QStringList taken() override { return describe(state->sent.mid(from)); }
    void forget() override { from = state->sent.size(); }
    void play() override
    {
        for (const QByteArray &message : state->sent.mid(from))
            state->arrive(message);
    }
    bool echoes() const override { return true; }
    QString vanish() override
    {
        state->outputs.removeAll(outputName());
        state->inputs.removeAll(inputName());
        return {};
    }
    bool released() override { return state->openOutputs == 0 && !state->input; }

private:
    std::shared_ptr<FakePorts::State> state = std::make_shared<FakePorts::State>();
    std::unique_ptr<MidiSystem> registry;
    qsizetype from = 0;
};

// The built-in simulator: the registry's built-in device.
class SimulatorEnd : public FarEnd
{
public:
    QString start(bool *) override
    {
        simulator = new SimulatorBackend;
        registry = std::make_unique<MidiSystem>(std::unique_ptr<MidiPortBackend>(simulator));
        return {};
    }
    MidiSystem &ports() override { return *registry; }
    QString outputName() const override { return SimulatorBackend::deviceName; }
    QString inputName() const override { return SimulatorBackend::deviceName; }
    QStringList taken() override { return describe(simulator->simulator().received()); }
    void forget() override { simulator->simulator().clearLogs(); }
    void play() override
    {
        simulator->simulator().sendDump();
        simulator->simulator().playNote(64, 100);
    }
    bool echoes() const override { return false; }
    QString vanish() override { return QStringLiteral("the built-in simulator is part of the program: it cannot go away"); }
    bool released() override { return simulator->openInputCount() == 0; }

private:
    SimulatorBackend *simulator = nullptr;   // owned by the registry
    std::unique_ptr<MidiSystem> registry;
};

#ifdef ZORVIK_HAVE_JACK
// Another program on the JACK server: what its input port takes leaves its output port in the
// same cycle, and is noted. With the program's output and input connected to it, a loop.
class JackLoop
{
public:
    ~JackLoop() { close(); }

    QString open()
    {
        client = jack_client_open("contract loop", JackNoStartServer, nullptr);
        if (!client)
            return QStringLiteral("the loop client cannot join the JACK server");
        in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (!in || !out || jack_set_process_callback(client, &JackLoop::process, this) != 0 || jack_activate(client) != 0) {
            close();
            return QStringLiteral("the loop client's ports cannot be made");
        }
        return {};
    }

    void close()
    {
        if (client)
            jack_client_close(client);
        client = nullptr;
        in = out = nullptr;
    }

    QString inName() const { return in ? QString::fromUtf8(jack_port_name(in)) : QString(); }
    QString outName() const { return out ? QString::fromUtf8(jack_port_name(out)) : QString(); }
    int connections() const { return client ? jack_port_connected(in) + jack_port_connected(out) : 0; }

    QList<QByteArray> taken()
    {
        const std::lock_guard hold(lock);
        return log;
    }

private:
    static int process(jack_nframes_t frames, void *self)
    {
        auto *loop = static_cast<JackLoop *>(self);
        void *from = jack_port_get_buffer(loop->in, frames);
        void *to = jack_port_get_buffer(loop->out, frames);
        jack_midi_clear_buffer(to);
        const std::uint32_t count = jack_midi_get_event_count(from);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, from, i) != 0)
                continue;
            jack_midi_event_write(to, event.time, event.buffer, event.size);
            const std::lock_guard hold(loop->lock);
            loop->log.append(QByteArray(reinterpret_cast<const char *>(event.buffer), qsizetype(event.size)));
        }
        return 0;
    }

    jack_client_t *client = nullptr;
    jack_port_t *in = nullptr;
    jack_port_t *out = nullptr;
    std::mutex lock;
    QList<QByteArray> log;
};
#endif

// JACK: a private server with the dummy driver, and the loop client on it.
class JackEnd : public FarEnd
{
public:
    QString start(bool *) override
    {
#ifndef ZORVIK_HAVE_JACK
        return QStringLiteral("built without JACK's client library");
#else
        if (!rig.start())
            return rig.problem();
        if (const QString why = loop.open(); !why.isEmpty())
            return why;
        output = loop.inName();
        input = loop.outName();
        registry = std::make_unique<MidiSystem>(std::make_unique<SimulatorBackend>(), std::make_unique<JackBackend>());
        return {};
#endif
    }
    MidiSystem &ports() override { return *registry; }
    QString outputName() const override { return output; }
    QString inputName() const override { return input; }
#ifdef ZORVIK_HAVE_JACK
    QStringList taken() override { return describe(loop.taken().mid(from)); }
    void forget() override { from = loop.taken().size(); }
    QString vanish() override
    {
        loop.close();
        return {};
    }
    bool released() override { return loop.connections() == 0; }
#else
    QStringList taken() override { return {}; }
    void forget() override {}
    QString vanish() override { return {}; }
    bool released() override { return true; }
#endif
    void play() override {}   // the loop sends back as it takes
    bool echoes() const override { return true; }

private:
    JackRig rig;
#ifdef ZORVIK_HAVE_JACK
    JackLoop loop;
#endif
    std::unique_ptr<MidiSystem> registry;   // gone before the loop and the server
    QString output;
    QString input;
    qsizetype from = 0;
};

#ifdef ZORVIK_USB_INSTRUMENT_PATH
// The emulated USB instrument behind the kernel's USB MIDI driver, reached through the USB link
// while an exchange is open: what it took is read from its log, and it answers as the instrument.
class UsbEnd : public FarEnd
{
public:
    QString start(bool *fatal) override
    {
        if (qEnvironmentVariableIsEmpty("ZORVIK_USB_RIG"))
            return QStringLiteral("runs inside the USB rig's virtual machine: scripts/usb-rig.sh");
        *fatal = true;
        if (!instrument.start())
            return QStringLiteral("the emulated instrument could not be plugged in");
        registry = std::make_unique<MidiSystem>(std::make_unique<SimulatorBackend>(), std::make_unique<RtMidiBackend>(RtMidi::LINUX_ALSA));
        if (!QTest::qWaitFor([this] { return released(); }, 10000))
            return QStringLiteral("the kernel did not make a MIDI port of the emulated instrument");
        return {};
    }
    MidiSystem &ports() override { return *registry; }
    QString outputName() const override { return QStringLiteral("Zorvik K8"); }
    QString inputName() const override { return QStringLiteral("Zorvik K8"); }
    QStringList taken() override
    {
        // "message N bytes, codes right, packets ...: HEX", a long one "...: sha1 SUM"
        static const QRegularExpression line(QStringLiteral("^message (\\d+) bytes, codes (right|WRONG [^,:]*)[^:]*: (sha1 [0-9a-f]+|[0-9a-f ]*)$"));
        QStringList out;
        for (const QString &text : instrument.since(from)) {
            const QRegularExpressionMatch m = line.match(text);
            if (!m.hasMatch())
                continue;
            QString told = m.captured(3).startsWith(QLatin1String("sha1 "))
                               ? QStringLiteral("%1 bytes: %2").arg(m.captured(1), m.captured(3))
                               : describe(QByteArray::fromHex(m.captured(3).toLatin1()));
            if (m.captured(2) != QLatin1String("right"))
                told += QStringLiteral(", packets coded ") + m.captured(2);
            out.append(told);
        }
        return out;
    }
    void forget() override { from = instrument.mark(); }
    void play() override
    {
        instrument.command(QStringLiteral("dump"));
        instrument.command(QStringLiteral("note 64 100"));
    }
    bool echoes() const override { return false; }
    QString vanish() override
    {
        instrument.command(QStringLiteral("unplug"));
        return {};
    }
    // The kernel's driver holds the instrument again, and the sequencer lists its port.
    bool released() override
    {
        const auto where = finder.forProductName(QStringLiteral("Zorvik K8"));
        if (!where || finder.interfaceDriver(*where, 0) != QLatin1String("snd-usb-audio")
            || finder.interfaceDriver(*where, 1) != QLatin1String("snd-usb-audio"))
            return false;
        RtMidiBackend listing(RtMidi::LINUX_ALSA);
        return listing.outputNames().filter(outputName()).size() == 1;
    }
    int patienceMs() const override { return 10000; }

private:
    EmulatedInstrument instrument;
    UsbDeviceFinder finder;
    std::unique_ptr<MidiSystem> registry;
    int from = 0;
};
#endif

// What an input handed on, from whichever thread its back end calls on.
class Arrivals
{
public:
    void add(const QByteArray &piece)
    {
        const std::lock_guard hold(lock);
        stream += piece;
    }
    QByteArray all()
    {
        const std::lock_guard hold(lock);
        return stream;
    }

private:
    std::mutex lock;
    QByteArray stream;
};

// The far end's ports opened as the programs open them: inside an exchange (which takes a USB
// instrument's link), the output the registry keeps, an input of its own. Closed as it goes.
class Connection
{
public:
    explicit Connection(MidiSystem &registry) : ports(registry) {}
    ~Connection() { close(); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool open(const FarEnd &far, QString *error)
    {
        out = find(ports.outputs(), far.outputName());
        in = find(ports.inputs(), far.inputName());
        if (out.isNone() || in.isNone()) {
            *error = QStringLiteral("not listed");
            return false;
        }
        exchange = ports.openExchange(out, in, error);
        if (!exchange.isOpen())
            return false;
        output = ports.output(out, error);
        if (!output)
            return false;
        input = ports.openInput(in, [arrived = arrivals](const QByteArray &piece) { arrived->add(piece); }, error);
        return input != nullptr;
    }

    void close()
    {
        if (output)
            ports.releaseOutput();
        output = nullptr;
        input.reset();
        exchange.end();
    }

    MidiOutputPort::Delivery send(const QByteArray &message, std::chrono::milliseconds limit = 2000ms)
    {
        return output->send(reinterpret_cast<const std::uint8_t *>(message.constData()), std::size_t(message.size()), limit);
    }

    static MidiDevice find(const QList<MidiSystem::Device> &listed, const QString &name)
    {
        for (const MidiSystem::Device &device : listed)
            if (!name.isEmpty() && device.name.contains(name))
                return device.id;
        return MidiDevice::none();
    }

    MidiSystem &ports;
    MidiDevice out;
    MidiDevice in;
    MidiExchange exchange;
    MidiOutputPort *output = nullptr;   // kept by the registry
    std::unique_ptr<MidiInputPort> input;
    std::shared_ptr<Arrivals> arrivals = std::make_shared<Arrivals>();
};

QStringList names(const QList<MidiSystem::Device> &listed)
{
    QStringList out;
    for (const MidiSystem::Device &device : listed)
        out.append(device.name);
    return out;
}

} // namespace

class TestMidiBackendContract : public QObject
{
    Q_OBJECT

    std::map<QString, std::unique_ptr<FarEnd>> ends;
    std::map<QString, QString> unavailable;

    static std::unique_ptr<FarEnd> make(const QString &backEnd)
    {
        if (backEnd == QLatin1String("fake"))
            return std::make_unique<FakeEnd>();
        if (backEnd == QLatin1String("simulator"))
            return std::make_unique<SimulatorEnd>();
        if (backEnd == QLatin1String("jack"))
            return std::make_unique<JackEnd>();
#ifdef ZORVIK_USB_INSTRUMENT_PATH
        if (backEnd == QLatin1String("usb"))
            return std::make_unique<UsbEnd>();
#endif
        return nullptr;
    }

    // The row's far end, started at its first use and kept for the functions after. Null with
    // `why` (and `fatal` when that is a failure) when its back end cannot be checked here.
    FarEnd *farEnd(const QString &backEnd, QString *why, bool *fatal)
    {
        if (const auto known = unavailable.find(backEnd); known != unavailable.end()) {
            *why = known->second;
            return nullptr;
        }
        if (const auto found = ends.find(backEnd); found != ends.end())
            return found->second.get();
        std::unique_ptr<FarEnd> started = make(backEnd);
        *why = started ? started->start(fatal) : QStringLiteral("this build has no USB link");
        if (!why->isEmpty()) {
            unavailable[backEnd] = *why;
            return nullptr;
        }
        return (ends[backEnd] = std::move(started)).get();
    }

    static void backEnds()
    {
        QTest::addColumn<QString>("backEnd");
        for (const char *backEnd : {"fake", "simulator", "jack", "usb"})
            QTest::newRow(backEnd) << QString::fromLatin1(backEnd);
    }

#define FAR_END()                                                                                  \
    QFETCH(QString, backEnd);                                                                      \
    QString why;                                                                                   \
    bool fatal = false;                                                                            \
    FarEnd *far = farEnd(backEnd, &why, &fatal);                                                   \
    if (!far && fatal)                                                                             \
        QFAIL(qPrintable(why));                                                                    \
    if (!far)                                                                                      \
        QSKIP(qPrintable(why));

private slots:
    void cleanupTestCase() { ends.clear(); }

    void portsAreListedAndOpen_data() { backEnds(); }
    void portsAreListedAndOpen()
    {
        FAR_END();
        QVERIFY2(!Connection::find(far->ports().outputs(), far->outputName()).isNone(),
                 qPrintable(names(far->ports().outputs()).join(QStringLiteral(", "))));
        QVERIFY2(!Connection::find(far->ports().inputs(), far->inputName()).isNone(),
                 qPrintable(names(far->ports().inputs()).join(QStringLiteral(", "))));
        Connection ports(far->ports());
        QString error;
        QVERIFY2(ports.open(*far, &error), qPrintable(error));
        QVERIFY2(ports.output->name().contains(far->outputName()), qPrintable(ports.output->name()));
        for (const QByteArray &message : contractMessages())
            QVERIFY(ports.output->maxMessageLength() >= std::size_t(message.size()));
    }

    // Short messages and SysEx, long ones too, reach the far end whole and in order, and what
    // it sends back reaches the input the same way.
    void messagesArriveWholeAndInOrder_data() { backEnds(); }
    void messagesArriveWholeAndInOrder()
    {
        FAR_END();
        far->forget();
        Connection ports(far->ports());
        QString error;
        QVERIFY2(ports.open(*far, &error), qPrintable(error));
        const QList<QByteArray> messages = contractMessages();
        for (const QByteArray &message : messages)
            QVERIFY2(ports.send(message) == MidiOutputPort::Delivery::Delivered, qPrintable(describe(message)));
        QCOMPARE(ports.output->flush(2000ms), MidiOutputPort::Delivery::Delivered);

        // Compared whatever came, so that a failure shows what did.
        (void)QTest::qWaitFor([&] { return far->taken().size() >= messages.size(); }, far->patienceMs());
        QCOMPARE(far->taken(), describe(messages));

        far->play();
        const QList<QByteArray> expected = far->echoes() ? messages : instrumentAnswers();
        const qsizetype length = std::accumulate(expected.begin(), expected.end(), qsizetype(0),
                                                 [](qsizetype sum, const QByteArray &m) { return sum + m.size(); });
        (void)QTest::qWaitFor([&] { return ports.arrivals->all().size() >= length; }, far->patienceMs());
        QTest::qWait(50);   // nothing more comes
        QCOMPARE(cut(ports.arrivals->all(), expected), describe(expected));
    }

    // Closed, the ports let go of the device at once, and it opens again.
    void closingReleasesThePorts_data() { backEnds(); }
    void closingReleasesThePorts()
    {
        FAR_END();
        const QByteArray note = bytes({0x90, 0x40, 0x7F});
        for (int round = 1; round <= 2; ++round) {
            far->forget();
            Connection ports(far->ports());
            QString error;
            QVERIFY2(ports.open(*far, &error), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(error)));
            QCOMPARE(ports.send(note), MidiOutputPort::Delivery::Delivered);
            QTRY_COMPARE_WITH_TIMEOUT(far->taken(), QStringList{describe(note)}, far->patienceMs());
            QVERIFY(!far->released());
            QElapsedTimer closing;
            closing.start();
            ports.close();
            QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(closing.elapsed())));
            QTRY_VERIFY_WITH_TIMEOUT(far->released(), far->patienceMs());
        }
    }

    // Unplugged (the fake device removed, the JACK peer closed, the USB cable pulled): the
    // registry no longer lists it and says it is gone, the port already open refuses what is
    // sent without waiting past its limit, and closing does not hang. Last: the far end is
    // dropped, a later use starts it afresh.
    void aVanishedPortIsReported_data() { backEnds(); }
    void aVanishedPortIsReported()
    {
        FAR_END();
        Connection ports(far->ports());
        QString error;
        QVERIFY2(ports.open(*far, &error), qPrintable(error));
        const QByteArray note = bytes({0x90, 0x40, 0x7F});
        QCOMPARE(ports.send(note), MidiOutputPort::Delivery::Delivered);
        if (const QString cannot = far->vanish(); !cannot.isEmpty())
            QSKIP(qPrintable(cannot));
        const auto dropped = qScopeGuard([&] {
            ports.close();
            ends.erase(backEnd);
        });

        // The port at hand refuses, soon, and every send after it too, each within its limit.
        QVERIFY2(QTest::qWaitFor([&] { return ports.send(note, 500ms) != MidiOutputPort::Delivery::Delivered; },
                                 far->patienceMs()),
                 "sends still went out after the device went");
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer sending;
            sending.start();
            QVERIFY(ports.send(note, 500ms) != MidiOutputPort::Delivery::Delivered);
            QVERIFY2(sending.elapsed() < 1500, qPrintable(QString::number(sending.elapsed())));
        }

        // The registry no longer lists it, and says so when asked for the output.
        QTRY_VERIFY_WITH_TIMEOUT(Connection::find(far->ports().outputs(), far->outputName()).isNone(), far->patienceMs());
        QTRY_VERIFY_WITH_TIMEOUT(Connection::find(far->ports().inputs(), far->inputName()).isNone(), far->patienceMs());
        far->ports().recheckOutput();
        error.clear();
        ports.output = nullptr;   // the registry closes it as it finds the device gone
        QVERIFY(!far->ports().output(ports.out, &error));
        QVERIFY2(error.contains(QStringLiteral("is gone")), qPrintable(error));
        // A device that went is not a back end that stopped working.
        QCOMPARE(far->ports().systemPorts().problem(), QString());

        QElapsedTimer closing;
        closing.start();
        ports.close();
        QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(closing.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestMidiBackendContract)
#include "tst_MidiBackendContract.moc"
