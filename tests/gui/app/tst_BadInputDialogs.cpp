// Long use must not grow the program: every dialog the main window opens is opened and closed
// 100 times, and afterwards there are exactly as many widgets and objects as after the first
// round. (Leaks of unowned memory are what the sanitizer build's leak check finds; this finds
// the other kind, dialogs and helpers that stay parented to the window and pile up.)
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiSystem.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/library/FileLibrary.h"
#include "gui/panel/LivePanel.h"
#include "support/FreshLibrary.h"
#include "support/ModalDriver.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QTest>

#include <functional>
#include <memory>

namespace {

constexpr int rounds = 100;

void closeNextDialog()
{
    ModalDriver::next([](QDialog *dialog) { dialog->reject(); });
}

} // namespace

class TestBadInputDialogs : public QObject
{
    Q_OBJECT

private:
    struct Counts
    {
        int widgets;
        int objects;
    };

    static Counts count(const QObject &window)
    {
        return {int(QApplication::allWidgets().size()), int(window.findChildren<QObject *>().size())};
    }

private slots:
    void everyDialogHundredTimes()
    {
        FreshLibrary data;
        QVERIFY(data.isReady());
        {
            QFile firmware(data.file(DataPaths::Folder::Bin, QStringLiteral("fw.bin")));
            QVERIFY(firmware.open(QIODevice::WriteOnly));
            firmware.write(QByteArray(3000, '\x31'));
        }

        SimulatedMidi midi;   // no system ports: the built-in simulator is all the dialogs need
        ScriptedPrompts prompts;
        MainWindow window(data.location(), prompts);
        auto *workspace = new Workspace(window, midi, midi.simulator(), prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        FileLibrary &library = workspace->library();
        library.showKind(FileKind::Firmware);
        library.fileList()->setCurrentRow(0);
        QCOMPARE(library.selectedEntry(), QStringLiteral("fw.bin"));   // the file the transfer step sends

        // Each step opens one dialog, which the driver closes as soon as it shows.
        const QList<std::pair<const char *, std::function<void()>>> steps{
            {"Set Device", [&] { window.openSetDevice(); }},
            {"Receive", [&] { window.receiveAndLoad(); }},
            {"curve editor", [&] { window.openCurveEditor(); }},
            {"About", [&] { window.openAbout(); }},
            {"file name prompt of Save", [&] {
                 prompts.queue(PromptService::Answer::Yes);   // "Save the current setting?"
                 prompts.queue(PromptService::Answer::No);    // "Send the setting to Zorvik now?"
                 window.saveAndSend();
             }},
            {"transfer", [&] {
                 library.showKind(FileKind::Firmware);   // Save switched the library to templates
                 library.fileList()->setCurrentRow(0);
                 prompts.queue(PromptService::Answer::Yes);   // "This file will be sent ..."
                 library.sendSelected();
             }},
        };
        bool allShown = true;
        const auto oneRound = [&] {
            for (const auto &[name, open] : steps) {
                closeNextDialog();
                open();
                if (!ModalDriver::idle()) {
                    qWarning("the %s dialog did not show", name);
                    allShown = false;
                    return;
                }
            }
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QApplication::processEvents();
        };

        oneRound();   // first openings may make what lasts for the whole run
        QVERIFY(allShown);
        QVERIFY(prompts.asked.size() >= 1);
        const Counts first = count(window);
        for (int i = 1; i < rounds && allShown; ++i)
            oneRound();
        QVERIFY(allShown);
        const Counts last = count(window);
        QCOMPARE(last.widgets, first.widgets);
        QCOMPARE(last.objects, first.objects);
        // No dialog kept the input; the live panel took it back once they let go.
        QVERIFY(!midi.capture().isBusy());
        QTRY_VERIFY(workspace->live().isListening());
    }
};

QTEST_MAIN(TestBadInputDialogs)
#include "tst_BadInputDialogs.moc"
