#include "core/curve/CurveFile.h"
#include "core/curve/CurveSysEx.h"
#include "core/curve/VelocityCalibration.h"
#include "core/curve/VelocityHistory.h"
#include "core/base/PromptService.h"
#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiInCapture.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/InstrumentSimulator.h"
#include "gui/curve/CalibrationPanel.h"
#include "gui/curve/CurveArea.h"
#include "gui/curve/MonitorPanel.h"
#include "gui/curve/SendVCurveDialog.h"
#include "gui/curve/VCurveDialog.h"
#include "gui/widgets/FilenamePrompt.h"
#include "gui/widgets/MessageBoxPrompts.h"
#include "gui/widgets/PercentProgress.h"
#include "support/FreshLibrary.h"
#include "support/MidiDeviceText.h"
#include "support/ModalDriver.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

void mouse(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// A slot's item ("Curve1".."Curve3") in one of the menu's submenus, found by the texts a person reads.
QAction *itemOf(QMenu *menu, const QString &submenu, int slot)
{
    for (QAction *entry : menu->actions())
        if (entry->menu() && entry->text() == submenu)
            for (QAction *item : entry->menu()->actions())
                if (item->text() == QStringLiteral("Curve%1").arg(slot + 1))
                    return item;
    return nullptr;
}

// Types a name into the file name prompt as a person does, then presses OK.
void typeName(QDialog *prompt, const QString &name)
{
    auto *edit = prompt->findChild<QLineEdit *>(QStringLiteral("name"));
    edit->selectAll();
    QTest::keyClicks(edit, name);
    QTest::mouseClick(prompt->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

QByteArray sentMap(const QByteArray &message)
{
    return message.mid(int(CurveSysEx::mapOffset), int(CurveSysEx::mapEntries));
}

QByteArray mapBytes(const VelocityMap &map)
{
    QByteArray bytes;
    for (std::size_t s = 0; s < CurveSysEx::mapEntries; ++s)
        bytes.append(char(map[s]));
    return bytes;
}

} // namespace

class TestVCurveDialog : public QObject
{
    Q_OBJECT

    FreshLibrary data;
    std::unique_ptr<SimulatedMidi> midi;   // no system ports: only the built-in simulator
    ScriptedPrompts prompts;
    VelocityMap map{};
    std::unique_ptr<VCurveDialog> editor;

    int curvesBefore = 0;

    InstrumentSimulator &sim() { return midi->simulator(); }
    QString curvePath(const QString &name) const { return data.file(DataPaths::Folder::Curve, name); }
    void writeCurve(const QString &name, const CurveFile::Contents &contents)
    {
        QVERIFY(CurveFile::save(curvePath(name), contents).ok);
    }
    // Curve messages the simulator took during this test.
    int curvesSent() { return sim().curvesReceived() - curvesBefore; }
    template<typename T> T *child(const char *name) { return editor->findChild<T *>(QString::fromLatin1(name)); }
    CurveArea *area() { return child<CurveArea>("curveArea"); }
    void click(const char *name) { QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton); }

    void drag(QPoint from, QPoint to)
    {
        mouse(area(), QEvent::MouseButtonPress, from);
        mouse(area(), QEvent::MouseMove, (from + to) / 2);
        mouse(area(), QEvent::MouseMove, to);
        mouse(area(), QEvent::MouseButtonRelease, to);
    }

    void selectFile(const QString &name)
    {
        auto *list = child<QListWidget>("fileList");
        const auto found = list->findItems(name, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        list->setCurrentItem(found.first());
    }

    // Send runs the self-closing Send V.Curve dialog; nothing to press.
    void sendAndWait() { click("sendButton"); }

    // The player plays notes on the instrument while the calibration listens.
    void play(const std::vector<int> &velocities)
    {
        const VelocityHistory &notes = child<CalibrationPanel>("calibrationPanel")->notes().history();
        const int before = notes.count();
        for (int v : velocities)
            sim().playNote(60, v);
        QTRY_COMPARE(notes.count(), before + int(velocities.size()));
    }

    QString calibrationText() { return child<QLabel>("calibrationStatus")->text(); }

private slots:
    void init()
    {
        QVERIFY(data.renew());
        midi = std::make_unique<SimulatedMidi>();
        prompts.asked.clear();
        prompts.script.clear();
        sim().clearLogs();
        curvesBefore = sim().curvesReceived();
        map.fill(0);
    }

    void cleanup()
    {
        editor.reset();
        midi.reset();
        QVERIFY(ModalDriver::idle());
    }

    void opensAfresh()
    {
        CurveFile::Contents contents;
        contents.curve.computeMap(contents.map);
        writeCurve(QStringLiteral("older.crv"), contents);
        QThread::msleep(20);
        writeCurve(QStringLiteral("newer.crv"), contents);

        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        QCOMPARE(editor->windowTitle(), QStringLiteral("V.Curve"));
        QCOMPARE(area()->size(), QSize(510, 381));
        QCOMPARE(child<QLineEdit>("new0")->text(), QStringLiteral("0"));
        QVERIFY(map[0] >= 1);
        QCOMPARE(child<QLineEdit>("source13")->text(), QStringLiteral("127"));
        QCOMPARE(child<QLineEdit>("new2")->text(), QStringLiteral("32"));   // default curve at 20
        QVERIFY(child<QCheckBox>("gridBox")->isChecked());
        QVERIFY(child<QCheckBox>("vertexBox")->isChecked());
        QVERIFY(!child<QCheckBox>("realtimeBox")->isChecked());
        // Newest first, none selected: the curve on screen is the program's, and no file is named.
        auto *list = child<QListWidget>("fileList");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("newer.crv"));
        QVERIFY(list->selectedItems().isEmpty());
        QVERIFY(child<QLineEdit>("fileName")->text().isEmpty());
        QVERIFY(editor->isCollapsed());
        QCOMPARE(editor->height(), editor->panelHeight() + VCurveDialog::collapsedExtra);
        QVERIFY(!midi->capture().isOpen());
    }

    void dragThroughTheArea()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        // Point 1 (source 20, x 80) picked near the bottom and dragged above the area.
        drag({81, 375}, {100, -40});
        QCOMPARE(editor->editor().curve.keySource[1], 25);
        QCOMPARE(editor->editor().curve.keyNew[1], 127);
        QCOMPARE(child<QLineEdit>("new1")->text(), QString::number(map[10]));
        // Point 6 below the area: only its new value moves.
        drag({507, 10}, {300, 500});
        QCOMPARE(editor->editor().curve.keySource[6], 127);
        QCOMPARE(editor->editor().curve.keyNew[6], 0);
        // Point 0 cannot be picked: a press on it moves nothing.
        const VelocityCurve before = editor->editor().curve;
        drag({1, 380}, {200, 100});
        QCOMPARE(editor->editor().curve, before);
        QVERIFY(sim().received().isEmpty());   // Realtime is off
    }

    void realtimeSendsOncePerDrag()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        click("realtimeBox");
        QVERIFY(editor->editor().realtimeOn);

        drag({160, 100}, {180, 150});
        QCOMPARE(curvesSent(), 1);
        drag({240, 100}, {250, 50});
        QCOMPARE(curvesSent(), 2);
        auto *progress = child<PercentProgress>("progress");
        QVERIFY(progress->isVisible());
        QVERIFY(!child<QLabel>("hint")->isVisible());
        QCOMPARE(progress->pos(), 1);
        // A click beside every key point sends nothing and starts the bar afresh.
        drag({120, 100}, {130, 100});
        QCOMPARE(curvesSent(), 2);
        QCOMPARE(progress->pos(), 0);
        // What the instrument holds is what the editor shows.
        QCOMPARE(sentMap(sim().received().last()), mapBytes(map));
        for (std::size_t s = 0; s < CurveSysEx::mapEntries; ++s)
            QCOMPARE(int(sim().velocityMap()[s]), map[s]);
        QVERIFY(prompts.asked.isEmpty());
    }

    void sendWithSelectionSendsTheStoredMap()
    {
        CurveFile::Contents stored;
        stored.curve.keyNew = stored.curve.keySource;   // the diagonal ...
        stored.map.fill(64);                            // ... but a flat stored map
        writeCurve(QStringLiteral("flat.crv"), stored);
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        selectFile(QStringLiteral("flat.crv"));

        // The program's curve, untouched since the opening, is no edit: the file goes, unasked.
        sendAndWait();
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(curvesSent(), 1);
        QCOMPARE(sentMap(sim().received().last()), QByteArray(127, char(64)));
        // Afterwards the editor shows the file's curve, its map recomputed.
        QCOMPARE(editor->editor().curve, stored.curve);
        QCOMPARE(map[90], 90);

        // With the file's curve on screen nothing is asked.
        sendAndWait();
        QCOMPARE(curvesSent(), 2);
        QCOMPARE(sentMap(sim().received().last()), QByteArray(127, char(64)));
        QVERIFY(prompts.asked.isEmpty());

        // Without a selection the curve on screen goes.
        child<QListWidget>("fileList")->setCurrentRow(-1);
        drag({320, 100}, {330, 60});
        sendAndWait();
        QCOMPARE(curvesSent(), 3);
        QCOMPARE(sentMap(sim().received().last()), mapBytes(map));
        QVERIFY(prompts.asked.isEmpty());
    }

    void sendNeverThrowsAnEditAway()
    {
        CurveFile::Contents stored;
        stored.curve.computeMap(stored.map);
        writeCurve(QStringLiteral("soft.crv"), stored);
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        selectFile(QStringLiteral("soft.crv"));
        drag({160, 300}, {170, 120});
        const VelocityCurve edited = editor->editor().curve;
        const VelocityMap editedMap = map;
        QVERIFY(edited != stored.curve);

        // Cancel sends nothing and keeps the edit.
        prompts.queue(PromptService::Answer::Cancel);
        sendAndWait();
        QCOMPARE(curvesSent(), 0);
        QCOMPARE(editor->editor().curve, edited);
        // Yes sends the curve on screen and keeps it there.
        prompts.queue(PromptService::Answer::Yes);
        sendAndWait();
        QCOMPARE(curvesSent(), 1);
        QCOMPARE(sentMap(sim().received().last()), mapBytes(editedMap));
        QCOMPARE(editor->editor().curve, edited);
        QCOMPARE(map, editedMap);
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(prompts.asked.last().text, VCurveDialog::sendQuestion(QStringLiteral("soft.crv")));
    }

    // The editor opens on the program's curve with no file chosen; Send asks about a file only
    // when the curve on screen is an edit kept nowhere, and the name box names the selection.
    void opensWithNothingSelectedAndAsksOnlyAboutAnEdit()
    {
        CurveFile::Contents older;
        older.curve.keyNew = older.curve.keySource;
        older.curve.computeMap(older.map);
        writeCurve(QStringLiteral("older.crv"), older);
        QThread::msleep(20);
        CurveFile::Contents newer;
        newer.curve.keyNew = {0, 10, 20, 40, 70, 100, 127};
        newer.curve.computeMap(newer.map);
        writeCurve(QStringLiteral("newer.crv"), newer);
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        auto *list = child<QListWidget>("fileList");
        auto *name = child<QLineEdit>("fileName");
        QVERIFY(list->selectedItems().isEmpty());
        QVERIFY(name->text().isEmpty());

        // Send at once sends the program's curve, unasked.
        const VelocityMap programs = map;
        sendAndWait();
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(curvesSent(), 1);
        QCOMPARE(sentMap(sim().received().last()), mapBytes(programs));
        QCOMPARE(editor->editor().curve, VelocityCurve{});

        // Loaded, then sent: nothing to ask.
        selectFile(QStringLiteral("newer.crv"));
        QCOMPARE(name->text(), QStringLiteral("newer.crv"));
        click("loadButton");
        QCOMPARE(editor->editor().curve, newer.curve);
        sendAndWait();
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(curvesSent(), 2);
        QCOMPARE(sentMap(sim().received().last()), mapBytes(newer.map));
        // Another file chosen after loading one: that file goes and shows, unasked.
        selectFile(QStringLiteral("older.crv"));
        sendAndWait();
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(curvesSent(), 3);
        QCOMPARE(editor->editor().curve, older.curve);

        // Edited since: Send asks about the selected file.
        drag({240, 200}, {250, 60});
        prompts.queue(PromptService::Answer::Cancel);
        sendAndWait();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.last().text, VCurveDialog::sendQuestion(QStringLiteral("older.crv")));
        QCOMPARE(curvesSent(), 3);

        // A calibration's accepted curve is an edit as well; the name box still names the
        // selected file, and empties when the selection goes.
        click("newButton");
        click("calibrateButton");
        play({20, 30, 40, 50, 60, 70, 80, 90});
        click("calibrationAccept");
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(name->text(), QStringLiteral("older.crv"));
        prompts.queue(PromptService::Answer::Cancel);
        sendAndWait();
        QCOMPARE(prompts.asked.size(), 2);
        list->clearSelection();
        QVERIFY(name->text().isEmpty());
        sendAndWait();   // the accepted curve itself, unasked
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(curvesSent(), 4);
        QCOMPARE(sentMap(sim().received().last()), mapBytes(map));

        // Saved, the edit is kept: a file chosen then goes unasked.
        ModalDriver::next([](QDialog *d) { typeName(d, QStringLiteral("played")); });
        click("saveButton");
        QVERIFY(name->text().isEmpty());
        selectFile(QStringLiteral("newer.crv"));
        sendAndWait();
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(editor->editor().curve, newer.curve);
    }

    // Key points dragged onto each other can be pulled apart again from either end of the stack.
    void stackedPointsComeApart()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        const VelocityCurve::Points start = VelocityCurve::defaultSources;
        for (int k = 1; k <= 5; ++k)
            drag({CurveEditorModel::toX(start[std::size_t(k)]), 200}, {-30, 200});
        QCOMPARE(editor->editor().curve.keySource, (VelocityCurve::Points{0, 1, 2, 3, 4, 5, 127}));
        // Pressed anywhere on the stack and pulled right, the last point stacked comes out, then
        // the next.
        drag({6, 200}, {200, 100});
        QCOMPARE(editor->editor().curve.keySource, (VelocityCurve::Points{0, 1, 2, 3, 4, 50, 127}));
        drag({9, 300}, {160, 100});
        QCOMPARE(editor->editor().curve.keySource, (VelocityCurve::Points{0, 1, 2, 3, 40, 50, 127}));
        QCOMPARE(editor->editor().curve.keyNew[4], (381 - 100) / 3);
        QCOMPARE(editor->editor().curve.keyNew[2], (381 - 200) / 3);   // point 2 never moved

        // Stacked at the right end, against the last point, pulled left: the first comes out.
        click("newButton");
        for (int k = 5; k >= 1; --k)
            drag({CurveEditorModel::toX(start[std::size_t(k)]), 200}, {600, 200});
        QCOMPARE(editor->editor().curve.keySource, (VelocityCurve::Points{0, 122, 123, 124, 125, 126, 127}));
        drag({500, 200}, {200, 100});
        QCOMPARE(editor->editor().curve.keySource, (VelocityCurve::Points{0, 50, 123, 124, 125, 126, 127}));
        // Straight up and down, the point pressed on moves; the last one stays where it is.
        const VelocityCurve before = editor->editor().curve;
        drag({508, 200}, {508, 30});
        QCOMPARE(editor->editor().curve.keySource, before.keySource);
        QCOMPARE(editor->editor().curve.keyNew[6], (381 - 30) / 3);
        QCOMPARE(editor->editor().curve.keyNew[5], before.keyNew[5]);
    }

    void deleteAsksNamingTheFile()
    {
        CurveFile::Contents contents;
        contents.curve.computeMap(contents.map);
        writeCurve(QStringLiteral("a.crv"), contents);
        QThread::msleep(20);
        writeCurve(QStringLiteral("b.crv"), contents);
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        const auto exists = [this](const char *name) {
            return QFile::exists(curvePath(QLatin1String(name)));
        };
        auto *list = child<QListWidget>("fileList");
        selectFile(QStringLiteral("b.crv"));

        prompts.queue(PromptService::Answer::No);
        click("deleteButton");
        QVERIFY(exists("b.crv"));
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.last().text, QStringLiteral("Delete the curve file \"b.crv\"?"));
        QCOMPARE(prompts.asked.last().buttons, PromptService::Buttons::YesNo);
        QVERIFY(prompts.asked.last().defaultAnswer == PromptService::Answer::No);   // Enter keeps the file

        // A double click asks twice, each time naming the file it would delete.
        prompts.asked.clear();
        prompts.queue(PromptService::Answer::Yes);
        prompts.queue(PromptService::Answer::No);
        // As the window system delivers it: press, release, double-click press, release.
        auto *deleteButton = child<QPushButton>("deleteButton");
        QTest::mouseClick(deleteButton, Qt::LeftButton);
        QTest::mouseDClick(deleteButton, Qt::LeftButton);
        QTest::mouseRelease(deleteButton, Qt::LeftButton);
        QVERIFY(!exists("b.crv"));
        QVERIFY(exists("a.crv"));
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(prompts.asked.at(0).text, VCurveDialog::deleteQuestion(QStringLiteral("b.crv")));
        QCOMPARE(prompts.asked.at(1).text, VCurveDialog::deleteQuestion(QStringLiteral("a.crv")));
        QCOMPARE(list->count(), 1);
    }

    void badCurveFileSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("short") << QByteArray(100, '\1');
        QByteArray outOfRange = CurveFile::serialize(CurveFile::Contents{});
        outOfRange[512 + 8] = char(200);   // key source 2
        QTest::newRow("key point out of range") << outOfRange;
    }

    void badCurveFileSendsNothing()
    {
        QFETCH(QByteArray, bytes);
        QFile file(curvePath(QStringLiteral("bad.crv")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        selectFile(QStringLiteral("bad.crv"));
        const VelocityCurve before = editor->editor().curve;
        const VelocityMap mapBefore = map;

        click("sendButton");
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY(prompts.asked.first().text.contains(QStringLiteral("bad.crv")));
        click("loadButton");
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(curvesSent(), 0);
        QCOMPARE(editor->editor().curve, before);
        QCOMPARE(map, mapBefore);
    }

    void sendWithoutADeviceStillRunsTheDialog()
    {
        midi->devices().use(MidiDevice::system(7), MidiDevice::builtIn());
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        child<QListWidget>("fileList")->setCurrentRow(-1);
        sendAndWait();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Open the device is err, please set device!"));
        QCOMPARE(prompts.asked.first().caption, QString());
        auto *dialog = editor->findChild<SendVCurveDialog *>();
        QVERIFY(!dialog->isVisible());
        QVERIFY(!dialog->succeeded());
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("status"))->text(), SendVCurveDialog::failedText);
        QCOMPARE(dialog->findChild<PercentProgress *>()->pos(), 0);
    }

    void keptCurvesThroughTheMenu()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        std::unique_ptr<QMenu> menu(editor->createContextMenu(nullptr));
        QVERIFY(!itemOf(menu.get(), "Keep Curve", 0)->isChecked());
        QVERIFY(!itemOf(menu.get(), "Show Curve", 0)->isEnabled());
        itemOf(menu.get(), "Keep Curve", 0)->trigger();
        itemOf(menu.get(), "Keep Curve", 2)->trigger();

        menu.reset(editor->createContextMenu(nullptr));
        QVERIFY(itemOf(menu.get(), "Keep Curve", 0)->isChecked());
        QVERIFY(!itemOf(menu.get(), "Keep Curve", 1)->isChecked());
        QVERIFY(itemOf(menu.get(), "Show Curve", 0)->isEnabled());
        QVERIFY(itemOf(menu.get(), "Restore Curve", 2)->isEnabled());
        QVERIFY(!itemOf(menu.get(), "&Delete", 1)->isEnabled());
        itemOf(menu.get(), "Show Curve", 0)->trigger();
        QVERIFY(editor->editor().keptCurves.at(0).shown);
        itemOf(menu.get(), "&Delete", 2)->trigger();

        menu.reset(editor->createContextMenu(nullptr));
        QVERIFY(itemOf(menu.get(), "Show Curve", 0)->isChecked());
        QVERIFY(!itemOf(menu.get(), "Show Curve", 2)->isEnabled());
        // Keep on a deleted slot does not bring it back before Default.
        itemOf(menu.get(), "Keep Curve", 2)->trigger();
        QVERIFY(!editor->editor().keptCurves.at(2).holdsCurve());
        click("defaultButton");
        QVERIFY(!editor->editor().keptCurves.at(2).deleted);
        QVERIFY(!editor->editor().keptCurves.at(0).kept);
    }

    void keptCurveGoesOutFromItsSendItem()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        drag({240, 200}, {260, 40});
        std::unique_ptr<QMenu> menu(editor->createContextMenu(nullptr));
        itemOf(menu.get(), "Keep Curve", 1)->trigger();
        const VelocityMap kept = editor->editor().slotMap(1);
        click("newButton");
        const VelocityMap onScreen = map;
        QVERIFY(mapBytes(kept) != mapBytes(onScreen));

        menu.reset(editor->createContextMenu(nullptr));
        QVERIFY(!itemOf(menu.get(), "&Send", 0)->isEnabled());
        QAction *send2 = itemOf(menu.get(), "&Send", 1);
        QVERIFY(send2->isEnabled());
        send2->trigger();
        QCOMPARE(curvesSent(), 1);
        QCOMPARE(sentMap(sim().received().last()), mapBytes(kept));
        // The curve on screen and the program's map stay as they were.
        QCOMPARE(editor->editor().curve, VelocityCurve{});
        QCOMPARE(map, onScreen);
        // A slot that holds no curve sends nothing.
        editor->runSlotCommand(VCurveDialog::SlotCommand::Send, 2);
        QCOMPARE(curvesSent(), 1);
        QVERIFY(prompts.asked.isEmpty());

        // "&New" in the menu puts the default key points back, as the New button does.
        drag({240, 200}, {260, 40});
        QVERIFY(editor->editor().curve != VelocityCurve{});
        menu.reset(editor->createContextMenu(nullptr));
        const QList<QAction *> items = menu->actions();
        const auto newItem = std::find_if(items.begin(), items.end(), [](QAction *a) { return a->text() == "&New"; });
        QVERIFY(newItem != items.end());
        (*newItem)->trigger();
        QCOMPARE(editor->editor().curve, VelocityCurve{});
    }

    void typedCurveNames()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        // Typed with its extension, the name gets it once.
        ModalDriver::next([](QDialog *d) { typeName(d, QStringLiteral("Linear.crv")); });
        click("saveButton");
        QVERIFY(QFile::exists(curvePath(QStringLiteral("Linear.crv"))));
        QVERIFY(!QFile::exists(curvePath(QStringLiteral("Linear.crv.crv"))));
        QCOMPARE(child<QListWidget>("fileList")->item(0)->text(), QStringLiteral("Linear.crv"));

        // Typed again with its extension, it is the same file: "Save file" asks before replacing it.
        prompts.queue(PromptService::Answer::No);
        ModalDriver::next([](QDialog *d) { typeName(d, QStringLiteral("Linear.crv")); });
        click("saveButton");
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Replace the existing file\uFF1F"));
        QVERIFY(ModalDriver::idle());
        QCOMPARE(child<QListWidget>("fileList")->count(), 1);
    }

    void saveLoadDelete()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        drag({240, 200}, {260, 120});
        const VelocityCurve shaped = editor->editor().curve;

        ModalDriver::next([](QDialog *d) {
            static_cast<FilenamePrompt *>(d)->setName(QStringLiteral("soft"));
            d->accept();
        });
        click("saveButton");
        const QString path = curvePath(QStringLiteral("soft.crv"));
        const CurveFile::Result saved = CurveFile::load(path);
        QVERIFY(saved.ok);
        QCOMPARE(saved.contents.curve, shaped);
        QCOMPARE(saved.contents.map, map);
        auto *list = child<QListWidget>("fileList");
        QCOMPARE(list->item(0)->text(), QStringLiteral("soft.crv"));
        QCOMPARE(list->currentRow(), -1);

        // Saving another curve under the same name asks "Save file" once: No saves nothing and
        // brings no prompt back.
        drag({320, 200}, {330, 80});
        const VelocityCurve other = editor->editor().curve;
        const auto saveAs = [this](const QString &name) {
            ModalDriver::next([name](QDialog *d) { typeName(d, name); });
            click("saveButton");
        };
        prompts.queue(PromptService::Answer::No);
        saveAs(QStringLiteral("soft"));
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Replace the existing file\uFF1F"));
        QCOMPARE(prompts.asked.first().caption, QStringLiteral("Save file"));
        QCOMPARE(prompts.asked.first().buttons, PromptService::Buttons::YesNo);
        QVERIFY(ModalDriver::idle());
        QCOMPARE(CurveFile::load(path).contents.curve, shaped);
        // Yes replaces it; the list keeps its one entry.
        prompts.queue(PromptService::Answer::Yes);
        saveAs(QStringLiteral("soft"));
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(CurveFile::load(path).contents.curve, other);
        QCOMPARE(list->count(), 1);

        // Load brings the saved curve back.
        click("newButton");
        QCOMPARE(editor->editor().curve, VelocityCurve{});
        list->setCurrentRow(0);
        click("loadButton");
        QCOMPARE(editor->editor().curve, other);

        // Delete removes the file at once and empties the name.
        click("deleteButton");
        QVERIFY(!QFile::exists(path));
        QCOMPARE(list->count(), 0);
        QVERIFY(child<QLineEdit>("fileName")->text().isEmpty());
    }

    // A save that fails for a name the file system refuses as too long says so in a box that
    // shows the whole message: the name is shortened in the middle, the rest wraps.
    void longNameSaveErrorFitsItsBox()
    {
        MessageBoxPrompts boxes;
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), boxes, map);
        editor->show();
        const QString name = QStringLiteral("start") + QString(290, QLatin1Char('x')) + QStringLiteral("end");
        ModalDriver::next([name](QDialog *d) {
            static_cast<FilenamePrompt *>(d)->setName(name);
            d->accept();
        });
        QString shown;
        QRect room;
        QRect needed;
        ModalDriver::next([&shown, &room, &needed](QDialog *d) {
            QTest::qWait(50);
            auto *label = d->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            shown = label->text();
            // The text as the label wraps it, against the room the label has.
            room = label->contentsRect();
            needed = QFontMetrics(label->font()).boundingRect(room, Qt::TextWordWrap, shown);
            const QString folder = qEnvironmentVariable("ZORVIK_SCREENSHOTS");
            if (!folder.isEmpty())
                d->grab().save(folder + QStringLiteral("/save-error-long-name.png"));
            d->accept();
        });
        click("saveButton");
        QVERIFY(ModalDriver::idle());
        QVERIFY2(shown.startsWith(QStringLiteral("Cannot save the curve file \"startxxx")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("xxx\u2026xxx")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("xxxend.crv\": ")), qPrintable(shown));
        QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(),
                 qPrintable(QStringLiteral("%1x%2 in %3x%4").arg(needed.width()).arg(needed.height())
                                .arg(room.width()).arg(room.height())));
    }

    void monitorShowsChannelOneNoteOns()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        click("monitorButton");
        QVERIFY(!editor->isCollapsed());
        QCOMPARE(editor->height(), editor->panelHeight() + VCurveDialog::expandedExtra);
        QVERIFY(midi->capture().isOpen());
        QVERIFY(child<MonitorPanel>("monitorPanel")->active());

        // The simulator plays through the map the editor opened with.
        sim().playNote(60, 100);
        sim().playNote(62, 0);
        emit sim().reply(QByteArray("\x91\x3C\x40", 3));   // channel 2
        emit sim().reply(QByteArray("\x80\x3C\x40", 3));   // note-off
        emit sim().reply(QByteArray("\xB0\x07\x40", 3));   // controller
        sim().playNote(64, 127);
        QTRY_COMPARE(editor->velocityHistory().count(), 3);
        QTest::qWait(20);
        QCOMPARE(editor->velocityHistory().count(), 3);
        QCOMPARE(editor->velocityHistory().at(0), int(sim().velocityMap()[100]));
        QCOMPARE(editor->velocityHistory().at(1), int(sim().velocityMap()[0]));
        QCOMPARE(editor->velocityHistory().at(2), int(sim().velocityMap()[127]));

        for (int i = 3; i < VelocityHistory::capacity; ++i)
            sim().playNote(60, 50);
        QTRY_COMPARE(editor->velocityHistory().count(), 105);
        sim().playNote(60, 30);
        QTRY_COMPARE(editor->velocityHistory().count(), 1);

        // Default clears the history and leaves the panel live.
        click("defaultButton");
        QCOMPARE(editor->velocityHistory().count(), 0);
        QVERIFY(midi->capture().isOpen());

        click("monitorButton");
        QVERIFY(editor->isCollapsed());
        QVERIFY(!midi->capture().isOpen());
        QCOMPARE(editor->height(), editor->panelHeight() + VCurveDialog::collapsedExtra);
    }

    void closingTheEditorClosesTheInput()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        click("monitorButton");
        QVERIFY(midi->capture().isOpen());
        click("exitButton");
        QVERIFY(!midi->capture().isOpen());
        QVERIFY(editor->isCollapsed());
    }

    void monitorWithoutAnInputStaysCollapsed()
    {
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(8));
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        click("monitorButton");
        QVERIFY(editor->isCollapsed());
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Error opening the default MIDI In Device!\r\n"));
        QCOMPARE(prompts.asked.first().caption, QString());
        QCOMPARE(prompts.asked.first().icon, PromptService::Icon::Stop);
    }

    void calibrationCancelLeavesEverything()
    {
        CurveFile::Contents contents;
        contents.curve.computeMap(contents.map);
        writeCurve(QStringLiteral("mine.crv"), contents);
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        // The user's own curve, a kept curve shown, a picked key point, a file selected, Realtime on.
        selectFile(QStringLiteral("mine.crv"));
        drag({160, 200}, {180, 120});
        editor->runSlotCommand(VCurveDialog::SlotCommand::Keep, 0);
        editor->runSlotCommand(VCurveDialog::SlotCommand::Show, 0);
        drag({320, 200}, {300, 60});
        mouse(area(), QEvent::MouseButtonPress, {507, 10});
        mouse(area(), QEvent::MouseButtonRelease, {507, 10});
        click("realtimeBox");
        const VelocityCurve curve = editor->editor().curve;
        const VelocityMap mapBefore = map;
        const CurveSlot kept = editor->editor().keptCurves.at(0);
        QCOMPARE(editor->editor().selected(), 6);
        QCOMPARE(child<QListWidget>("fileList")->currentRow(), 0);
        const auto unchanged = [&] {
            QCOMPARE(editor->editor().curve, curve);
            QCOMPARE(map, mapBefore);
            const CurveSlot &slot = editor->editor().keptCurves.at(0);
            QCOMPARE(slot.keySource, kept.keySource);
            QCOMPARE(slot.keyNew, kept.keyNew);
            QVERIFY(slot.holdsCurve() && slot.shown);
            QCOMPARE(editor->editor().selected(), 6);
            QCOMPARE(child<QListWidget>("fileList")->currentRow(), 0);
            QCOMPARE(curvesSent(), 0);
        };

        click("calibrateButton");
        QVERIFY(editor->isCalibrating());
        auto *panel = child<CalibrationPanel>("calibrationPanel");
        QVERIFY(panel->isVisible());
        QVERIFY(midi->capture().isOpenFor(panel));
        QCOMPARE(editor->height(), editor->panelHeight() + VCurveDialog::expandedExtra);
        QVERIFY(!child<QPushButton>("sendButton")->isEnabled());
        QVERIFY(!area()->isEnabled());
        auto *accept = child<QPushButton>("calibrationAccept");
        QCOMPARE(calibrationText(), QStringLiteral("Play at least 8 notes on the instrument, one at a time, "
                                                   "from your softest to your hardest."));
        QVERIFY(!accept->isEnabled());

        // Seven notes, then a note-off and a note on channel 2, which do not count: not enough.
        play({70, 82, 90, 98, 105, 112, 120});
        QCOMPARE(calibrationText(), QStringLiteral("7 notes so far: play at least 1 more, from your softest to your hardest."));
        QVERIFY(!accept->isEnabled());
        QVERIFY(!editor->editor().proposal);
        emit sim().reply(QByteArray("\x90\x3C\x00", 3));
        emit sim().reply(QByteArray("\x91\x3C\x40", 3));
        play({127});
        QCOMPARE(panel->notes().history().at(7), 127);

        // The eighth note brings the proposal, drawn over the current curve.
        QVERIFY(accept->isEnabled());
        QVERIFY(editor->editor().proposal);
        QCOMPARE(editor->editor().proposal->keySource, (VelocityCurve::Points{70, 83, 93, 102, 110, 119, 127}));
        QCOMPARE(editor->editor().proposal->keyNew, VelocityCalibration::proposedNews);
        QCOMPARE(calibrationText(), QStringLiteral("Proposal from 8 notes, softest 70, hardest 127: the orange curve. "
                                                   "Accept makes it the current curve; Cancel keeps the curve as it was."));
        const VelocityMap offered = editor->editor().proposalMap();
        const QImage drawn = area()->grab().toImage();
        QCOMPARE(drawn.pixelColor(CurveEditorModel::toX(100), CurveEditorModel::toY(offered[100])),
                 CurveArea::proposalColour);
        unchanged();

        click("calibrationCancel");
        QVERIFY(!editor->isCalibrating());
        QVERIFY(!editor->editor().proposal);
        QVERIFY(!midi->capture().isOpen());
        QCOMPARE(editor->height(), editor->panelHeight() + VCurveDialog::collapsedExtra);
        QVERIFY(child<QPushButton>("sendButton")->isEnabled());
        QVERIFY(area()->isEnabled());
        unchanged();

        // Every note alike explains instead of proposing; Escape ends it as Cancel does.
        click("calibrateButton");
        QCOMPARE(panel->notes().history().count(), 0);
        play(std::vector<int>(8, 64));
        QCOMPARE(calibrationText(), QStringLiteral("All 8 notes came in at velocity 64. Play some notes softer and "
                                                   "some harder, from your softest to your hardest, or press Start again."));
        QVERIFY(!accept->isEnabled());
        QVERIFY(!editor->editor().proposal);
        QTest::keyClick(editor.get(), Qt::Key_Escape);
        QVERIFY(!editor->isCalibrating());
        QVERIFY(editor->isVisible());
        QVERIFY(!midi->capture().isOpen());
        unchanged();
        QVERIFY(prompts.asked.isEmpty());
    }

    void calibrationAcceptTakesTheProposal()
    {
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        editor->show();
        editor->runSlotCommand(VCurveDialog::SlotCommand::Keep, 1);
        click("realtimeBox");
        click("monitorButton");
        sim().playNote(60, 50);
        QTRY_COMPARE(editor->velocityHistory().count(), 1);

        // The calibration takes the input from the monitor while it runs.
        click("calibrateButton");
        auto *panel = child<CalibrationPanel>("calibrationPanel");
        QVERIFY(midi->capture().isOpenFor(panel));
        QVERIFY(!child<MonitorPanel>("monitorPanel")->isVisible());
        play({30, 40, 50});
        click("calibrationAgain");
        QCOMPARE(panel->notes().history().count(), 0);
        play({12, 18, 30, 25, 38, 45, 52, 64});
        QCOMPARE(editor->velocityHistory().count(), 1);
        QCOMPARE(curvesSent(), 0);

        click("calibrationAccept");
        QVERIFY(!editor->isCalibrating());
        QCOMPARE(editor->editor().curve.keySource, (VelocityCurve::Points{12, 19, 27, 34, 43, 51, 64}));
        QCOMPARE(editor->editor().curve.keyNew, VelocityCalibration::proposedNews);
        QVERIFY(!editor->editor().proposal);
        QCOMPARE(map[12], 1);
        QCOMPARE(map[64], 127);
        QCOMPARE(child<QLineEdit>("new13")->text(), QStringLiteral("127"));
        // With Realtime on the accepted curve goes out once, as after a drag.
        QCOMPARE(curvesSent(), 1);
        QCOMPARE(sentMap(sim().received().last()), mapBytes(map));
        QCOMPARE(child<PercentProgress>("progress")->pos(), 1);
        // The kept curve stays, and the monitor has its input back: the instrument now plays
        // the player's hardest note at 127.
        QVERIFY(editor->editor().keptCurves.at(1).holdsCurve());
        QCOMPARE(editor->editor().keptCurves.at(1).keySource, VelocityCurve::defaultSources);
        QVERIFY(!editor->isCollapsed());
        QVERIFY(child<MonitorPanel>("monitorPanel")->isVisible());
        QVERIFY(midi->capture().isOpenFor(editor.get()));
        sim().playNote(60, 64);
        QTRY_COMPARE(editor->velocityHistory().count(), 2);
        QCOMPARE(editor->velocityHistory().at(1), 127);

        // Without Realtime, Accept sends nothing.
        click("realtimeBox");
        click("calibrateButton");
        play({20, 30, 40, 50, 60, 70, 80, 90});
        const VelocityCurve offered = *editor->editor().proposal;
        click("calibrationAccept");
        QCOMPARE(editor->editor().curve, offered);
        QCOMPARE(curvesSent(), 1);
        QVERIFY(prompts.asked.isEmpty());
    }

    void calibrationWithoutAnInput()
    {
        midi->devices().use(MidiDevice::builtIn(), MidiDevice::system(8));
        editor = std::make_unique<VCurveDialog>(midi->sender(), midi->capture(), data.location(), prompts, map);
        click("calibrateButton");
        QVERIFY(!editor->isCalibrating());
        QVERIFY(child<CalibrationPanel>("calibrationPanel")->isHidden());
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Error opening the default MIDI In Device!\r\n"));
        QCOMPARE(prompts.asked.first().icon, PromptService::Icon::Stop);
        QVERIFY(child<QPushButton>("sendButton")->isEnabled());
    }

    void drawing()
    {
        // The monitor: bars stand on the line labelled 0 and reach their velocity on the scale,
        // whose lines lie 11 pixels apart for every 10 units.
        VelocityHistory history;
        history.record(0x643C90);   // 100
        history.record(0x003C90);   // 0: a place, no bar
        history.record(0x7F3C90);   // 127
        history.record(0x143C90);   // 20
        QImage panel(780, MonitorPanel::designHeight, QImage::Format_RGB32);
        {
            QPainter painter(&panel);
            MonitorPanel::render(painter, panel.size(), history);
        }
        const int base = MonitorPanel::baseline(panel.height());
        QCOMPARE(base, 154);
        const QRgb yellow = qRgb(250, 250, 0);
        const auto lineOf = [base](int label) { return base - 11 * label / 10; };
        const auto top = [&](int x) {
            int y = base;
            while (y > 0 && panel.pixel(x, y - 1) == yellow)
                --y;
            return y;
        };
        QCOMPARE(lineOf(100), 44);
        QVERIFY2(qAbs(top(31) - lineOf(100)) <= 1, qPrintable(QString::number(top(31))));
        QCOMPARE(top(38), base);   // velocity 0: no bar
        // 127 stands 7.7 pixels above the line of 120; 20 on the line of 20.
        QVERIFY2(qAbs(top(45) - (lineOf(120) - 8)) <= 1, qPrintable(QString::number(top(45))));
        QVERIFY2(qAbs(top(52) - lineOf(20)) <= 1, qPrintable(QString::number(top(52))));
        QCOMPARE(panel.pixel(400, 5), qRgb(165, 160, 211));

        // The area: grid lines every 40 pixels across and 24 down, only with the grid on.
        VelocityMap areaMap{};
        CurveEditorModel model(areaMap);
        model.open();
        const QPixmap mark = CurveArea::vertexMark();
        QCOMPARE(mark.size(), QSize(12, 12));
        QImage area(CurveEditorModel::areaWidth, CurveEditorModel::areaHeight, QImage::Format_RGB32);
        auto draw = [&] {
            QPainter painter(&area);
            CurveArea::render(painter, model, mark);
        };
        draw();
        QCOMPARE(area.pixel(40, 5), qRgb(125, 125, 125));
        QCOMPARE(area.pixel(200, 24), qRgb(125, 125, 125));
        // The current curve passes through (4 s, 3 (127 - map[s])).
        QCOMPARE(area.pixel(CurveEditorModel::toX(100), CurveEditorModel::toY(areaMap[100])), yellow);
        model.gridOn = false;
        draw();
        QCOMPARE(area.pixel(40, 5), qRgb(0, 0, 0));
        // A kept curve shows in cyan where it differs from the current one.
        VelocityCurve flat;
        flat.keyNew = {0, 10, 10, 10, 10, 10, 127};
        model.keptCurves.keep(0, flat);
        model.keptCurves.toggleShown(0);
        draw();
        const VelocityMap keptMap = model.slotMap(0);
        QCOMPARE(area.pixel(CurveEditorModel::toX(50), CurveEditorModel::toY(keptMap[50])), qRgb(0, 252, 250));
    }
};

QTEST_MAIN(TestVCurveDialog)
#include "tst_VCurveDialog.moc"
