#include "core/midi/DeviceLock.h"
#include "support/FakePorts.h"
#include "support/InputListener.h"
#include "support/MidiDeviceText.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"
#ifdef ZORVIK_HAVE_ALSA
#include "devices/midi/AlsaSequencerOutputPort.h"
#endif
#include "core/base/PromptService.h"
#include "core/curve/CurveSysEx.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/IdleInputListener.h"
#include "core/midi/InstrumentFinder.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/SysExSender.h"
#include "core/midi/MidiSystem.h"
#include "core/panel/PanelSettings.h"
#include "core/protocol/MidiStreamParser.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"
#include "core/sim/InstrumentSimulator.h"
#include "core/transfer/DumpReceiver.h"
#include "core/transfer/TransferDriver.h"
#include "support/InstrumentMessage.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

const auto *data(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

QByteArray message(std::uint8_t command, std::uint8_t number, int count, const QByteArray &payload = {})
{
    return instrumentMessage(command, number, count, payload);
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

class MidiTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        fake = std::make_shared<FakePorts::State>();
        fake->outputs = {QStringLiteral("Port A"), QStringLiteral("Port B")};
        fake->inputs = {QStringLiteral("In A")};
        midi = std::make_unique<SimulatedMidi>(std::make_unique<FakePorts>(fake));
        prompts = ScriptedPrompts();
    }
    void cleanup() { midi.reset(); }

    // --- joining input into whole messages ---

    void parserJoinsPiecesAndDropsRealtime()
    {
        QList<QByteArray> out;
        MidiStreamParser parser([&](const QByteArray &m) { out.append(m); });
        QByteArray dump = bytes({0xF0, 0x00, 0x20, 0x63}) + QByteArray(600, 0x11) + char(0xF7);
        QByteArray noisy = dump;
        noisy.insert(300, char(0xF8));   // clock inside the SysEx
        parser.feed(bytes({0xFE}));       // active sensing between messages
        for (int at = 0; at < noisy.size(); at += 256)
            parser.feed(noisy.mid(at, 256));
        parser.feed(bytes({0x90, 0x3C, 0x11}));
        QCOMPARE(out.size(), 2);
        QCOMPARE(out.at(0), dump);
        QCOMPARE(out.at(1), bytes({0x90, 0x3C, 0x11}));
    }

    void parserNeverGluesTwoDumps()
    {
        QList<QByteArray> out;
        MidiStreamParser parser([&](const QByteArray &m) { out.append(m); });
        parser.feed(bytes({0xF0, 0x01, 0x02}));             // F7 lost
        parser.feed(bytes({0xF0, 0x03, 0xF7}));
        parser.feed(bytes({0xF0, 0x00, 0x89, 0xF8, 0x01}));  // the frame's 0x89 stays, the clock goes
        parser.feed(bytes({0x02, 0xF7, 0x05, 0xF7}));       // stray data and a stray F7
        parser.feed(bytes({0x90, 0x3C, 0x33}));
        QCOMPARE(out, (QList<QByteArray>{bytes({0xF0, 0x03, 0xF7}), bytes({0xF0, 0x00, 0x89, 0x01, 0x02, 0xF7}),
                                         bytes({0x90, 0x3C, 0x33})}));

        // The instrument's side takes a whole message as it is: block 0x00F7 of a transfer.
        out.clear();
        MidiStreamParser verbatim([&](const QByteArray &m) { out.append(m); }, 64,
                                  MidiStreamParser::WholePieces::Verbatim);
        const QByteArray block = bytes({0xF0, 0x00, 0x20, 0x63, 0x00, 0x01, 0x00, 0x7F, 0x00, 0x18, 0x00, 0xF7, 0x89, 0x01, 0xF7});
        verbatim.feed(block);
        QCOMPARE(out, QList<QByteArray>{block});
    }

    // The device's SysEx lost its F7 and its next message came as a piece of its own: that
    // message ends the SysEx. Inside one piece, top-bit bytes still belong to the SysEx.
    void parserEndsAnUnfinishedSysExAtAShortMessage()
    {
        for (const auto mode : {MidiStreamParser::WholePieces::Filtered, MidiStreamParser::WholePieces::Verbatim}) {
            QList<QByteArray> out;
            MidiStreamParser parser([&](const QByteArray &m) { out.append(m); }, 64, mode);
            parser.feed(bytes({0xF0, 0x00, 0x20, 0x63, 0x89, 0x01}));   // no F7
            parser.feed(bytes({0x90, 0x3C, 0x11}));
            parser.feed(bytes({0xF0, 0x00, 0x89, 0x90, 0x3C, 0x11, 0xF7}));
            parser.feed(bytes({0xF0, 0x05}));
            parser.feed(bytes({0x90, 0x3C}));                          // not a whole message
            parser.feed(bytes({0xF7}));
            parser.feed(bytes({0xF0, 0x06}));
            parser.feed(bytes({0xC0, 0x07}));
            QCOMPARE(out, (QList<QByteArray>{bytes({0x90, 0x3C, 0x11}),
                                             bytes({0xF0, 0x00, 0x89, 0x90, 0x3C, 0x11, 0xF7}),
                                             bytes({0xF0, 0x05, 0x90, 0x3C, 0xF7}), bytes({0xC0, 0x07})}));
        }
    }

    void parserExpandsRunningStatusAndDropsStrays()
    {
        QList<QByteArray> out;
        MidiStreamParser parser([&](const QByteArray &m) { out.append(m); });
        parser.feed(bytes({0x3C, 0x11}));                       // no status yet: noise
        parser.feed(bytes({0x90, 0x3C, 0x11, 0x3C, 0x33, 0x40}));  // running status, then half a message
        parser.feed(bytes({0xC0, 0x05, 0x06, 0xF6}));
        QCOMPARE(out, (QList<QByteArray>{bytes({0x90, 0x3C, 0x11}), bytes({0x90, 0x3C, 0x33}),
                                         bytes({0xC0, 0x05}), bytes({0xC0, 0x06}), bytes({0xF6})}));
    }

    void parserCapsHugeSysEx()
    {
        QList<QByteArray> out;
        MidiStreamParser parser([&](const QByteArray &m) { out.append(m); }, 100);
        parser.feed(char(0xF0) + QByteArray(10000, 0x22) + char(0xF7));
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.at(0).size(), 100);
        QCOMPARE(uchar(out.at(0).back()), uchar(0xF7));
    }

    // --- sending ---

    void sendReachesSimulatorWholeAndRepliesComeLater()
    {
        InputListener listener(midi->capture());
        QVERIFY(listener.open());
        PanelSettings panel;
        panel.storeDefaultBoxes();
        QByteArray templ = panel.buildTemplateSysEx();
        templ[9] = 3;
        SysExSender sender(midi->ports(), midi->devices());
        QCOMPARE(sender.send(data(templ), quint32(templ.size())), SendResult::Sent);
        QCOMPARE(midi->simulator().templateMemory(3), templ);

        const QByteArray announce = message(TransferHeader::SongAnnouncement, 5, 0);
        QCOMPARE(announce.size(), 14);
        QCOMPARE(sender.send(data(announce), 14), SendResult::Sent);
        QVERIFY(listener.shorts.isEmpty());   // never inside the send
        settle();
        QCOMPARE(listener.shorts, (QList<std::uint32_t>{0x113C90}));
        QVERIFY(prompts.asked.isEmpty());
    }

    // The sender only says what happened; each caller tells the user in its own words, once
    // for every message that could not go.
    void missingOutputDevice_data()
    {
        QTest::addColumn<QString>("caller");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::newRow("curve") << "curve" << "Open the device is err, please set device!" << "";
        QTest::newRow("template") << "template" << "There are no MIDI output devices!" << "Zorvik Updata";
        QTest::newRow("blocks") << "blocks" << "There are no MIDI output devices!" << "Zorvik Updata";
    }

    void missingOutputDevice()
    {
        QFETCH(QString, caller);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        const QByteArray m = message(TransferHeader::VelocityCurve, 0x18, 1);
        SysExSender sender(midi->ports(), midi->devices());
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        PanelSettings panel;
        panel.storeDefaultBoxes();
        const QList<MidiDevice> missing{MidiDevice::system(2), MidiDevice::system(99), MidiDevice::none()};
        for (MidiDevice device : missing) {
            midi->devices().use(device, MidiDevice::builtIn());
            QCOMPARE(sender.send(data(m), quint32(m.size())), SendResult::DeviceNotOpened);
        }
        QVERIFY(prompts.asked.isEmpty());
        for (MidiDevice device : missing) {
            midi->devices().use(device, MidiDevice::builtIn());
            if (caller == QLatin1String("curve")) {
                QVERIFY(!CurveSysEx::send(sender, prompts, VelocityMap{}));
            } else if (caller == QLatin1String("template")) {
                driver.open(FileKind::Template, panel.buildTemplateSysEx());
                driver.send();
            } else {
                driver.open(FileKind::Firmware, QByteArray(100, 0x21));
                driver.send();   // the announcement cannot go
                driver.abort();
            }
        }
        QCOMPARE(fake->opens, 0);
        QCOMPARE(prompts.asked.size(), 3);
        QCOMPARE(prompts.asked.first().text, text);
        QCOMPARE(prompts.asked.first().caption, caption);
    }

    void keptConnectionFollowsTheChoice()
    {
        const QByteArray m = message(TransferHeader::DataBlock, 1, 0, QByteArray(1024, 0x55));
        QCOMPARE(m.size(), 1038);
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(1), MidiDevice::builtIn());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(sender.send(data(m), 1038), SendResult::Sent);
        QCOMPARE(fake->opens, 1);
        QCOMPARE(fake->sent.size(), 3);
        QCOMPARE(fake->sent.at(2), m);

        // Read at the moment of the call: the simulator now.
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::builtIn());
        QCOMPARE(sender.send(data(m), 1038), SendResult::Sent);
        QCOMPARE(fake->openOutputs, 0);
        QCOMPARE(midi->simulator().received().last(), m);
    }

    void unpluggedDeviceFailsAndNothingStaysOpen()
    {
        const QByteArray m = message(TransferHeader::VelocityCurve, 0x18, 1, QByteArray(127, 1));
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(1), MidiDevice::builtIn());
        QCOMPARE(sender.send(data(m), 141), SendResult::Sent);
        fake->outputs.removeLast();   // unplugged between sends
        QTest::qWait(MidiSystem::recheckMs + 20);   // a kept device is trusted that long
        QCOMPARE(sender.send(data(m), 141), SendResult::DeviceNotOpened);
        QCOMPARE(fake->openOutputs, 0);
        fake->outputs.append(QStringLiteral("Other device"));   // a new one took its number
        QTest::qWait(MidiSystem::recheckMs + 20);
        QCOMPARE(sender.send(data(m), 141), SendResult::Sent);
        QCOMPARE(fake->opens, 2);
        QCOMPARE(midi->ports().output(MidiDevice::system(1))->name(), QStringLiteral("Other device"));
    }

    // Other programs' ports coming and going shift the numbers of the rest: the kept device is
    // followed by its name, so a transfer never carries on into another program's port.
    void keptDeviceIsFollowedByItsName()
    {
        const QByteArray m = message(TransferHeader::DataBlock, 1, 0, QByteArray(16, 0x11));
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        QCOMPARE(sender.send(data(m), quint32(m.size())), SendResult::Sent);
        fake->outputs.prepend(QStringLiteral("Monitor"));   // now listed where "Port A" was
        QTest::qWait(MidiSystem::recheckMs + 20);
        QCOMPARE(sender.send(data(m), quint32(m.size())), SendResult::Sent);
        QCOMPARE(fake->opens, 1);
        QCOMPARE(midi->ports().output(MidiDevice::system(0))->name(), QStringLiteral("Port A"));
        QCOMPARE(fake->sent.size(), 2);
        QVERIFY(prompts.asked.isEmpty());
    }

    void refusedSendClosesAndNextOpensAgain_data()
    {
        QTest::addColumn<int>("delivery");
        QTest::newRow("refused") << int(MidiOutputPort::Delivery::Refused);
        QTest::newRow("timed out") << int(MidiOutputPort::Delivery::TimedOut);
    }

    void refusedSendClosesAndNextOpensAgain()
    {
        QFETCH(int, delivery);
        const QByteArray m = message(TransferHeader::FirmwareAnnouncement, 0x18, 3);
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        fake->next = MidiOutputPort::Delivery(delivery);
        QCOMPARE(sender.send(data(m), 14), SendResult::MessageRefused);
        QCOMPARE(fake->openOutputs, 0);
        QCOMPARE(sender.send(data(m), 14), SendResult::Sent);
        QCOMPARE(fake->opens, 2);
        QCOMPARE(fake->sent, QList<QByteArray>{m});
        QVERIFY(prompts.asked.isEmpty());

        // The callers tell it: a curve, a template, a block transfer's message.
        fake->next = MidiOutputPort::Delivery(delivery);
        QVERIFY(!CurveSysEx::send(sender, prompts, VelocityMap{}));
        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        PanelSettings panel;
        panel.storeDefaultBoxes();
        fake->next = MidiOutputPort::Delivery(delivery);
        driver.open(FileKind::Template, panel.buildTemplateSysEx());
        driver.send();
        fake->next = MidiOutputPort::Delivery(delivery);
        driver.open(FileKind::Firmware, QByteArray(100, 0x21));
        driver.send();
        driver.abort();
        QCOMPARE(fake->sent.size(), 1);
        QCOMPARE(prompts.asked.size(), 3);
        for (const auto &prompt : prompts.asked)
            QCOMPARE(prompt.text, QStringLiteral("Send the longMSG is err!"));
        QCOMPARE(prompts.asked.at(0).caption, QString());
        QCOMPARE(prompts.asked.at(1).caption, QStringLiteral("Zorvik Updata"));
        QCOMPARE(prompts.asked.at(2).caption, QString());
    }

    void messageTheDeviceCannotTakeIsNotSent()
    {
        SysExSender sender(midi->ports(), midi->devices());
        midi->devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        const QByteArray big = message(TransferHeader::TemplateImage, 1, 1, QByteArray(5000, 0));
        QCOMPARE(sender.send(data(big), quint32(big.size())),
                 SendResult::HeaderNotPrepared);
        QCOMPARE(sender.send(nullptr, 0), SendResult::HeaderNotPrepared);
        QVERIFY(fake->sent.isEmpty());
        QCOMPARE(fake->openOutputs, 0);
        QVERIFY(prompts.asked.isEmpty());
        QVERIFY(SysExSender::waitLimit(1038) >= std::chrono::milliseconds(1000 + 332));
    }

    // The lock files live in a private folder of the user's: the runtime folder when it is a
    // usable one, else a folder of their own in the temporary folder, never an empty path. A
    // device locked by another process is busy until that process ends, however it ends.
    // One lock per device and user, found the same way by every process whatever its
    // environment (XDG_RUNTIME_DIR set or not, as from a shell, sudo, cron or ssh); the kernel
    // frees it when its holder ends, however it ends; a lock of another user's is named as such.
    void deviceLockIsTheUsersAndEndsWithItsHolder_data()
    {
        QTest::addColumn<bool>("otherUser");
        QTest::newRow("this user") << false;
        QTest::newRow("another user") << true;
    }
    void deviceLockIsTheUsersAndEndsWithItsHolder()
    {
        QFETCH(bool, otherUser);
        if (qEnvironmentVariableIsSet("ZORVIK_HOLD_DEVICE_LOCK")) {   // the holder itself
            // Binds the lock's name as it was given: another user's process can take any name.
            const QByteArray name = qgetenv("ZORVIK_HOLD_DEVICE_LOCK");
            sockaddr_un where{};
            where.sun_family = AF_UNIX;
            std::memcpy(where.sun_path + 1, name.constData(), size_t(name.size()));
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::bind(fd, reinterpret_cast<sockaddr *>(&where), socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()))) != 0
                || ::listen(fd, 1) != 0)
                std::_Exit(2);
            std::printf("held\n");
            std::fflush(stdout);
            char byte = 0;
            while (::read(STDIN_FILENO, &byte, 1) == 1) {
            }
            std::_Exit(0);
        }
        if (otherUser && getuid() != 0)
            QSKIP("only root can start a process of another user");
        const QString key = QStringLiteral("jack:test-%1\nsynth:midi_in").arg(QCoreApplication::applicationPid());
        QTemporaryDir runtime;
        QProcess holder;   // holds the lock while its input is open
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZORVIK_HOLD_DEVICE_LOCK"), DeviceLock::name(key));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        holder.setProcessEnvironment(environment);
        if (otherUser)
            holder.setChildProcessModifier([] {
                [[maybe_unused]] const int ignored = ::setuid(65534);
            });
        holder.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("deviceLockIsTheUsersAndEndsWithItsHolder:")
                      + QString::fromLatin1(QTest::currentDataTag())});
        QVERIFY(holder.waitForStarted(5000));
        QByteArray said;   // after the test framework's own lines
        QTRY_VERIFY_WITH_TIMEOUT((said += holder.readAllStandardOutput()).contains("held\n"), 10000);

        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
        qunsetenv("XDG_RUNTIME_DIR");
        DeviceLock lock(key);
        QString error;
        QVERIFY(!lock.tryAcquire(&error));
        if (otherUser) {
            QVERIFY2(error.contains(QStringLiteral("of another user (uid 65534)")), qPrintable(error));
            QVERIFY2(error.contains(QStringLiteral("end that process to free the device")), qPrintable(error));
        } else {
            QVERIFY2(error.isEmpty(), qPrintable(error));   // only busy
        }
        holder.kill();   // a crash: the kernel frees the lock
        QVERIFY(holder.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(lock.tryAcquire(&error), 5000);
        DeviceLock second(key);
        QVERIFY(!second.tryAcquire());
        lock.release();
        QVERIFY(second.tryAcquire());
    }

#ifdef ZORVIK_HAVE_ALSA
    void alsaPortIsFoundByItsListedAddress()
    {
        int client = -1, port = -1;
        QVERIFY(AlsaSequencerOutputPort::parseAddress(QStringLiteral("Synth:Synth MIDI 1 24:0"), &client, &port));
        QCOMPARE(client, 24);
        QCOMPARE(port, 0);
        QVERIFY(!AlsaSequencerOutputPort::parseAddress(QStringLiteral("Synth MIDI"), &client, &port));
        QString error;
        // No sequencer on a machine without sound devices, and never an address-less name.
        if (!AlsaSequencerOutputPort::open(QStringLiteral("Nothing 250:7"), &error))
            QVERIFY(!error.isEmpty());
        QVERIFY(!AlsaSequencerOutputPort::open(QStringLiteral("Nothing"), &error));
    }
#endif

    // --- capture ---

    // The capture only says why; each caller tells the user in its own words (the velocity
    // monitor's are checked with the curve editor).
    void missingInputDevice_data()
    {
        QTest::addColumn<QString>("caller");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("transfer") << "transfer" << "There are no MIDI input devices!" << "Zorvik Updata"
                                  << int(PromptService::Icon::None);
        QTest::newRow("receive") << "receive" << "Error opening the default MIDI In Device!\r\n" << "Zorvik Halden"
                                 << int(PromptService::Icon::Stop);
    }

    void missingInputDevice()
    {
        QFETCH(QString, caller);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(1));   // the fake has one input, at place 0
        InputListener listener(midi->capture());
        QString error;
        QVERIFY(!midi->capture().open(&listener, MidiInCapture::Mode::ShortMessages, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(prompts.asked.isEmpty());

        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
        if (caller == QLatin1String("transfer")) {
            QSignalSpy closeRequested(&driver, &TransferDriver::closeRequested);
            driver.open(FileKind::Firmware, QByteArray(100, 0x21));
            driver.send();
            QCOMPARE(closeRequested.size(), 1);
        } else {
            QVERIFY(!receiver.listen());
        }
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.at(0).text, text);
        QCOMPARE(prompts.asked.at(0).caption, caption);
        QCOMPARE(int(prompts.asked.at(0).icon), icon);
        QVERIFY(!midi->capture().isOpen());
    }

    void shortMessagesModeDropsSysEx()
    {
        InputListener listener(midi->capture());
        QVERIFY(listener.open(MidiInCapture::Mode::ShortMessages));
        midi->simulator().playNote(60, 100);
        midi->simulator().sendDump();
        midi->simulator().playNote(61, 7);
        settle();
        QCOMPARE(listener.shorts, (QList<std::uint32_t>{0x643C90, 0x073D90}));
        QVERIFY(listener.sysExes.isEmpty());

        // In dump mode the SysEx comes too, whole.
        QVERIFY(listener.open(MidiInCapture::Mode::SysExDump));
        midi->simulator().playNote(62, 1);
        midi->simulator().sendDump();
        settle();
        QCOMPARE(listener.shorts.last(), std::uint32_t(0x013E90));
        QCOMPARE(listener.sysExes, QList<QByteArray>{midi->simulator().currentTemplate()});
    }

    void dumpModeAcceptsOneTemplateDump()
    {
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy received(&receiver, &DumpReceiver::received);
        QVERIFY(receiver.listen());
        QCOMPARE(midi->capture().mode(), MidiInCapture::Mode::SysExDump);
        midi->simulator().playNote(60, 10);   // short messages do not disturb the dump
        midi->simulator().sendDump();
        settle();
        QCOMPARE(received.size(), 1);
        QCOMPARE(receiver.dump(), midi->simulator().currentTemplate());
        QCOMPARE(receiver.dump().size(), 162);
        QVERIFY(!midi->capture().isOpen());

        midi->simulator().sendDump();   // not heard until the next listen
        settle();
        QCOMPARE(received.size(), 1);
    }

    // The receive side's rule: a SysEx whose bytes 2, 3 and 7 are not 20 63 03 is passed over;
    // a longer one than the input buffer is cut to its first 256 bytes.
    void foreignSysExIsIgnoredAndLongDumpIsCut()
    {
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(0));   // the fake's input
        DumpReceiver receiver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy delivered(&midi->capture(), &MidiInCapture::sysEx);
        QVERIFY(receiver.listen());
        QVERIFY(fake->input);
        QByteArray foreign = message(TransferHeader::TemplateImage, 0x18, 1, QByteArray(20, 1));
        foreign[4] = 0x7E;                                  // bytes 4-6 do not matter ...
        QByteArray wrong = foreign;
        wrong[3] = 0x64;                                    // ... but byte 3 does
        fake->input(wrong);
        fake->input(bytes({0x3C, 0xF8, 0x90, 0x3C}));         // noise and half a note
        QByteArray huge = message(TransferHeader::TemplateImage, 0x18, 1, QByteArray(10000, 0x42));
        for (int at = 0; at < huge.size(); at += 256)
            fake->input(huge.mid(at, 256) + char(0xFE));
        settle();
        QCOMPARE(delivered.size(), 2);
        QCOMPARE(receiver.dump(), huge.left(256));
        QCOMPARE(receiver.dump().size(), int(DumpReceiver::inputBufferSize));
        QVERIFY(!DumpReceiver::notWholeReason(receiver.dump()).isEmpty());
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(!fake->input);   // the port is closed
    }

    void closeWithoutOpenDoesNothing()
    {
        InputListener listener(midi->capture());
        listener.close();
        listener.close();
        QVERIFY(prompts.asked.isEmpty());
        QVERIFY(listener.open());
        midi->simulator().playNote(60, 1);   // queued, then the capture closes
        listener.close();
        listener.close();
        settle();
        QVERIFY(listener.shorts.isEmpty());
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(prompts.asked.isEmpty());
    }

    // One owner at a time: a second open ends the first, input queued for the first is dropped,
    // only the owner closes, and an owner that goes takes its capture with it.
    void oneOwnerAtATime()
    {
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(0));   // the fake's input, fed by hand
        InputListener first(midi->capture());
        QVERIFY(first.open());
        fake->input(bytes({0x90, 0x3C, 0x01}));   // on its way to the first owner
        {
            InputListener second(midi->capture());
            QVERIFY(second.open());
            QCOMPARE(midi->capture().owner(), &second);
            first.close();   // no longer the first's to close
            QVERIFY(midi->capture().isOpenFor(&second));
            fake->input(bytes({0x90, 0x3D, 0x02}));
            settle();
            QVERIFY(first.shorts.isEmpty());
            QCOMPARE(second.shorts, QList<std::uint32_t>{0x023D90});
        }
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(!fake->input);
    }

    // A listener of idle time (the live panel's) takes the input only while it is free, gives it
    // up to any other open at once, takes it back from the event loop when it is free again, and
    // follows the input device in use, which it does not hold back as a busy capture does.
    void idleListenerGivesWayAndComesBack()
    {
        MidiInCapture &capture = midi->capture();
        IdleInputListener idle(midi->capture(), midi->devices());
        QSignalSpy heard(&idle, &IdleInputListener::shortMessage);
        QSignalSpy owners(&capture, &MidiInCapture::ownerChanged);
        idle.setEnabled(true);
        QVERIFY(!idle.isListening());   // not inside the call: from the event loop
        QTRY_VERIFY(idle.isListening());
        QCOMPARE(owners.size(), 1);
        QVERIFY(capture.isOpen() && !capture.isBusy());
        QVERIFY(!capture.openWhenIdle(this, MidiInCapture::Mode::ShortMessages));   // held: not idle
        midi->simulator().controlChange(1, 72, 100);
        QTRY_COMPARE(heard.size(), 1);
        QCOMPARE(heard.at(0), (QVariantList{quint8(0xB0), quint8(72), quint8(100)}));

        // Another owner opens: the listener is out at once and stays out while it is busy.
        InputListener other(capture);
        QVERIFY(other.open());
        QVERIFY(!idle.isListening() && capture.isBusy());
        midi->simulator().pitchBend(2, -8192);
        settle();
        QCOMPARE(other.shorts, QList<std::uint32_t>{0x0000E1});
        QCOMPARE(heard.size(), 1);
        QVERIFY(!idle.isListening());
        other.close();
        QVERIFY(!idle.isListening());
        QTRY_VERIFY(idle.isListening());

        // The instrument appears: the devices follow it under the listener, which moves with them.
        fake->inputs.append(QStringLiteral("Zorvik K8 (USB)"));
        fake->outputs.append(QStringLiteral("Zorvik K8 (USB)"));
        midi->devices().update();
        QCOMPARE(midi->devices().input(), MidiDevice::system(1));
        QTRY_VERIFY(fake->input);
        QVERIFY(idle.isListening());
        fake->input(bytes({0x90, 0x3C, 0x40}));
        QTRY_COMPARE(heard.size(), 2);
        // ... but not under a busy capture.
        QVERIFY(other.open());
        fake->inputs.clear();
        midi->devices().update();
        QCOMPARE(midi->devices().input(), MidiDevice::system(1));
        other.close();
        midi->devices().update();
        QCOMPARE(midi->devices().input(), MidiDevice::builtIn());
        QTRY_VERIFY(idle.isListening() && !fake->input);

        // Off: the input is given back and not taken again.
        idle.setEnabled(false);
        QVERIFY(!capture.isOpen());
        QVERIFY(other.open());
        other.close();
        settle();
        QVERIFY(!capture.isOpen());
    }

    // --- a whole block transfer against the built-in simulator, paced by its replies ---

    void blockTransferPacedBySimulatorReplies_data()
    {
        QTest::addColumn<int>("imageLength");
        QTest::addColumn<int>("stopAfter");
        QTest::newRow("three blocks") << 2500 << -1;
        QTest::newRow("exact blocks") << 1792 << -1;   // packs to 2048
        QTest::newRow("device stops") << 5000 << 2;
    }

    void blockTransferPacedBySimulatorReplies()
    {
        QFETCH(int, imageLength);
        QFETCH(int, stopAfter);
        midi->simulator().faults.stopAfterBlock = stopAfter;
        midi->simulator().faults.replyDelayMs = 2;
        QByteArray image(imageLength, 0);
        for (int i = 0; i < imageLength; ++i)
            image[i] = char(i * 7 + 3);
        const QByteArray packed = SevenBitCodec::Pack(image);
        const int blocks = int((packed.size() + 1023) / 1024);

        SysExSender sender(midi->ports(), midi->devices());
        InputListener listener(midi->capture());
        int next = 0;
        listener.onShort = [&](std::uint32_t value) {
            if (value != 0x333C90 || next >= blocks)
                return;
            const QByteArray block = message(TransferHeader::DataBlock, 4, next, packed.mid(next * 1024, 1024));
            QCOMPARE(sender.send(data(block), quint32(block.size())),
                     SendResult::Sent);
            ++next;
        };
        QVERIFY(listener.open());
        const QByteArray announce = message(TransferHeader::FirmwareAnnouncement, 0x18, blocks);
        QCOMPARE(sender.send(data(announce), 14), SendResult::Sent);

        const auto &t = midi->simulator().lastTransfer();
        if (stopAfter < 0) {
            QTRY_VERIFY_WITH_TIMEOUT(t.complete, 3000);
            QCOMPARE(t.image, image);
            QCOMPARE(t.command, std::uint8_t(0x04));
            QCOMPARE(listener.shorts.size(), blocks + 1);   // ready, then one request per block
            QCOMPARE(listener.shorts.first(), std::uint32_t(0x113C90));
        } else {
            QTest::qWait(100);
            QCOMPARE(t.blocksReceived, stopAfter);
            QVERIFY(!t.complete);
        }
        QVERIFY(prompts.asked.isEmpty());
    }

    // --- the instrument ---

    void instrumentIsTheFirstPortNamedZorvik()
    {
        using D = MidiSystem::Device;
        const MidiDevice builtIn = MidiDevice::builtIn();
        const auto at = [](int place) { return MidiDevice::system(place); };
        const QList<D> outs{{builtIn, "Zorvik Simulator"}, {at(0), "Synth"}, {at(1), "ZORVIK K8 (USB) MIDI 1"},
                            {at(2), "Zorvik K4"}};
        const QList<D> ins{{builtIn, "Zorvik Simulator"}, {at(0), "Keys"}, {at(2), "zorvik-sim:Zorvik Simulator"}};
        const InstrumentFinder::Choice found = InstrumentFinder::find(outs, ins);
        QCOMPARE(found.output, MidiDevice::system(1));
        QCOMPARE(found.outputName, QStringLiteral("ZORVIK K8 (USB) MIDI 1"));
        QCOMPARE(found.input, MidiDevice::system(2));   // another process's simulator is an instrument too
        QVERIFY(found.outputFound() && found.inputFound());

        // Only the built-in simulator, whose name has the mark too: nothing found.
        const InstrumentFinder::Choice none = InstrumentFinder::find({{builtIn, "Zorvik Simulator"}, {at(0), "Synth"}},
                                                                     {{builtIn, "Zorvik Simulator"}});
        QCOMPARE(none.output, MidiDevice::builtIn());
        QCOMPARE(none.input, MidiDevice::builtIn());
        QVERIFY(!none.outputFound() && !none.inputFound());
    }

    // Output and input of one device go together, by their names less what the MIDI system
    // adds: the sequencer's address, JACK's number for a second client of the same name.
    void instrumentIsAnOutputAndInputOfOneDevice()
    {
        using D = MidiSystem::Device;
        QCOMPARE(InstrumentFinder::deviceOf(QStringLiteral("Zorvik K8:Zorvik K8 MIDI 1 24:0")),
                 QStringLiteral("Zorvik K8:Zorvik K8 MIDI 1"));
        QCOMPARE(InstrumentFinder::deviceOf(QStringLiteral("zorvik-sim-01:Zorvik Simulator")),
                 QStringLiteral("zorvik-sim:Zorvik Simulator"));
        const MidiDevice builtIn = MidiDevice::builtIn();
        const auto at = [](int place) { return MidiDevice::system(place); };
        const QList<D> outs{{builtIn, "Zorvik Simulator"}, {at(0), "monitor:Zorvik Monitor"},
                            {at(1), "zorvik-sim:Zorvik Simulator"}, {at(2), "Zorvik K8:Zorvik K8 MIDI 1 24:0"}};
        const QList<D> ins{{builtIn, "Zorvik Simulator"}, {at(0), "Zorvik K8:Zorvik K8 MIDI 1 24:0"},
                           {at(1), "zorvik-sim-01:Zorvik Simulator"}};
        const InstrumentFinder::Choice found = InstrumentFinder::find(outs, ins);
        QCOMPARE(found.output, MidiDevice::system(1));   // the monitor, listed first, has no input
        QCOMPARE(found.input, MidiDevice::system(1));
        QCOMPARE(found.instruments, 2);
        QCOMPARE(InstrumentFinder::choiceNote(found, QStringLiteral("choose another.")),
                 QStringLiteral("2 instruments found; using zorvik-sim:Zorvik Simulator (MIDI Out) and "
                                "zorvik-sim-01:Zorvik Simulator (MIDI In); choose another."));
        // No pair at all: the first of each side, as there is nothing better.
        const InstrumentFinder::Choice apart = InstrumentFinder::find({{at(0), "Zorvik Out"}}, {{at(0), "Zorvik In"}});
        QCOMPARE(apart.output, MidiDevice::system(0));
        QCOMPARE(apart.input, MidiDevice::system(0));
        QCOMPARE(apart.instruments, 0);
        QVERIFY(InstrumentFinder::choiceNote(apart, QStringLiteral("x")).isEmpty());
    }

    void instrumentIsFollowedUntilTheUserChooses()
    {
        DeviceSelection &devices = midi->devices();
        // Every selection starts on the defaults: the built-in simulator both ways.
        QCOMPARE(devices.output(), MidiDevice::builtIn());
        QCOMPARE(devices.input(), MidiDevice::builtIn());
        QSignalSpy changes(&devices, &DeviceSelection::changed);
        devices.startWatching();
        QCOMPARE(devices.output(), MidiDevice::builtIn());
        QCOMPARE(devices.label(), QStringLiteral("Zorvik Simulator — no instrument found"));
        QVERIFY(!devices.systemOutputInUse());

        // Plugged in: found by the watch within its period, without being asked.
        fake->outputs.append(QStringLiteral("Zorvik K8 (USB)"));
        fake->inputs.prepend(QStringLiteral("Zorvik K8 (USB)"));
        QTRY_COMPARE_WITH_TIMEOUT(devices.output(), MidiDevice::system(2), 5 * DeviceSelection::pollMs);
        QCOMPARE(devices.input(), MidiDevice::system(0));
        QCOMPARE(devices.label(), QStringLiteral("Zorvik K8 (USB)"));
        QCOMPARE(devices.details(), QStringLiteral("MIDI Out: Zorvik K8 (USB)\nMIDI In: Zorvik K8 (USB)"));
        QVERIFY(devices.systemOutputInUse());
        QVERIFY(changes.size() >= 1);
        SysExSender sender(midi->ports(), midi->devices());
        const QByteArray m = message(TransferHeader::VelocityCurve, 0x18, 1, QByteArray(127, 1));
        QCOMPARE(sender.send(data(m), 141), SendResult::Sent);
        QCOMPARE(fake->openOutputs, 1);

        // Unplugged: back to the simulator, and the connection to the port that went is closed
        // (one of the same name may come back).
        fake->outputs.removeLast();
        fake->inputs.removeFirst();
        QTRY_COMPARE_WITH_TIMEOUT(devices.output(), MidiDevice::builtIn(), 5 * DeviceSelection::pollMs);
        QCOMPARE(devices.input(), MidiDevice::builtIn());
        QCOMPARE(fake->openOutputs, 0);
        QCOMPARE(devices.label(), QStringLiteral("Zorvik Simulator — no instrument found"));
        devices.stopWatching();

        // The user's choice stays, whatever is plugged in; the simulator is then just its name.
        devices.choose(MidiDevice::builtIn(), MidiDevice::builtIn());
        QCOMPARE(devices.label(), QStringLiteral("Zorvik Simulator"));
        fake->outputs.prepend(QStringLiteral("zorvik-sim:Zorvik Simulator"));
        devices.update();
        QCOMPARE(devices.output(), MidiDevice::builtIn());
        QVERIFY(!devices.followsInstrument());
        QCOMPARE(devices.found().output, MidiDevice::system(0));

        // A chosen system device that goes says so.
        devices.choose(MidiDevice::system(1), MidiDevice::system(0));
        QCOMPARE(devices.label(), QStringLiteral("Port A"));
        fake->outputs.clear();
        devices.update();
        QCOMPARE(devices.label(), QStringLiteral("Port A — not connected"));
        QCOMPARE(devices.output(), MidiDevice::system(1));

        fake->outputs = {QStringLiteral("zorvik-sim:Zorvik Simulator")};
        devices.followInstrument();
        QCOMPARE(devices.output(), MidiDevice::system(0));
        QCOMPARE(devices.label(), QStringLiteral("zorvik-sim:Zorvik Simulator"));
    }

    // Unplugged in the middle of a transfer: the transfer keeps its device and ends with its
    // own messages; plugged in again, the next send goes to it.
    void instrumentUnpluggedDuringATransfer()
    {
        fake->outputs = {QStringLiteral("Zorvik K8 (USB)")};
        fake->inputs = {QStringLiteral("Zorvik K8 (USB)")};
        DeviceSelection &devices = midi->devices();
        devices.update();
        QCOMPARE(devices.output(), MidiDevice::system(0));
        QCOMPARE(devices.input(), MidiDevice::system(0));

        TransferDriver driver(midi->ports(), midi->devices(), midi->capture(), prompts);
        QSignalSpy failed(&driver, &TransferDriver::failed);
        driver.open(FileKind::Firmware, QByteArray(3000, 0x21));
        driver.send();
        QCOMPARE(fake->sent.size(), 1);   // the announcement
        QVERIFY(fake->input);
        fake->input(bytes({0x90, 0x3C, 0x11}));   // ready
        fake->input(bytes({0x90, 0x3C, 0x33}));   // next
        QTRY_COMPARE(fake->sent.size(), 2);

        fake->outputs.clear();
        fake->inputs.clear();
        devices.update();
        QCOMPARE(devices.output(), MidiDevice::system(0));   // not changed under the transfer
        QCOMPARE(devices.label(), QStringLiteral("Zorvik K8 (USB) — not connected"));
        QTest::qWait(MidiSystem::recheckMs + 20);
        fake->input(bytes({0x90, 0x3C, 0x33}));   // the last reply before the cable went
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(fake->sent.size(), 2);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.at(0).text, QStringLiteral("There are no MIDI output devices!"));
        QVERIFY(driver.session().outcome().failureText().startsWith(QStringLiteral("Block 2 could not be sent")));

        devices.update();   // the transfer is over: the simulator stands in
        QCOMPARE(devices.output(), MidiDevice::builtIn());
        QCOMPARE(devices.input(), MidiDevice::builtIn());

        fake->outputs = {QStringLiteral("Zorvik K8 (USB)")};
        fake->inputs = {QStringLiteral("Zorvik K8 (USB)")};
        devices.update();
        QCOMPARE(devices.output(), MidiDevice::system(0));
        driver.send();
        QTRY_COMPARE(fake->sent.size(), 3);   // announced again, to the instrument
        QCOMPARE(quint8(fake->sent.last().at(7)), quint8(TransferHeader::FirmwareAnnouncement));
        driver.abort();
    }

private:
    std::shared_ptr<FakePorts::State> fake;
    std::unique_ptr<SimulatedMidi> midi;
    ScriptedPrompts prompts;
};

QTEST_GUILESS_MAIN(MidiTest)
#include "tst_MidiSystem.moc"
