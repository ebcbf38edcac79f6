// The live panel in the real main window, offscreen, against the built-in simulator driven from
// its own window: what the instrument sends lights the controls it belongs to, the input is given
// up to a transfer and taken back after it, and the band menu's entry turns it off and on.
#include "core/midi/MidiInCapture.h"
#include "core/sim/InstrumentSimulator.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/devices/SimulatorWindow.h"
#include "gui/library/TransferDialog.h"
#include "gui/panel/ControlPicture.h"
#include "gui/panel/LivePanel.h"
#include "gui/panel/PanelEditor.h"
#include "gui/widgets/SkinResources.h"
#include "support/EditorRig.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct PaintCounter : QObject
{
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

} // namespace

class TestLivePanel : public QObject, EditorRig
{
    Q_OBJECT

private:
    LivePanel &live() { return workspace->live(); }
    ControlPicture *picture(int slot) { return workspace->panel().picture(slot); }

    SimulatorWindow *simulatorWindow()
    {
        window->openSimulator();
        return workspace->simulator();
    }

    // As a person does: select the spin box's text and type the number.
    static void typeInto(QSpinBox *box, int value)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::number(value));
        QCOMPARE(box->value(), value);
    }

    void sendController(int channel, int number, int value)
    {
        SimulatorWindow *sim = simulatorWindow();
        typeInto(sim->findChild<QSpinBox *>(QStringLiteral("channelBox")), channel);
        typeInto(sim->findChild<QSpinBox *>(QStringLiteral("controllerBox")), number);
        typeInto(sim->findChild<QSpinBox *>(QStringLiteral("controllerValueBox")), value);
        QTest::mouseClick(sim->findChild<QPushButton *>(QStringLiteral("sendControllerButton")), Qt::LeftButton);
    }

private slots:
    void init()
    {
        QVERIFY(openEditor());
        QTRY_VERIFY(live().isListening());
        // Lights stay until a test lets them go, however slow the machine.
        live().setHoldMs(3600 * 1000);
    }
    void cleanup() { closeEditor(); }

    // Knob 3 sends controller 72 on channel 1: its picture lights, its pointer turns to the
    // value, and it drops back by itself.
    void controllerLightsKnobThree()
    {
        ControlPicture *knob3 = picture(PanelSettings::Knob1 + 2);
        QCOMPARE(knob3->kind(), ControlPicture::Kind::Knob);
        const QImage before = knob3->grab().toImage();
        sendController(1, 72, 100);
        QTRY_VERIFY(knob3->isLive());
        QCOMPARE(knob3->live().value, 100);
        QCOMPARE(knob3->picture(), int(SkinResources::Knob3));   // its assigned mark is not touched
        // Another controller or channel lights nothing else.
        for (int slot = 0; slot < PanelSettings::slotCount; ++slot)
            QCOMPARE(picture(slot)->isLive(), slot == PanelSettings::Knob1 + 2);
        QVERIFY(knob3->grab().toImage() != before);
        // The pointer follows: 0 points to the lower left, 127 to the lower right.
        sendController(1, 72, 0);
        QTRY_COMPARE(knob3->live().value, 0);
        const QImage low = knob3->grab().toImage();
        sendController(1, 72, 127);
        QTRY_COMPARE(knob3->live().value, 127);
        QVERIFY(knob3->grab().toImage() != low);
        sendController(2, 72, 5);   // knob 3 listens on channel 1 only
        QTest::qWait(50);
        QCOMPARE(knob3->live().value, 127);
        live().setHoldMs(LivePanel::defaultHoldMs);
        QTRY_VERIFY_WITH_TIMEOUT(!knob3->isLive(), 5000);
        QCOMPARE(knob3->grab().toImage(), before);
    }

    // A pad glows with the velocity, the joystick's ball follows the bend, the pedal its
    // controller; the screenshot shows them together.
    void padJoystickAndPedal()
    {
        InstrumentSimulator &sim = midi->simulator();
        SimulatorWindow *simulator = simulatorWindow();
        typeInto(simulator->findChild<QSpinBox *>(QStringLiteral("bendBox")), -4096);
        QTest::mouseClick(simulator->findChild<QPushButton *>(QStringLiteral("sendBendButton")), Qt::LeftButton);
        QTest::mouseClick(simulator->findChild<QPushButton *>(QStringLiteral("playNoteButton")), Qt::LeftButton);
        sim.controlChange(5, 64, 90);
        sim.controlChange(1, 72, 100);
        ControlPicture *pad7 = picture(PanelSettings::Pad1 + 6);
        ControlPicture *stick = picture(PanelSettings::JoystickLeft);
        ControlPicture *pedal = picture(PanelSettings::Pedal);
        QTRY_VERIFY(pad7->isLive() && stick->isLive() && pedal->isLive());
        QCOMPARE(pad7->live().value, 100);   // note 60 (C3), velocity 100
        QCOMPARE(stick->live().stick, QPointF(-64 / 127.0, 0));
        QCOMPARE(pedal->live().value, 90);
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
            window->grab().save(shots + QStringLiteral("/live-panel.png"));
        sim.pitchBend(1, 8191);
        QTRY_COMPARE(stick->live().stick, QPointF(1, 0));
    }

    // A burst of controller changes is shown frame by frame, not message by message.
    void burstIsCoalesced()
    {
        ControlPicture *knob3 = picture(PanelSettings::Knob1 + 2);
        PaintCounter paints;
        knob3->installEventFilter(&paints);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 400; ++i) {
            midi->simulator().controlChange(1, 72, i % 128);
            QCoreApplication::processEvents();   // every message on its own turn of the loop
        }
        QTRY_COMPARE(knob3->live().value, 399 % 128);
        const qint64 frames = clock.elapsed() / LivePanel::frameMs + 1;
        QVERIFY2(paints.count <= frames + 2, qPrintable(QStringLiteral("%1 paints in %2 frames").arg(paints.count).arg(frames)));
    }

    // A block transfer takes the input from the live panel at once, and the live panel takes it
    // back only when the transfer is over: the transfer's replies never reach it (they are notes
    // 60, which would light Pad 7).
    void transferTakesTheInputAndGivesItBack()
    {
        MidiInCapture &capture = midi->capture();
        TransferDialog &dialog = workspace->transfer();
        bool liveDuringTransfer = false;
        connect(&capture, &MidiInCapture::ownerChanged, this, [&] {
            if (dialog.driver().busy() && live().isListening())
                liveDuringTransfer = true;
        });
        QByteArray image(20000, 0);
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(i * 13 + 1);
        dialog.prepare(FileKind::Firmware, image);
        dialog.show();
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QVERIFY(!live().isListening());
        QCOMPARE(capture.owner(), &dialog.driver());
        QTRY_VERIFY_WITH_TIMEOUT(midi->simulator().lastTransfer().complete, 20000);
        QCOMPARE(midi->simulator().lastTransfer().image, image);
        QTRY_VERIFY(live().isListening());
        QVERIFY(!liveDuringTransfer);
        QVERIFY(!picture(PanelSettings::Pad1 + 6)->isLive());
        QVERIFY(prompts->asked.isEmpty());
        dialog.close();

        // Listening again: the instrument's controls show.
        midi->simulator().playNote(60, 50);
        QTRY_VERIFY(picture(PanelSettings::Pad1 + 6)->isLive());
    }

    void bandMenuTurnsItOffAndOn()
    {
        std::unique_ptr<QMenu> menu(window->createBandMenu(window.get()));
        QAction *entry = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == QStringLiteral("Live panel"))
                entry = action;
        QVERIFY(entry);
        QVERIFY(entry->isCheckable() && entry->isChecked());
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty()) {
            menu->popup(window->mapToGlobal(QPoint(300, 20)));
            QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
            menu->grab().save(shots + QStringLiteral("/band-menu-live.png"));
            menu->hide();
        }
        entry->trigger();
        QVERIFY(!entry->isChecked() && !live().isOn());
        QVERIFY(!midi->capture().isOpen());
        midi->simulator().controlChange(1, 72, 100);
        QTest::qWait(100);
        QVERIFY(!picture(PanelSettings::Knob1 + 2)->isLive());
        QVERIFY(!midi->capture().isOpen());

        entry->trigger();
        QVERIFY(entry->isChecked());
        QTRY_VERIFY(live().isListening());
        midi->simulator().controlChange(1, 72, 100);
        QTRY_VERIFY(picture(PanelSettings::Knob1 + 2)->isLive());
        // Off puts the lights out at once.
        entry->trigger();
        QVERIFY(!picture(PanelSettings::Knob1 + 2)->isLive());
    }
};

QTEST_MAIN(TestLivePanel)
#include "tst_LivePanel.moc"
