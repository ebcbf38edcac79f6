// Set Device: the system's ports and the built-in simulator to pick from, the instrument by default.
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiSystem.h"
#include "gui/devices/SetDeviceDialog.h"
#include "gui/widgets/ElidingComboBox.h"
#include "support/FakePorts.h"
#include "support/MidiDeviceText.h"
#include "support/SimulatedMidi.h"

#include <QAbstractItemView>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestSetDeviceDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        fake = std::make_shared<FakePorts::State>();
        fake->outputs = {QStringLiteral("Synth Out "), QStringLiteral("Keys Out")};
        fake->inputs = {QStringLiteral("Keys In  ")};
        midi = std::make_unique<SimulatedMidi>(std::make_unique<FakePorts>(fake));
    }

    void firstOpeningShowsSimulatorOnBothSides()
    {
        SetDeviceDialog dialog(midi->ports(), midi->devices());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Device"));
        QCOMPARE(dialog.outList()->count(), 3);
        QCOMPARE(dialog.outList()->currentText(), QStringLiteral("Zorvik Simulator"));
        QCOMPARE(dialog.inList()->currentText(), QStringLiteral("Zorvik Simulator"));
        QCOMPARE(dialog.outList()->itemText(1), QStringLiteral("Synth Out "));   // exactly as reported
        QCOMPARE(dialog.inList()->itemText(1), QStringLiteral("Keys In  "));
        QCOMPARE(dialog.pendingOut, MidiDevice::builtIn());
        QCOMPARE(dialog.pendingIn, MidiDevice::builtIn());
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty()) {
            dialog.show();
            dialog.grab().save(shots + "/set-device.png");
        }
    }

    void okStoresCancelKeepsRefreshResets()
    {
        {
            SetDeviceDialog dialog(midi->ports(), midi->devices());
            dialog.show();
            QTest::keyClick(dialog.outList(), Qt::Key_Down);   // activates the next entry
            QTest::keyClick(dialog.outList(), Qt::Key_Down);
            QTest::keyClick(dialog.inList(), Qt::Key_Down);
            QCOMPARE(dialog.pendingOut, MidiDevice::system(1));
            QCOMPARE(dialog.pendingIn, MidiDevice::system(0));
            dialog.accept();
        }
        QCOMPARE(midi->devices().output(), MidiDevice::system(1));
        QCOMPARE(midi->devices().input(), MidiDevice::system(0));
        {
            SetDeviceDialog dialog(midi->ports(), midi->devices());
            QCOMPARE(dialog.outList()->currentText(), QStringLiteral("Keys Out"));
            QCOMPARE(dialog.inList()->currentText(), QStringLiteral("Keys In  "));
            QTest::keyClick(dialog.outList(), Qt::Key_Up);
            dialog.reject();
        }
        QCOMPARE(midi->devices().output(), MidiDevice::system(1));
        {
            SetDeviceDialog dialog(midi->ports(), midi->devices());
            fake->outputs.prepend(QStringLiteral("Plugged in"));
            dialog.findChild<QPushButton *>(QStringLiteral("refreshButton"))->click();
            QCOMPARE(dialog.outList()->count(), 4);
            QCOMPARE(dialog.outList()->currentIndex(), 0);
            QCOMPARE(dialog.inList()->currentIndex(), 0);
            dialog.accept();
        }
        QCOMPARE(midi->devices().output(), MidiDevice::builtIn());
        QCOMPARE(midi->devices().input(), MidiDevice::builtIn());
    }

    void choiceThatNoLongerExistsShowsNoSelection()
    {
        midi->devices().use(MidiDevice::system(7), MidiDevice::system(4));
        SetDeviceDialog dialog(midi->ports(), midi->devices());
        QCOMPARE(dialog.outList()->currentIndex(), -1);
        QCOMPARE(dialog.inList()->currentIndex(), -1);
        dialog.accept();
        QCOMPARE(midi->devices().output(), MidiDevice::none());
        QCOMPARE(midi->devices().input(), MidiDevice::none());
    }

    void longPortNamesAreShortenedInTheMiddle()
    {
        const QString longName = QStringLiteral("Zorvik K8 USB MIDI Controller Interface:Zorvik K8 USB MIDI "
                                                "Controller Interface MIDI 1 24:0");
        fake->outputs = {longName};
        fake->inputs = {longName};
        midi = std::make_unique<SimulatedMidi>(std::make_unique<FakePorts>(fake));
        SetDeviceDialog dialog(midi->ports(), midi->devices());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (QComboBox *list : {dialog.outList(), dialog.inList()}) {
            list->setCurrentIndex(1);
            auto *box = qobject_cast<ElidingComboBox *>(list);
            QVERIFY(box);
            // Both ends of the name stay readable; the whole name is the tool tip.
            const QString shown = box->shownText();
            QVERIFY2(shown.size() < longName.size() && shown.contains(QChar(0x2026)), qPrintable(shown));
            QVERIFY(shown.startsWith(QStringLiteral("Zorvik K8")));
            QVERIFY(shown.endsWith(QStringLiteral("24:0")));
            QCOMPARE(box->toolTip(), longName);
            QCOMPARE(box->itemData(1, Qt::ToolTipRole).toString(), longName);
            QCOMPARE(box->view()->textElideMode(), Qt::ElideMiddle);
            // Short names show as they are.
            list->setCurrentIndex(0);
            QCOMPARE(box->shownText(), QStringLiteral("Zorvik Simulator"));
            QCOMPARE(box->toolTip(), QStringLiteral("Zorvik Simulator"));
        }
        dialog.outList()->setCurrentIndex(1);
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
            dialog.grab().save(shots + QStringLiteral("/set-device-long-name.png"));
        // OK still chooses the device behind the shortened name.
        dialog.outList()->activated(1);
        dialog.accept();
        QCOMPARE(midi->devices().output(), MidiDevice::system(0));
    }

    // A USB instrument's SysEx goes through the USB link: its entries and the label say so.
    void aDeviceReachedThroughTheUsbLinkSaysSo()
    {
        const QString usb = QStringLiteral("Zorvik K8:Zorvik K8 MIDI 1 24:0");
        fake->outputs = {usb};
        fake->inputs = {usb};
        fake->routed = {usb};
        midi = std::make_unique<SimulatedMidi>(std::make_unique<FakePorts>(fake));
        midi->devices().update();
        QCOMPARE(midi->devices().label(), usb + QStringLiteral(" (USB link)"));
        QVERIFY(midi->devices().details().contains(QStringLiteral("MIDI Out: ") + usb + QStringLiteral(", SysEx through the USB link")));
        SetDeviceDialog dialog(midi->ports(), midi->devices());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (QComboBox *list : {dialog.outList(), dialog.inList()}) {
            list->setCurrentIndex(1);
            QCOMPARE(list->toolTip(), usb + QStringLiteral("\nSysEx goes through the USB link"));
            list->setCurrentIndex(0);
            QCOMPARE(list->toolTip(), QStringLiteral("Zorvik Simulator"));
        }
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty()) {
            dialog.outList()->setCurrentIndex(1);
            dialog.grab().save(shots + QStringLiteral("/set-device-usb.png"));
        }
    }

    // The instrument is the default until the user picks a device; Refresh goes back to it.
    void pickingADeviceOverridesTheInstrument()
    {
        fake->outputs.append(QStringLiteral("Zorvik K8 (USB)"));
        fake->inputs.append(QStringLiteral("Zorvik K8 (USB)"));
        DeviceSelection &devices = midi->devices();
        devices.update();
        {
            SetDeviceDialog dialog(midi->ports(), midi->devices());
            QCOMPARE(dialog.outList()->itemText(0), QStringLiteral("Zorvik Simulator"));   // still first
            QCOMPARE(dialog.outList()->currentText(), QStringLiteral("Zorvik K8 (USB)"));
            QCOMPARE(dialog.inList()->currentText(), QStringLiteral("Zorvik K8 (USB)"));
            dialog.accept();   // nothing picked: still following the instrument
        }
        QVERIFY(devices.followsInstrument());
        QCOMPARE(midi->devices().output(), MidiDevice::system(2));
        {
            SetDeviceDialog dialog(midi->ports(), midi->devices());
            dialog.show();
            QTest::keyClick(dialog.outList(), Qt::Key_Home);   // the built-in simulator
            QTest::keyClick(dialog.inList(), Qt::Key_Home);
            dialog.accept();
        }
        QVERIFY(!devices.followsInstrument());
        QCOMPARE(midi->devices().output(), MidiDevice::builtIn());
        QCOMPARE(midi->devices().input(), MidiDevice::builtIn());
        QCOMPARE(devices.label(), QStringLiteral("Zorvik Simulator"));
        fake->outputs.prepend(QStringLiteral("Zorvik K4"));   // another instrument comes: the choice stays
        fake->inputs.prepend(QStringLiteral("Zorvik K4"));
        devices.update();
        QCOMPARE(midi->devices().output(), MidiDevice::builtIn());
        {
            SetDeviceDialog dialog(midi->ports(), midi->devices());
            dialog.findChild<QPushButton *>(QStringLiteral("refreshButton"))->click();
            QCOMPARE(dialog.outList()->currentText(), QStringLiteral("Zorvik K4"));
            QCOMPARE(dialog.inList()->currentText(), QStringLiteral("Zorvik K4"));   // as a pair
            dialog.accept();
        }
        QVERIFY(devices.followsInstrument());
        QCOMPARE(midi->devices().output(), MidiDevice::system(0));
        QCOMPARE(midi->devices().input(), MidiDevice::system(0));
    }

private:
    std::shared_ptr<FakePorts::State> fake;
    std::unique_ptr<SimulatedMidi> midi;
};

QTEST_MAIN(TestSetDeviceDialog)
#include "tst_SetDeviceDialog.moc"
