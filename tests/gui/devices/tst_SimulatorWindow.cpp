// The built-in simulator's window: its buttons drive the simulator and it shows what it holds.
#include "core/sim/InstrumentSimulator.h"
#include "gui/devices/SimulatorWindow.h"
#include "support/SimulatedMidi.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

class TestSimulatorWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { midi = std::make_unique<SimulatedMidi>(); }

    void simulatorWindowDrivesAndShowsTheSimulator()
    {
        InstrumentSimulator &sim = midi->simulator();
        QList<QByteArray> replies;
        connect(&sim, &InstrumentSimulator::reply, this, [&](const QByteArray &b) { replies.append(b); });
        SimulatorWindow window(sim);
        window.findChild<QPushButton *>(QStringLiteral("sendDumpButton"))->click();
        window.findChild<QPushButton *>(QStringLiteral("playNoteButton"))->click();
        QCOMPARE(replies.size(), 2);
        QCOMPARE(replies.at(0).size(), 162);
        QCOMPARE(replies.at(1), QByteArray("\x90\x3C\x64", 3));
        QByteArray templ = sim.currentTemplate();
        templ[9] = 2;
        sim.receive(templ);
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("simulatorState"))->text().contains("memories: - 2 -"));
        QVERIFY(window.findChild<QPlainTextEdit *>(QStringLiteral("simulatorLog"))->toPlainText().contains("memory 2"));

        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty()) {
            window.show();
            window.grab().save(shots + "/simulator-window.png");
        }
    }

private:
    std::unique_ptr<SimulatedMidi> midi;
};

QTEST_MAIN(TestSimulatorWindow)
#include "tst_SimulatorWindow.moc"
