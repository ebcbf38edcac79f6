#include "core/midi/DeviceLock.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/InstrumentSimulator.h"
#include "gui/library/FileLibrary.h"
#include "gui/library/ReceiveDialog.h"
#include "gui/library/TransferDialog.h"
#include "gui/library/TransferDialogModel.h"
#include "gui/widgets/MessageBoxPrompts.h"
#include "gui/widgets/PercentProgress.h"
#include "support/FakePorts.h"
#include "support/FreshLibrary.h"
#include "support/InstrumentMessage.h"
#include "support/MidiDeviceText.h"
#include "support/ModalDriver.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"
#include "support/TestFiles.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSpinBox>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <memory>

#include <sys/stat.h>

using TestFiles::writeFile;
using TestFiles::readFile;

namespace {

QByteArray randomImage(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return bytes;
}

} // namespace

class TestLibraryDialogs : public QObject
{
    Q_OBJECT

private:
    FreshLibrary data;
    std::unique_ptr<SimulatedMidi> midi;

private slots:
    void init()
    {
        QVERIFY(data.renew());
        midi = std::make_unique<SimulatedMidi>();
    }
    void cleanup() { midi.reset(); }

    void firmwareLandsByteIdentical()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
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

    void statusLineFitsItsWindow()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
        QLabel *status = dialog.statusLine();
        // Every line shows whole: the label holds its text, and the window holds the label.
        const auto fits = [&] {
            const QRect room = status->contentsRect();
            const int flags = int(status->alignment()) | (status->wordWrap() ? int(Qt::TextWordWrap) : 0);
            const QRect needed = status->fontMetrics().boundingRect(room, flags, status->text());
            return room.contains(needed) && dialog.rect().contains(status->geometry());
        };
        dialog.prepare(FileKind::Template, readFile(QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx")));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(fits());
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QCOMPARE(status->text(), QStringLiteral("Succeed in sending, you can exit or send again!"));
        QTRY_VERIFY(fits());
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
            dialog.grab().save(shots + QStringLiteral("/transfer-done.png"));

        // A longer line, after an instrument that stopped answering.
        dialog.closeButton()->click();
        dialog.prepare(FileKind::Song, randomImage(5000));
        dialog.show();
        midi->simulator().faults.stopAfterBlock = 1;
        dialog.driver().session().setReplyTimeout(200);
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), TransferDialogModel::timeoutStatus(), 5000);
        QTRY_VERIFY(fits());
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
            dialog.grab().save(shots + QStringLiteral("/transfer-silent.png"));
    }

    void templateGoesToTheChosenMemory()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
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
        QTemporaryDir runtime;
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
        // One output, listed but never opened: the wait for it is all this needs.
        SimulatedMidi system(std::make_unique<FakePorts>(QStringList{QStringLiteral("Synth")}, QStringList()));
        DeviceLock other(system.ports().systemPorts().place() + QStringLiteral("\nSynth"));
        QVERIFY(other.tryAcquire());
        system.devices().use(MidiDevice::system(0), MidiDevice::builtIn());
        ScriptedPrompts prompts;
        TransferDialog dialog(system.ports(), system.devices(), system.capture(), prompts);
        dialog.prepare(FileKind::Firmware, randomImage(5000));
        dialog.driver().session().setReplyTimeout(500);
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QCOMPARE(dialog.statusLine()->text(), TransferDialogModel::waitingStatus());
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
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
        midi->simulator().faults.stopAfterBlock = 2;
        dialog.prepare(FileKind::Song, randomImage(8000));
        dialog.driver().session().setReplyTimeout(300);
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.statusLine()->text(), TransferDialogModel::timeoutStatus(), 5000);
        QVERIFY(dialog.sendButton()->isEnabled() && dialog.closeButton()->isEnabled());
        QVERIFY(!midi->capture().isOpen());

        // Closing and opening again starts a fresh transfer that completes.
        dialog.closeButton()->click();
        midi->simulator().faults.stopAfterBlock = -1;
        const QByteArray image = randomImage(5000);
        dialog.prepare(FileKind::Song, image);
        dialog.show();
        QCOMPARE(dialog.statusLine()->text(), TransferDialogModel::openingStatus());
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(midi->simulator().lastTransfer().complete, 5000);
        QCOMPARE(midi->simulator().lastTransfer().image, image);
    }

    // A firmware update waits longer for the instrument to get ready (it may erase its memory
    // first) than for each next block, and says what it waits for. Times are scaled down: a
    // ready wait of 1.5 s, 300 ms between blocks.
    void firmwareWaitsLongerForReadyThanBetweenBlocks()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
        const auto clear = qScopeGuard([this] { midi->simulator().faults = {}; });
        midi->simulator().faults.readyDelayMs = 800;   // longer than a block may take
        const QByteArray image = randomImage(5000);
        dialog.prepare(FileKind::Firmware, image);
        dialog.driver().session().setReplyTimeout(300);
        dialog.driver().session().setReadyTimeout(1500);
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QCOMPARE(dialog.statusLine()->text(), TransferDialogModel::readyWaitStatus());
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
            dialog.grab().save(shots + QStringLiteral("/transfer-ready-wait.png"));
        QTRY_VERIFY2_WITH_TIMEOUT(midi->simulator().lastTransfer().complete, qPrintable(dialog.statusLine()->text()), 5000);
        QCOMPARE(midi->simulator().lastTransfer().image, image);

        // Between blocks, the short wait still ends a silent instrument's transfer.
        midi->simulator().faults.readyDelayMs = 0;
        midi->simulator().faults.stopAfterBlock = 1;
        dialog.closeButton()->click();
        dialog.prepare(FileKind::Firmware, image);
        dialog.driver().session().setReplyTimeout(300);
        dialog.driver().session().setReadyTimeout(1500);
        dialog.show();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.statusLine()->text(), TransferDialogModel::timeoutStatus(), 5000);
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));

        // And an instrument that never gets ready is waited for the whole ready wait.
        midi->simulator().faults.stopAfterBlock = -1;
        midi->simulator().faults.dropReply = 1;
        dialog.closeButton()->click();
        dialog.prepare(FileKind::Firmware, image);
        dialog.driver().session().setReplyTimeout(300);
        dialog.driver().session().setReadyTimeout(1500);
        dialog.show();
        clock.restart();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.statusLine()->text(), TransferDialogModel::timeoutStatus(), 5000);
        QVERIFY2(clock.elapsed() >= 1400, qPrintable(QString::number(clock.elapsed())));
    }

    void closingMidTransferStopsListening()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
        midi->simulator().faults.replyDelayMs = 50;
        dialog.prepare(FileKind::Csf, randomImage(20000));
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(dialog.driver().session().blocksSent() > 0);
        dialog.close();   // the close box; the question is answered Yes
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, TransferDialog::stopQuestion);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!midi->capture().isOpen());
        QCOMPARE(dialog.driver().session().state(), TransferSession::State::Ready);
    }

    // Esc and the close box stop a running firmware update only after the user agreed to.
    void stoppingATransferAsksFirst()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
        midi->simulator().faults.replyDelayMs = 20;
        const QByteArray image = randomImage(20000);   // 23 blocks once packed
        dialog.prepare(FileKind::Firmware, image);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(dialog.driver().session().blocksSent() >= 4);
        QCOMPARE(dialog.driver().session().blockCount(), 23);

        prompts.queue(PromptService::Answer::No);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        prompts.queue(PromptService::Answer::No);
        QVERIFY(!dialog.close());
        QCOMPARE(prompts.asked.size(), 2);
        for (const auto &asked : prompts.asked) {
            QCOMPARE(asked.text, QStringLiteral("Stop sending? The instrument keeps only part of the file; a firmware "
                                                "update must then be sent again."));
            QCOMPARE(asked.buttons, PromptService::Buttons::YesNo);
        }
        // The update went on and arrived whole.
        QVERIFY(dialog.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(midi->simulator().lastTransfer().complete, 10000);
        QCOMPARE(midi->simulator().lastTransfer().image, image);
        // Finished, Esc closes without a question.
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(prompts.asked.size(), 2);

        // Yes stops it where it is.
        prompts.asked.clear();
        dialog.prepare(FileKind::Firmware, image);
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(dialog.driver().session().blocksSent() >= 2);
        prompts.queue(PromptService::Answer::Yes);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(!midi->simulator().lastTransfer().complete);
    }

    // The keys that open the stop question must not also answer it: in the real message box
    // Enter and Esc both answer No, and the update arrives whole.
    void stopQuestionDefaultsToNo()
    {
        MessageBoxPrompts prompts;
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
        midi->simulator().faults.replyDelayMs = 20;
        const QByteArray image = randomImage(20000);
        dialog.prepare(FileKind::Firmware, image);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(dialog.driver().session().blocksSent() >= 2);

        QStringList texts;
        QStringList defaults;
        for (Qt::Key answer : {Qt::Key_Return, Qt::Key_Escape}) {
            ModalDriver::next([&texts, &defaults, answer](QDialog *box) {
                auto *question = qobject_cast<QMessageBox *>(box);
                texts << question->text();
                defaults << (question->defaultButton() ? question->defaultButton()->text() : QString());
                QTest::keyClick(box, answer);
            });
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QTRY_VERIFY(ModalDriver::idle());
            QVERIFY(dialog.isVisible());
        }
        QCOMPARE(texts, QStringList(2, TransferDialog::stopQuestion));
        QCOMPARE(defaults, QStringList(2, QStringLiteral("&No")));
        QTRY_VERIFY_WITH_TIMEOUT(midi->simulator().lastTransfer().complete, 10000);
        QCOMPARE(midi->simulator().lastTransfer().image, image);
    }

    void missingInputDeviceClosesTheDialog()
    {
        ScriptedPrompts prompts;
        TransferDialog dialog(midi->ports(), midi->devices(), midi->capture(), prompts);
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(41));
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
        ReceiveDialog dialog(midi->ports(), midi->devices(), midi->capture(), data.location(), prompts);
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
        QCOMPARE(readFile(data.path(QStringLiteral("syx/abc.syx"))), dump);

        // A count that would cut the template is refused: only a whole one is saved.
        dialog.countEdit()->selectAll();
        QTest::keyClicks(dialog.countEdit(), QStringLiteral("20"));
        dialog.saveButton()->click();
        QCOMPARE(prompts.asked.last().text, QStringLiteral("These 20 bytes are not a whole template: it was cut off after "
                                                           "20 bytes. Nothing was saved."));
        QCOMPARE(dialog.statusText()->text(), QStringLiteral("Save err,  please entern file name!"));
        QCOMPARE(readFile(data.path(QStringLiteral("syx/abc.syx"))), dump);

        // Saving again asks; No writes nothing.
        dialog.countEdit()->setText(QStringLiteral("162"));
        prompts.queue(PromptService::Answer::No);
        dialog.saveButton()->click();
        QCOMPARE(dialog.statusText()->text(), QStringLiteral("Save err,  please entern file name!"));
        QCOMPARE(readFile(data.path(QStringLiteral("syx/abc.syx"))), dump);

        dialog.countEdit()->setText(QStringLiteral("162"));
        dialog.loadButton()->click();
        QVERIFY(dialog.loadRequested());
        QCOMPARE(dialog.dumpToLoad(), dump);
        QVERIFY(!QFile::exists(data.path(QStringLiteral("syx/kovat.dat"))));
        QVERIFY(!midi->capture().isOpen());
    }

    // A dump cut by the input buffer, or shorter than a template's frame, is neither saved nor
    // loaded: the dialog says what arrived and offers only to listen again.
    void cutOrShortDumpsAreNotOffered()
    {
        ScriptedPrompts prompts;
        ReceiveDialog dialog(midi->ports(), midi->devices(), midi->capture(), data.location(), prompts);
        QVERIFY(dialog.setUp());
        dialog.show();
        emit midi->simulator().reply(startsLikeADump(10000));
        QTRY_COMPARE(dialog.countEdit()->text(), QStringLiteral("256"));
        QVERIFY(!midi->capture().isOpen());
        QCOMPARE(dialog.statusText()->text(), QStringLiteral("What arrived is not a whole template: it was cut off "
                                                             "after 256 bytes. Click \"Receive\" to listen again."));
        QVERIFY(!dialog.saveButton()->isEnabled());
        QVERIFY(!dialog.loadButton()->isEnabled());
        QVERIFY(dialog.receiveButton()->isEnabled());

        QTest::mouseClick(dialog.receiveButton(), Qt::LeftButton);
        emit midi->simulator().reply(startsLikeADump(13));
        QTRY_COMPARE(dialog.countEdit()->text(), QStringLiteral("13"));
        QVERIFY(dialog.statusText()->text().startsWith(
            QStringLiteral("What arrived is not a whole template: it holds only 13 bytes.")));
        QVERIFY(!dialog.saveButton()->isEnabled() && !dialog.loadButton()->isEnabled());

        // A whole dump after them is offered as before.
        QTest::mouseClick(dialog.receiveButton(), Qt::LeftButton);
        midi->simulator().sendDump();
        QTRY_VERIFY(dialog.saveButton()->isEnabled());
        QVERIFY(dialog.loadButton()->isEnabled());
        QVERIFY(prompts.asked.isEmpty());

        // Saved under the name of a pipe: refused before the replace question, the pipe kept.
        QCOMPARE(::mkfifo(QFile::encodeName(data.path(QStringLiteral("syx/pipe.syx"))).constData(), 0600), 0);
        QTest::keyClicks(dialog.fileNameEdit(), QStringLiteral("pipe"));
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Cannot save \"pipe.syx\": it exists and is not a regular "
                                                            "file, so it is left as it is."));
        QCOMPARE(dialog.statusText()->text(), QStringLiteral("Save err,  please entern file name!"));
        QVERIFY(!QFileInfo(data.path(QStringLiteral("syx/pipe.syx"))).isFile());
    }

    void libraryMenusAndDelete()
    {
        ScriptedPrompts prompts;
        QWidget host;
        TransferDialog transfer(midi->ports(), midi->devices(), midi->capture(), prompts);
        writeFile(data.path(QStringLiteral("bin/a.bin")), "1234567");
        writeFile(data.path(QStringLiteral("bin/B.BIN")), "1234567");
        FileLibrary library(&host, data.location(), prompts, transfer);
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
        QVERIFY(QFile::exists(data.path(QStringLiteral("bin/B.BIN"))));
        prompts.queue(PromptService::Answer::Yes);
        library.deleteSelected();
        QVERIFY(!QFile::exists(data.path(QStringLiteral("bin/B.BIN"))));
        QCOMPARE(library.fileList()->count(), 1);
    }

    // Delete from the list's menu names the file, and Enter in its question keeps the file.
    void deleteNamesTheFileAndDefaultsToNo()
    {
        MessageBoxPrompts prompts;
        QWidget host;
        host.resize(300, 300);
        TransferDialog transfer(midi->ports(), midi->devices(), midi->capture(), prompts);
        writeFile(data.path(QStringLiteral("mid/keep.mid")), "MThd");
        FileLibrary library(&host, data.location(), prompts, transfer);
        library.fileList()->setGeometry(0, 0, 200, 200);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QListWidget *list = library.fileList();
        QCOMPARE(list->count(), 1);

        // Double click the entry, choose Delete in its menu, answer the question with a key.
        QString asked;
        const auto deleteWith = [&](Qt::Key answer) {
            asked.clear();
            QTimer::singleShot(50, [] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                QVERIFY(menu);
                for (QAction *action : menu->actions()) {
                    if (action->text() == QStringLiteral("&Delete"))
                        menu->setActiveAction(action);
                }
                QTest::keyClick(menu, Qt::Key_Return);
            });
            ModalDriver::next([&asked, answer](QDialog *box) {
                asked = qobject_cast<QMessageBox *>(box)->text();
                // For a person to look at: ZORVIK_SCREENSHOTS names the folder.
                const QString folder = qEnvironmentVariable("ZORVIK_SCREENSHOTS");
                if (!folder.isEmpty() && answer == Qt::Key_Return) {
                    QTest::qWait(50);
                    box->grab().save(folder + QStringLiteral("/library-delete-question.png"));
                }
                QTest::keyClick(box, answer);
            });
            // As the window system delivers a double click: press, release, double-click press.
            const QPoint at = list->visualItemRect(list->item(0)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            QTRY_VERIFY(ModalDriver::idle());
        };
        deleteWith(Qt::Key_Return);
        QCOMPARE(asked, QStringLiteral("\"keep.mid\"\nThis file will be deleted! Are you sure? "));
        QVERIFY(QFile::exists(data.path(QStringLiteral("mid/keep.mid"))));
        deleteWith(Qt::Key_Escape);
        QVERIFY(QFile::exists(data.path(QStringLiteral("mid/keep.mid"))));
        deleteWith(Qt::Key_Y);   // Yes by its key
        QVERIFY(!QFile::exists(data.path(QStringLiteral("mid/keep.mid"))));
        QCOMPARE(list->count(), 0);
    }

    void songSelectionShowsMarkers()
    {
        ScriptedPrompts prompts;
        QWidget host;
        TransferDialog transfer(midi->ports(), midi->devices(), midi->capture(), prompts);
        QByteArray song("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x14\0\xFF\x06\x05Intro\0\xFF\x06\x03" "End\0\xFF\x2F\0", 42);
        writeFile(data.path(QStringLiteral("mid/song.mid")), song);
        FileLibrary library(&host, data.location(), prompts, transfer);
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

        // A song that is a device is not read: the list stays as it was and nothing waits.
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), data.path(QStringLiteral("mid/zero.mid"))));
        library.refill();
        library.fileList()->setCurrentItem(library.fileList()->findItems("zero.mid", Qt::MatchExactly).value(0));
        QCOMPARE(library.selectedEntry(), QStringLiteral("zero.mid"));
        QCOMPARE(library.markerList()->count(), 4);
        library.fileList()->setCurrentItem(library.fileList()->findItems("song.mid", Qt::MatchExactly).value(0));

        // Answering No to the confirmation opens no transfer.
        prompts.queue(PromptService::Answer::No);
        library.sendSelected();
        QCOMPARE(prompts.asked.last().text, QStringLiteral("This file will be sent to midi device. Are you sure?\r\n"));
        QVERIFY(midi->simulator().received().isEmpty());
    }

    void libraryFollowsTheFolder()
    {
        ScriptedPrompts prompts;
        QWidget host;
        TransferDialog transfer(midi->ports(), midi->devices(), midi->capture(), prompts);
        writeFile(data.path(QStringLiteral("syx/a.syx")), "a");
        writeFile(data.path(QStringLiteral("syx/b.syx")), "b");
        FileLibrary library(&host, data.location(), prompts, transfer);
        QCOMPARE(library.fileList()->toolTip(),
                 QStringLiteral("Library: ") + QDir::toNativeSeparators(data.outside(QStringLiteral("zorvik"))));
        QCOMPARE(library.typeBox()->toolTip(), library.fileList()->toolTip());
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty()) {
            host.resize(400, 300);
            library.fileList()->setGeometry(10, 40, 200, 200);
            host.show();
            QVERIFY(QTest::qWaitForWindowExposed(&host));
            QToolTip::showText(library.fileList()->mapToGlobal(QPoint(20, 20)), library.fileList()->toolTip(),
                               library.fileList());
            QTRY_VERIFY(QToolTip::isVisible());
            for (QWidget *top : QApplication::topLevelWidgets())
                if (top->inherits("QTipLabel") && top->isVisible())
                    top->grab().save(shots + QStringLiteral("/library-tooltip.png"));
            QToolTip::hideText();
        }
        QStringList loaded;
        connect(&library, &FileLibrary::loadTemplateRequested, this, [&loaded](const QString &entry) { loaded << entry; });
        const auto names = [&library] {
            QStringList shown;
            for (int i = 0; i < library.fileList()->count(); ++i)
                shown << library.fileList()->item(i)->text();
            shown.sort();
            return shown;
        };
        library.showKind(FileKind::Template);
        QListWidget *list = library.fileList();
        list->setCurrentRow(list->row(list->findItems("a.syx", Qt::MatchExactly).first()));

        // Added, renamed and removed by another program: the list follows, the selection stays.
        writeFile(data.path(QStringLiteral("syx/c.syx")), "c");
        QTRY_COMPARE(names(), QStringList({"a.syx", "b.syx", "c.syx"}));
        QCOMPARE(library.selectedEntry(), QStringLiteral("a.syx"));
        QVERIFY(QFile::rename(data.path(QStringLiteral("syx/b.syx")), data.path(QStringLiteral("syx/d.syx"))));
        QTRY_COMPARE(names(), QStringList({"a.syx", "c.syx", "d.syx"}));
        QCOMPARE(library.selectedEntry(), QStringLiteral("a.syx"));
        QVERIFY(QFile::remove(data.path(QStringLiteral("syx/a.syx"))));
        QTRY_COMPARE(names(), QStringList({"c.syx", "d.syx"}));

        // Removed after the list last looked: Load says what happened, never "mangled", and the
        // list catches up at once.
        list->setCurrentRow(list->row(list->findItems("c.syx", Qt::MatchExactly).first()));
        QVERIFY(QFile::remove(data.path(QStringLiteral("syx/c.syx"))));
        library.run(FileLibrary::Command::Load);
        QVERIFY(loaded.isEmpty());
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.last().text,
                 QStringLiteral("\"c.syx\" is no longer in the library: it was renamed, moved or deleted."));
        QCOMPARE(names(), QStringList({"d.syx"}));
        library.fileList()->setCurrentRow(0);
        library.run(FileLibrary::Command::Load);
        QCOMPARE(loaded, QStringList({"d.syx"}));

        // A kind folder made after the start is watched from then on.
        QVERIFY(QDir(data.path(QStringLiteral("bin"))).removeRecursively());
        library.showKind(FileKind::Firmware);
        QCOMPARE(library.fileList()->count(), 0);
        QVERIFY(QDir().mkpath(data.path(QStringLiteral("bin"))));
        writeFile(data.path(QStringLiteral("bin/fw.bin")), "1234567");
        QTRY_COMPARE(library.fileList()->count(), 1);

        // A folder too full to list says so once, not at every change that follows.
        for (int i = 0; i < 300; ++i)
            writeFile(data.path(QStringLiteral("bin/%1.bin").arg(i)), "1");
        QTRY_COMPARE(library.fileList()->count(), 0);
        QTRY_COMPARE(prompts.asked.size(), 2);
        QCOMPARE(prompts.asked.last().text, QStringLiteral("The file name is excess!"));
        writeFile(data.path(QStringLiteral("bin/one-more.bin")), "1");
        QTest::qWait(500);
        QCOMPARE(prompts.asked.size(), 2);
        // Choosing the kind again is a request to list it: the reason is given again.
        library.showKind(FileKind::Firmware);
        QCOMPARE(prompts.asked.size(), 3);
    }

    // The marker list shows the selected song's markers, and none once no song is selected.
    void markersGoWithTheirSong()
    {
        ScriptedPrompts prompts;
        QWidget host;
        TransferDialog transfer(midi->ports(), midi->devices(), midi->capture(), prompts);
        QByteArray song("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0B\0\xFF\x06\x03" "End\0\xFF\x2F\0", 33);
        writeFile(data.path(QStringLiteral("mid/song.mid")), song);
        writeFile(data.path(QStringLiteral("syx/t.syx")), "t");
        FileLibrary library(&host, data.location(), prompts, transfer);
        library.fileList()->setCurrentRow(0);
        QCOMPARE(library.markerList()->count(), 3);

        // Another kind chosen: its files have no markers, and no song is selected any more.
        library.typeBox()->setCurrentIndex(1);
        QCOMPARE(library.kind(), FileKind::Template);
        QCOMPARE(library.markerList()->count(), 0);
        library.fileList()->setCurrentRow(0);
        QCOMPARE(library.markerList()->count(), 0);
        library.typeBox()->setCurrentIndex(0);
        QCOMPARE(library.markerList()->count(), 0);
        library.fileList()->setCurrentRow(0);
        QCOMPARE(library.markerList()->count(), 3);

        // The list emptied by a delete: no song, no markers.
        prompts.queue(PromptService::Answer::Yes);
        library.deleteSelected();
        QCOMPARE(library.fileList()->count(), 0);
        QCOMPARE(library.markerList()->count(), 0);
    }

    void removedSongTakesItsMarkers()
    {
        ScriptedPrompts prompts;
        QWidget host;
        TransferDialog transfer(midi->ports(), midi->devices(), midi->capture(), prompts);
        QByteArray song("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0B\0\xFF\x06\x03" "End\0\xFF\x2F\0", 33);
        writeFile(data.path(QStringLiteral("mid/song.mid")), song);
        FileLibrary library(&host, data.location(), prompts, transfer);
        library.fileList()->setCurrentRow(0);
        QVERIFY(library.markerList()->count() > 0);
        QVERIFY(QFile::remove(data.path(QStringLiteral("mid/song.mid"))));
        QTRY_COMPARE(library.fileList()->count(), 0);
        QCOMPARE(library.markerList()->count(), 0);
        QVERIFY(prompts.asked.isEmpty());
    }
};

QTEST_MAIN(TestLibraryDialogs)
#include "tst_LibraryDialogs.moc"
