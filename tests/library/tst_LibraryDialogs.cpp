#include "app/DeviceChoice.h"
#include "app/ScriptedPrompts.h"
#include "library/FileLibrary.h"
#include "library/ReceiveDialog.h"
#include "library/TransferDialog.h"
#include "midi/DeviceLock.h"
#include "midi/MidiInCapture.h"
#include "midi/MidiPortBackend.h"
#include "midi/MidiSystem.h"
#include "sim/InstrumentSimulator.h"
#include "support/FreshLibrary.h"
#include "support/ModalDriver.h"
#include "widgets/PercentProgress.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray randomImage(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLibraryDialogs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir root;
    std::unique_ptr<MidiSystem> midi;

private slots:
    void init()
    {
        QVERIFY(makeFreshLibrary(root.path()));
        DeviceChoice::resetToDefaults();
        midi = std::make_unique<MidiSystem>();
    }
    void cleanup() { midi.reset(); }

    void firmwareLandsByteIdentical()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(*midi, prompts);
        const QByteArray image = randomImage(300 * 1024);
        dialog.prepare(FileKind::Firmware, image);
        QVERIFY(!dialog.numberBox()->isVisibleTo(&dialog));
        QCOMPARE(dialog.statusLine()->text(), QStringLiteral("Click the  \" Send \" button to send file!"));
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QVERIFY(!dialog.closeButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(midi->simulator().lastTransfer().complete, 20000);
        QCOMPARE(midi->simulator().lastTransfer().image, image);
        QCOMPARE(midi->simulator().lastTransfer().command, 0x04);
        QCOMPARE(dialog.statusLine()->text(), QStringLiteral("Succeed in sending, you can exit!"));
        QCOMPARE(dialog.progress()->pos(), dialog.progress()->upper());
        QVERIFY(dialog.closeButton()->isEnabled() && dialog.sendButton()->isEnabled());
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(prompts.asked.isEmpty());
    }

    void templateGoesToTheChosenMemory()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(*midi, prompts);
        const QByteArray image = readFile(QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx"));
        dialog.prepare(FileKind::Template, image);
        QCOMPARE(dialog.numberBox()->maximum(), 8);
        dialog.numberBox()->setValue(6);
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(!midi->simulator().templateMemory(6).isEmpty());
        QByteArray expected = image;
        expected[9] = 6;
        QCOMPARE(midi->simulator().received().last(), expected);
        QCOMPARE(dialog.closeButton()->text(), QStringLiteral("Ok"));
    }

    // Another transfer (another program) holds the output device: Send waits for it with the
    // window working (Cancel ends the wait), and when it stays busy the status line says so.
    void busyDeviceKeepsTheDialogWorking()
    {
        class OnePort : public MidiPortBackend
        {
        public:
            QStringList outputNames() override { return {QStringLiteral("Synth")}; }
            QStringList inputNames() override { return {}; }
            std::unique_ptr<MidiOutputPort> openOutput(int, QString *) override { return nullptr; }
            std::unique_ptr<MidiInputPort> openInput(int, MidiInputPort::Receiver, QString *) override { return nullptr; }
        };
        QTemporaryDir runtime;
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
        DeviceLock other(QStringLiteral("\nSynth"));
        QVERIFY(other.tryAcquire());
        MidiSystem system(std::make_unique<OnePort>());
        DeviceChoice::midiOut = 0;
        ScriptedPrompts prompts;
        TransferDialog dialog(system, prompts);
        dialog.prepare(FileKind::Firmware, randomImage(5000));
        dialog.driver().session().setReplyTimeout(500);
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QCOMPARE(dialog.statusLine()->text(), TransferSession::waitingStatus());
        QVERIFY(!dialog.sendButton()->isEnabled() && dialog.closeButton()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(dialog.statusLine()->text(), QStringLiteral("the device is busy with another transfer"), 10000);
        QVERIFY(dialog.sendButton()->isEnabled());

        dialog.driver().session().setReplyTimeout(60000);
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QVERIFY(dialog.driver().busy());
        QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.driver().busy());
        QVERIFY(prompts.asked.isEmpty());
    }

    void silentInstrumentEndsTheWait()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(*midi, prompts);
        midi->simulator().faults.stopAfterBlock = 2;
        dialog.prepare(FileKind::Song, randomImage(8000));
        dialog.driver().session().setReplyTimeout(300);
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.statusLine()->text(), TransferSession::timeoutStatus(), 5000);
        QVERIFY(dialog.sendButton()->isEnabled() && dialog.closeButton()->isEnabled());
        QVERIFY(!midi->capture().isOpen());

        // Closing and opening again starts a fresh transfer that completes.
        dialog.closeButton()->click();
        midi->simulator().faults.stopAfterBlock = -1;
        const QByteArray image = randomImage(5000);
        dialog.prepare(FileKind::Song, image);
        dialog.show();
        QCOMPARE(dialog.statusLine()->text(), TransferSession::openingStatus());
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(midi->simulator().lastTransfer().complete, 5000);
        QCOMPARE(midi->simulator().lastTransfer().image, image);
    }

    void closingMidTransferStopsListening()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(*midi, prompts);
        midi->simulator().faults.replyDelayMs = 50;
        dialog.prepare(FileKind::Csf, randomImage(20000));
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(dialog.driver().session().blocksSent() > 0);
        dialog.close();
        QVERIFY(!midi->capture().isOpen());
        QCOMPARE(dialog.driver().session().state(), TransferSession::State::Ready);
    }

    void missingInputDeviceClosesTheDialog()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(*midi, prompts);
        DeviceChoice::midiIn = 42;
        dialog.prepare(FileKind::Song, randomImage(100));
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("There are no MIDI input devices!"));
        QVERIFY(midi->simulator().received().isEmpty());
    }

    void receiveSaveAndLoad()
    {
        ScriptedPrompts prompts;
        ReceiveDialog dialog(*midi, prompts);
        QVERIFY(dialog.setUp());
        dialog.show();
        QVERIFY(!dialog.saveButton()->isEnabled());
        // A foreign SysEx (a curve message) is ignored; the dump after it is taken.
        QByteArray curve(141, '\0');
        curve[0] = char(0xF0);
        curve[2] = 0x20;
        curve[3] = 0x63;
        curve[7] = 0x05;
        curve[140] = char(0xF7);
        emit midi->simulator().reply(curve);
        midi->simulator().sendDump();
        QTRY_VERIFY(dialog.saveButton()->isEnabled());
        QCOMPARE(dialog.countEdit()->text(), QStringLiteral("162"));
        const QByteArray dump = dialog.receiver().dump();
        QCOMPARE(dump, midi->simulator().currentTemplate());

        // An empty name is refused with the message and the status line.
        dialog.saveButton()->click();
        QCOMPARE(prompts.asked.last().text, QStringLiteral("Please enter the file name."));
        QCOMPARE(dialog.statusText()->text(), QStringLiteral("Have't the file name, please entern file name!"));

        // A count larger than what arrived writes what arrived.
        dialog.fileNameEdit()->setText(QStringLiteral("abc"));
        dialog.countEdit()->setText(QStringLiteral("9999"));
        dialog.saveButton()->click();
        QCOMPARE(dialog.statusText()->text(), QStringLiteral("Save success !!!"));
        QCOMPARE(readFile(QStringLiteral("zorvik/syx/abc.syx")), dump);

        // Saving again asks; No writes nothing.
        dialog.countEdit()->setText(QStringLiteral("20"));
        prompts.queue(PromptService::Answer::No);
        dialog.saveButton()->click();
        QCOMPARE(dialog.statusText()->text(), QStringLiteral("Save err,  please entern file name!"));
        QCOMPARE(readFile(QStringLiteral("zorvik/syx/abc.syx")), dump);

        dialog.countEdit()->setText(QStringLiteral("162"));
        dialog.loadButton()->click();
        QVERIFY(dialog.loadRequested());
        QCOMPARE(dialog.dumpToLoad(), dump);
        QVERIFY(!QFile::exists(QStringLiteral("zorvik/syx/kovat.dat")));
        QVERIFY(!midi->capture().isOpen());
    }

    void longDumpIsCutToOneBuffer()
    {
        ScriptedPrompts prompts;
        ReceiveDialog dialog(*midi, prompts);
        QVERIFY(dialog.setUp());
        QByteArray big(10000, '\x01');
        big[0] = char(0xF0);
        big[2] = 0x20;
        big[3] = 0x63;
        big[7] = 0x03;
        big[9999] = char(0xF7);
        emit midi->simulator().reply(big);
        QTRY_COMPARE(dialog.countEdit()->text(), QStringLiteral("256"));
        QVERIFY(!midi->capture().isOpen());
    }

    void libraryMenusAndDelete()
    {
        ScriptedPrompts prompts;
        QWidget host;
        TransferDialog transfer(*midi, prompts);
        writeFile(QStringLiteral("zorvik/bin/a.bin"), "1234567");
        writeFile(QStringLiteral("zorvik/bin/B.BIN"), "1234567");
        FileLibrary library(&host, prompts, transfer);
        QCOMPARE(library.kind(), FileKind::Song);
        library.typeBox()->setCurrentIndex(3);
        QCOMPARE(library.kind(), FileKind::Firmware);
        QCOMPARE(library.fileList()->count(), 2);

        std::unique_ptr<QMenu> menu(library.buildMenu(FileKind::Firmware, &host));
        QStringList items;
        for (QAction *action : menu->actions())
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(items, QStringList({"&Load", "&Send", "-", "&Delete", "-", "&Cancel"}));
        QVERIFY(!menu->actions().first()->isEnabled());

        // B.BIN is listed but refused: the extension check is exact.
        library.fileList()->setCurrentRow(library.fileList()->row(library.fileList()->findItems("B.BIN", Qt::MatchExactly).first()));
        library.sendSelected();
        QCOMPARE(prompts.asked.last().text, QStringLiteral("The File Must be *.bin!"));

        // Delete asks first; No keeps the file.
        prompts.queue(PromptService::Answer::No);
        library.deleteSelected();
        QVERIFY(QFile::exists(QStringLiteral("zorvik/bin/B.BIN")));
        prompts.queue(PromptService::Answer::Yes);
        library.deleteSelected();
        QVERIFY(!QFile::exists(QStringLiteral("zorvik/bin/B.BIN")));
        QCOMPARE(library.fileList()->count(), 1);
    }

    void songSelectionShowsMarkers()
    {
        ScriptedPrompts prompts;
        QWidget host;
        TransferDialog transfer(*midi, prompts);
        QByteArray song("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x14\0\xFF\x06\x05Intro\0\xFF\x06\x03" "End\0\xFF\x2F\0", 42);
        writeFile(QStringLiteral("zorvik/mid/song.mid"), song);
        FileLibrary library(&host, prompts, transfer);
        library.fileList()->setCurrentRow(0);
        QStringList lines;
        for (int i = 0; i < library.markerList()->count(); ++i)
            lines << library.markerList()->item(i)->text();
        QCOMPARE(lines, QStringList({"The markers:", "   ", "Intro", "End"}));

        // MidiPlay hands the player the song list and the selected entry.
        PlayerInputs played;
        connect(&library, &FileLibrary::playRequested, this, [&played](const PlayerInputs &inputs) { played = inputs; });
        library.run(FileLibrary::Command::MidiPlay);
        QCOMPARE(played.playerMode, PlayerMode::MidiSongs);
        QCOMPARE(played.playerStartIndex, 0);

        // Answering No to the confirmation opens no transfer.
        prompts.queue(PromptService::Answer::No);
        library.sendSelected();
        QCOMPARE(prompts.asked.last().text, QStringLiteral("This file will be sent to midi device. Are you sure?\r\n"));
        QVERIFY(midi->simulator().received().isEmpty());
    }
};

QTEST_MAIN(TestLibraryDialogs)
#include "tst_LibraryDialogs.moc"
