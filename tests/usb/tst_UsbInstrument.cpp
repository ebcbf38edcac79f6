// The programs against a USB instrument, as it sits behind the kernel's USB MIDI driver. Runs
// inside the USB rig's virtual machine (scripts/usb-rig.sh), where zorvik-usb-instrument plugs
// a software "Zorvik K8" into the kernel through USB/IP; anywhere else it skips.
#include "core/curve/CurveFile.h"
#include "core/curve/CurveSysEx.h"
#include "core/panel/PanelSettings.h"
#include "core/transfer/SendPreparation.h"
#include "devices/midi/RtMidiBackend.h"
#include "devices/midi/UsbDeviceFinder.h"
#include "core/midi/DeviceSelection.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/panel/PanelEditor.h"
#include "gui/widgets/SkinButton.h"
#include "support/FreshLibrary.h"
#include "support/ModalDriver.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"
#include "usb/EmulatedInstrument.h"

#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

struct Run
{
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
    qint64 ms = 0;
};

QByteArray fromHexWord(const QString &line, int word)
{
    return QByteArray::fromHex(line.section(QLatin1Char(' '), word, word).toLatin1());
}

QString sha1(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

// Waits for a program with the event loop running: the instrument's log is read meanwhile, so
// a long transfer cannot fill its pipe and stall it.
bool finished(QProcess &process, int ms)
{
    return QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, ms);
}

} // namespace

class TestUsbInstrument : public QObject
{
    Q_OBJECT

    QTemporaryDir files;
    EmulatedInstrument instrument;
    UsbDeviceFinder finder;

    QString path(const QString &name) const { return files.filePath(name); }

    // zorvikctl with `arguments`; `asUser` runs it as that user (setpriv), with its own home.
    Run zorvikctl(const QStringList &arguments, int timeoutMs = 90000, const QString &asUser = {})
    {
        QProcess process;
        QStringList args = arguments;
        QString program = QStringLiteral(ZORVIK_CTL_PATH);
        if (!asUser.isEmpty()) {
            args = QStringList{QStringLiteral("--reuid=") + asUser, QStringLiteral("--regid=") + asUser,
                               QStringLiteral("--clear-groups"), QStringLiteral("env"),
                               QStringLiteral("HOME=") + files.path(), QStringLiteral("XDG_RUNTIME_DIR="), program}
                   + arguments;
            program = QStringLiteral("setpriv");
        }
        QElapsedTimer clock;
        clock.start();
        process.start(program, args);
        Run run;
        if (!finished(process, timeoutMs)) {
            process.kill();
            process.waitForFinished();
        }
        run.ms = clock.elapsed();
        run.crashed = process.exitStatus() == QProcess::CrashExit;
        run.exitCode = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        qInfo().noquote() << "zorvikctl" << arguments.join(' ') << "->" << run.exitCode << "in" << run.ms << "ms"
                          << run.out.trimmed() << run.err.trimmed();
        return run;
    }

    std::optional<UsbMidiAddress> device() const { return finder.forProductName(QStringLiteral("Zorvik K8")); }

    // The kernel's audio driver holds the instrument again and the sequencer lists its port.
    bool driverIsBack(int ms = 5000)
    {
        return QTest::qWaitFor([this] {
            const auto where = device();
            if (!where || finder.interfaceDriver(*where, 0) != QLatin1String("snd-usb-audio")
                || finder.interfaceDriver(*where, 1) != QLatin1String("snd-usb-audio"))
                return false;
            RtMidiBackend backend(RtMidi::LINUX_ALSA);
            return backend.outputNames().filter(QStringLiteral("Zorvik K8")).size() == 1;
        }, ms);
    }

    // The link holds the instrument: its streaming interface is claimed by a program.
    bool linkHolds(int ms = 10000)
    {
        return QTest::qWaitFor([this] {
            const auto where = device();
            return where && finder.interfaceDriver(*where, 1) == QLatin1String("usbfs");
        }, ms);
    }

    // Also the point from which the instrument's log is read whole: every line before the answer
    // has come.
    QString status() { return instrument.ask(QStringLiteral("status"), QStringLiteral("status")); }
    int mark()
    {
        status();
        return instrument.mark();
    }

    // The messages the instrument took since `from`, each "message N bytes, codes ...".
    QStringList messagesSince(int from)
    {
        status();
        return instrument.since(from).filter(QRegularExpression(QStringLiteral("^message ")));
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    static QByteArray firmwareImage(int size)
    {
        QByteArray image(size, '\0');
        quint32 x = 2463534242u;
        for (char &byte : image) {   // every value, 0x80 and over included
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            byte = char(x);
        }
        return image;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("ZORVIK_USB_RIG"))
            QSKIP("runs inside the USB rig's virtual machine: scripts/usb-rig.sh");
        QVERIFY(files.isValid());
        QVERIFY2(instrument.start(), "the emulated instrument could not be plugged in");
        QVERIFY2(driverIsBack(10000), "the kernel did not make a MIDI port of the emulated instrument");
        writeFile(QStringLiteral("fw.bin"), firmwareImage(300 * 1024));
    }

    void cleanupTestCase() { instrument.stop(); }

    // The proof that the rig is the real thing: the system's own route cuts the frame.
    void theSystemRouteCutsTheFrame()
    {
        const int from = mark();
        QProcess amidi;
        amidi.start(QStringLiteral("amidi"), {QStringLiteral("-p"), QStringLiteral("hw:0,0,0"), QStringLiteral("-S"),
                                              QStringLiteral("F0 00 20 63 00 01 00 04 00 18 00 01 89 F7")});
        QVERIFY(amidi.waitForFinished(10000));
        const QString answer = status();
        QVERIFY2(answer.contains(QStringLiteral(" unfinished 12 ")) || answer.contains(QStringLiteral(" cut 1 ")), qPrintable(answer));
        QVERIFY(messagesSince(from).isEmpty());
        // What the driver left unfinished is ended by the next whole message of the test.
        instrument.command(QStringLiteral("status"));
    }

    void templateGoesToSlot7Whole()
    {
        const QString file = QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx");
        QFile source(file);
        QVERIFY(source.open(QIODevice::ReadOnly));
        QByteArray expected = source.readAll();
        expected[9] = 7;   // the memory number
        const int from = mark();
        const Run run = zorvikctl({QStringLiteral("send"), file, QStringLiteral("--number"), QStringLiteral("7")});
        QCOMPARE(run.exitCode, 0);
        const QStringList messages = messagesSince(from);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().startsWith(QStringLiteral("message 162 bytes, codes right")), qPrintable(messages.first()));
        qInfo().noquote() << "the instrument's log of the template:" << messages.first();
        QCOMPARE(fromHexWord(instrument.ask(QStringLiteral("memory 7"), QStringLiteral("memory 7")), 2), expected);
        QVERIFY(driverIsBack());
    }

    void firmwareOf300KBArrivesWhole()
    {
        const QByteArray image = firmwareImage(300 * 1024);
        const int from = mark();
        const Run run = zorvikctl({QStringLiteral("send"), path(QStringLiteral("fw.bin"))});
        QCOMPARE(run.exitCode, 0);
        const QString answer = status();
        QVERIFY2(answer.contains(QStringLiteral("badly-coded 0 cut 0 unfinished 0 transfer 4 ")), qPrintable(answer));
        QVERIFY2(answer.contains(QStringLiteral(" 343/343 complete 307200 bytes sha1 ") + sha1(image)), qPrintable(answer));
        QCOMPARE(messagesSince(from).filter(QStringLiteral("codes right")).size(), 344);
        QVERIFY(driverIsBack());
    }

    void songGoesToSlot5()
    {
        const QString song = QStringLiteral(ZORVIK_DEMO_DIR "/mid/zorvik-sunrise.mid");
        const auto prepared = SendPreparation::prepareFile(FileKind::Song, song, QStringLiteral("zorvik-sunrise.mid"));
        QVERIFY(prepared.ok);
        const Run run = zorvikctl({QStringLiteral("send"), song, QStringLiteral("--number"), QStringLiteral("5")});
        QCOMPARE(run.exitCode, 0);
        const QString answer = status();
        QVERIFY2(answer.contains(QStringLiteral("badly-coded 0 cut 0 unfinished 0 transfer 2 number 5 ")), qPrintable(answer));
        QVERIFY2(answer.contains(QStringLiteral(" complete %1 bytes sha1 %2").arg(prepared.image.size()).arg(sha1(prepared.image))),
                 qPrintable(answer));
        QVERIFY(driverIsBack());
    }

    void curveArrivesWhole()
    {
        const QString file = QStringLiteral(ZORVIK_DEMO_DIR "/Curve/Soft touch.crv");
        const CurveFile::Result curve = CurveFile::load(file);
        QVERIFY(curve.ok);
        const std::vector<std::uint8_t> built = CurveSysEx::build(curve.contents.map);
        const QByteArray expected(reinterpret_cast<const char *>(built.data()), qsizetype(built.size()));
        const int from = mark();
        const Run run = zorvikctl({QStringLiteral("curve"), file});
        QCOMPARE(run.exitCode, 0);
        const QStringList messages = messagesSince(from);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().startsWith(QStringLiteral("message 141 bytes, codes right")), qPrintable(messages.first()));
        QCOMPARE(QByteArray::fromHex(messages.first().section(QStringLiteral(": "), -1).remove(QLatin1Char(' ')).toLatin1()), expected);
        QVERIFY(driverIsBack());
    }

    // The instrument's dump carries 0x89 at offset 12: only the link brings it whole.
    void dumpIsSavedByteForByte()
    {
        PanelSettings settings;
        settings.storeDefaultBoxes();
        settings.storeField(PanelSettings::Slot(PanelSettings::Knob1 + 2), PanelSettings::Field::Msb, QStringLiteral("099"));
        const QByteArray stored = settings.buildTemplateSysEx();
        QProcess receive;
        receive.start(QStringLiteral(ZORVIK_CTL_PATH), {QStringLiteral("receive"), path(QStringLiteral("got.syx")),
                                                        QStringLiteral("--timeout"), QStringLiteral("30")});
        QVERIFY(linkHolds());
        const QString dump = instrument.ask(QStringLiteral("dump"), QStringLiteral("dump "));
        QVERIFY(finished(receive, 30000));
        QCOMPARE(receive.exitCode(), 0);
        QFile saved(path(QStringLiteral("got.syx")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QCOMPARE(bytes, fromHexWord(dump, 1));
        QCOMPARE(quint8(bytes.at(12)), quint8(0x89));
        QCOMPARE(bytes.size(), 162);
        (void)stored;
        QVERIFY(driverIsBack());
    }

    // SIGTERM between two blocks: zorvikctl says how far it got and gives the instrument back.
    void sigtermMidTransferGivesTheInstrumentBack()
    {
        instrument.command(QStringLiteral("delay 5"));
        const int from = mark();
        QProcess send;
        send.start(QStringLiteral(ZORVIK_CTL_PATH), {QStringLiteral("send"), path(QStringLiteral("fw.bin"))});
        QVERIFY(!instrument.await(QStringLiteral("sim block 40 of"), 30000, from).isEmpty());
        ::kill(pid_t(send.processId()), SIGTERM);
        QVERIFY(finished(send, 15000));
        instrument.command(QStringLiteral("delay 0"));
        QCOMPARE(send.exitCode(), 143);
        const QString said = QString::fromUtf8(send.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("of 343 blocks: the instrument keeps only part of the file; a firmware update must be sent again")),
                 qPrintable(said));
        QVERIFY(driverIsBack());
    }

    // Killed while it held the link, a program leaves the instrument without a driver; the next
    // start gives it back and finds the instrument by its name.
    void aCrashMidTransferIsMendedAtTheNextStart()
    {
        instrument.command(QStringLiteral("delay 5"));
        const int from = mark();
        QProcess send;
        send.start(QStringLiteral(ZORVIK_CTL_PATH), {QStringLiteral("send"), path(QStringLiteral("fw.bin"))});
        QVERIFY(!instrument.await(QStringLiteral("sim block 20 of"), 30000, from).isEmpty());
        send.kill();
        QVERIFY(finished(send, 5000));
        instrument.command(QStringLiteral("delay 0"));
        const auto where = device();
        QVERIFY(where);
        QVERIFY(QTest::qWaitFor([&] { return finder.interfaceDriver(*where, 1).isEmpty(); }, 5000));
        QVERIFY(finder.interfaceDriver(*where, 0).isEmpty());
        const Run ports = zorvikctl({QStringLiteral("ports")});
        QCOMPARE(ports.exitCode, 0);
        QVERIFY2(ports.err.contains(QStringLiteral("gave Zorvik K8")), qPrintable(ports.err));
        QVERIFY2(ports.out.contains(QStringLiteral("Zorvik K8")), qPrintable(ports.out));
        QVERIFY(driverIsBack());
    }

    // Without access to the device node: a clear message and exit 3, and nothing goes out
    // through the sequencer, which this user may use.
    void withoutPermissionNothingIsSent()
    {
        const auto where = device();
        QVERIFY(where);
        QVERIFY(QFile::setPermissions(where->node(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const int from = mark();
        const QString before = status();
        for (const QStringList &command : {QStringList{QStringLiteral("send"), QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx")},
                                           QStringList{QStringLiteral("curve"), QStringLiteral(ZORVIK_DEMO_DIR "/Curve/Linear.crv")}}) {
            const Run run = zorvikctl(command, 30000, QStringLiteral("65534"));
            QCOMPARE(run.exitCode, 3);
            QVERIFY2(run.err.contains(QStringLiteral("no permission to use the USB device ") + where->node()), qPrintable(run.err));
            QVERIFY2(run.err.contains(QStringLiteral("70-zorvik-halden.rules")), qPrintable(run.err));
        }
        QCOMPARE(status().section(QStringLiteral(" messages "), 1).section(QLatin1Char(' '), 0, 0),
                 before.section(QStringLiteral(" messages "), 1).section(QLatin1Char(' '), 0, 0));
        QVERIFY(messagesSince(from).isEmpty());
        QVERIFY(driverIsBack());
    }

    // The editor through its real widgets: SAVE sends the panel as a template over the link,
    // RECEIVE loads the instrument's dump.
    void editorSendsATemplateAndReceivesADump()
    {
        FreshLibrary data;
        QVERIFY(data.isReady());
        SimulatedMidi midi(std::make_unique<RtMidiBackend>(RtMidi::LINUX_ALSA));
        ScriptedPrompts prompts;
        MainWindow window(data.location(), prompts);
        auto *workspace = new Workspace(window, midi, midi.simulator(), prompts);
        midi.devices().startWatching();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *label = window.findChild<QLabel *>(QStringLiteral("deviceLabel"));
        QVERIFY(label);
        QTRY_VERIFY2(label->text().contains(QStringLiteral("(USB link)")), qPrintable(label->text()));
        QVERIFY2(label->toolTip().contains(QStringLiteral("SysEx through the USB link")), qPrintable(label->toolTip()));
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
            window.grab().save(shots + QStringLiteral("/main-window-usb-instrument.png"));

        QLineEdit *msb = workspace->panel().box(PanelSettings::Slot(PanelSettings::Knob1 + 1), PanelSettings::Field::Msb);
        window.activateWindow();
        QTest::mouseClick(msb, Qt::LeftButton);
        QTest::keyClick(msb, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(msb, QStringLiteral("64"));
        prompts.queue(PromptService::Answer::No);    // Save Setting: no file
        prompts.queue(PromptService::Answer::Yes);   // Update the instrument
        bool sent = false;
        ModalDriver::next([&](QDialog *transfer) {
            QTest::mouseClick(transfer->findChild<QPushButton *>(QStringLiteral("send")), Qt::LeftButton);
            sent = true;
            QTest::mouseClick(transfer->findChild<QPushButton *>(QStringLiteral("close")), Qt::LeftButton);
        });
        const int from = mark();
        QTest::mouseClick(window.button(SkinLayout::Button::Save), Qt::LeftButton);
        QVERIFY(sent);
        PanelSettings expected;
        expected.storeField(PanelSettings::Slot(PanelSettings::Knob1 + 1), PanelSettings::Field::Msb, QStringLiteral("064"));
        const QStringList messages = messagesSince(from);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().startsWith(QStringLiteral("message 162 bytes, codes right")), qPrintable(messages.first()));
        QCOMPARE(fromHexWord(instrument.ask(QStringLiteral("memory 1"), QStringLiteral("memory 1")), 2),
                 expected.buildTemplateSysEx().replace(9, 1, "\x01"));
        QVERIFY(driverIsBack());

        // The instrument's current template is the one just sent; RECEIVE loads it back after
        // the panel was changed.
        QTest::mouseClick(msb, Qt::LeftButton);
        QTest::keyClick(msb, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(msb, QStringLiteral("5"));
        QTest::keyClick(msb, Qt::Key_Tab);
        bool loaded = false;
        ModalDriver::next([&](QDialog *dialog) {
            if (!linkHolds())
                return dialog->reject();
            instrument.command(QStringLiteral("dump"));
            auto *count = dialog->findChild<QLineEdit *>(QStringLiteral("count"));
            if (!QTest::qWaitFor([count] { return count->text() == QStringLiteral("162"); }, 10000))
                return dialog->reject();
            for (auto *button : dialog->findChildren<QPushButton *>())
                if (button->text() == QStringLiteral("Load")) {
                    loaded = true;
                    button->click();
                }
        });
        QTest::mouseClick(window.button(SkinLayout::Button::Receive), Qt::LeftButton);
        QVERIFY(loaded);
        QCOMPARE(msb->text(), QStringLiteral("064"));
        QVERIFY(ModalDriver::idle());
        QVERIFY(driverIsBack());
    }

    // Pulled out as block 40 arrives, while the program waits for the request of block 41: it
    // learns at once that the instrument is gone (exit 3), well within the reply timeout.
    void unplugMidTransferFailsAtOnce()
    {
        instrument.stop();
        QVERIFY(QTest::qWaitFor([this] { return !device().has_value(); }, 5000));
        QVERIFY(instrument.start({QStringLiteral("--unplug-after-block"), QStringLiteral("40")}));
        QVERIFY(driverIsBack(10000));
        const Run run = zorvikctl({QStringLiteral("send"), path(QStringLiteral("fw.bin")), QStringLiteral("--timeout"), QStringLiteral("20")});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.ms < 5000, qPrintable(QString::number(run.ms)));
        QVERIFY2(run.err.contains(QStringLiteral("Block 41 could not be sent")), qPrintable(run.err));
        instrument.stop();
        QVERIFY(instrument.start());
        QVERIFY(driverIsBack(10000));
    }
};

QTEST_MAIN(TestUsbInstrument)
#include "tst_UsbInstrument.moc"
