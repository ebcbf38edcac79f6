#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/panel/PanelStep.h"
#include "core/sim/InstrumentSimulator.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/panel/ChannelEdit.h"
#include "gui/panel/ControlPicture.h"
#include "gui/panel/DragList.h"
#include "gui/panel/PanelCommands.h"
#include "gui/panel/PanelEditor.h"
#include "gui/panel/PanelHistory.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinLayout.h"
#include "gui/widgets/SkinResources.h"
#include "support/EditorRig.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <memory>

using TestFiles::readFile;

using Field = PanelSettings::Field;
using B = SkinLayout::Button;

namespace {

// Every file of the library with its bytes and time: what undo and redo must never touch.
QStringList libraryFiles(const LibraryLocation &library)
{
    QStringList files;
    QDirIterator it(library.root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files << path + QLatin1Char(' ') + QString::number(QFileInfo(path).lastModified().toMSecsSinceEpoch())
                     + QLatin1Char(' ') + QString::fromLatin1(readFile(path).toHex());
    }
    files.sort();
    return files;
}

} // namespace

class TestPanelHistory : public QObject, EditorRig
{
    Q_OBJECT

private:
    QUndoStack &stack() { return panel().history().stack(); }
    QLineEdit *box(int slot, Field field) { return panel().box(slot, field); }
    QString text(int slot, Field field) { return box(slot, field)->text(); }
    QString undoText() { return panel().history().undoAction()->text(); }
    QString redoText() { return panel().history().redoAction()->text(); }
    int sent() { return int(midi->simulator().received().size()); }

    void dragEntry(int row, int slot)
    {
        panel().nameList()->setFocus();
        EditorRig::dragEntry(row, SkinLayout::controlPicture(slot).center());
    }

    void wheel(QLineEdit *edit, int delta)
    {
        QWheelEvent event(QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(edit, &event);
    }

    // The keys go where the focus is, as a person's do.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        // The offscreen platform does not hand activation back when a dialog closes.
        window->activateWindow();
        QTRY_VERIFY(window->isActiveWindow());
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, key, modifiers);
    }
    void undoKey() { press(Qt::Key_Z, Qt::ControlModifier); }

    void save(const QString &name)
    {
        prompts->queue(PromptService::Answer::Yes);   // Save Setting
        prompts->queue(PromptService::Answer::No);    // Update
        ModalDriver::next([name](QDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("name"))->setText(name);
            dialog->accept();
        });
        QTest::mouseClick(window->button(B::Save), Qt::LeftButton);
        QVERIFY(QFile::exists(data.path(QStringLiteral("syx/")) + name + QStringLiteral(".syx")));
    }

    // Esc closes at once when the panel holds nothing unsaved (the unused answer then goes);
    // else the quit question is answered No and the window stays.
    bool quitAsks()
    {
        const int asked = int(prompts->asked.size());
        prompts->queue(PromptService::Answer::No);
        QTest::keyClick(window.get(), Qt::Key_Escape);
        const bool askedNow = int(prompts->asked.size()) > asked;
        if (!askedNow)
            prompts->script.clear();
        return askedNow;
    }
    void reopen()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

private slots:
    void init()
    {
        QVERIFY(openEditor());
    }
    void cleanup() { closeEditor(); }

    // The saved template after a drag and its undo is the one saved before the drag, byte for
    // byte; undo and redo send nothing and write nothing.
    void undoAfterADragRestoresTheTemplate()
    {
        const int pad3 = PanelSettings::Pad1 + 2;
        QVERIFY(!stack().canUndo());
        QCOMPARE(undoText(), QStringLiteral("Undo"));
        QVERIFY(!panel().history().undoAction()->isEnabled());
        typeInto(box(pad3, Field::Msb), QStringLiteral("99"));
        save(QStringLiteral("before"));
        QCOMPARE(text(pad3, Field::Msb), QStringLiteral("099"));

        panel().channelBox()->setText(QStringLiteral("05"));
        dragEntry(64, pad3);
        QCOMPARE(text(pad3, Field::Channel), QStringLiteral("005"));
        QCOMPARE(text(pad3, Field::Label), QStringLiteral("064"));
        QCOMPARE(undoText(), QStringLiteral("Undo Assignment of 064 Damper pedal(Sustain) to Pad 3"));
        QCOMPARE(panel().picture(pad3)->picture(), SkinResources::padPicture(2, true));

        const int sentBefore = sent();
        const QStringList files = libraryFiles(data.location());
        undoKey();
        QCOMPARE(text(pad3, Field::Channel), QStringLiteral("001"));
        QCOMPARE(text(pad3, Field::Label), QStringLiteral("F#2"));
        QCOMPARE(panel().settings().fieldText(pad3, Field::Number), QStringLiteral("054"));
        QCOMPARE(panel().picture(pad3)->picture(), SkinResources::padPicture(2, false));
        QCOMPARE(redoText(), QStringLiteral("Redo Assignment of 064 Damper pedal(Sustain) to Pad 3"));
        QCOMPARE(undoText(), QStringLiteral("Undo Pad 3 MSB"));

        // Redo by both keys, undoing in between.
        press(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(text(pad3, Field::Label), QStringLiteral("064"));
        QCOMPARE(panel().picture(pad3)->picture(), SkinResources::padPicture(2, true));
        undoKey();
        press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(panel().settings().fieldText(pad3, Field::Number), QStringLiteral("064"));
        undoKey();
        QCOMPARE(sent(), sentBefore);
        QCOMPARE(libraryFiles(data.location()), files);

        save(QStringLiteral("after"));
        QCOMPARE(readFile(data.path(QStringLiteral("syx/after.syx"))), readFile(data.path(QStringLiteral("syx/before.syx"))));
    }

    // A value is a step when it is accepted, as the box's checks leave it; typing inside a box
    // is undone by the box itself first.
    void typedValuesAreStepsWhenAccepted()
    {
        const int knob3 = PanelSettings::Knob1 + 2;
        QLineEdit *msb = box(knob3, Field::Msb);
        typeInto(msb, QStringLiteral("42"));
        QVERIFY(!stack().canUndo());   // not yet accepted
        QTest::keyClick(msb, Qt::Key_Return);
        QCOMPARE(stack().count(), 1);
        QCOMPARE(undoText(), QStringLiteral("Undo Knob 3 MSB"));

        // Out of range: corrected, the message shown, the corrected value recorded.
        typeInto(msb, QStringLiteral("200"));
        QTest::keyClick(msb, Qt::Key_Return);
        QCOMPARE(prompts->asked.size(), 1);
        QCOMPARE(msb->text(), QStringLiteral("001"));
        QCOMPARE(stack().count(), 2);
        // Refused where the box already held the corrected value: nothing changed, no step.
        typeInto(msb, QStringLiteral("300"));
        QTest::keyClick(msb, Qt::Key_Return);
        QCOMPARE(prompts->asked.size(), 2);
        QCOMPARE(stack().count(), 2);

        // Ctrl+Z while typing undoes the typing in the box; once the box has nothing of its own
        // left, it undoes the panel's last step.
        typeInto(msb, QStringLiteral("7"));
        undoKey();
        QCOMPARE(msb->text(), QStringLiteral("001"));
        QCOMPARE(stack().count(), 2);
        QCOMPARE(stack().index(), 2);
        undoKey();
        QCOMPARE(msb->text(), QStringLiteral("042"));
        undoKey();
        QCOMPARE(msb->text(), QStringLiteral("000"));
        QVERIFY(!stack().canUndo());

        // A CC box takes what is typed; leaving it is the step. Typing anew drops what could be
        // redone.
        QLineEdit *cc = box(PanelSettings::Pedal, Field::Label);
        typeInto(cc, QStringLiteral("11"));
        panel().nameList()->setFocus();
        QTRY_VERIFY(!cc->hasFocus());
        QCOMPARE(undoText(), QStringLiteral("Undo Pedal CC"));
        QVERIFY(!stack().canRedo());
        QCOMPARE(stack().count(), 1);
    }

    // A refused value's message box takes the focus from the box the user went to, which is
    // then checked too; the step still names the box whose value changed.
    void refusedValueNamesItsOwnBox_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("click");
        QTest::newRow("MSB, Tab") << int(Field::Msb) << false;
        QTest::newRow("MSB, click on Knob 3 MSB") << int(Field::Msb) << true;
        QTest::newRow("RANGE high, Tab") << int(Field::RangeHigh) << false;
    }
    void refusedValueNamesItsOwnBox()
    {
        QFETCH(int, field);
        QFETCH(bool, click);
        closeEditor();
        QVERIFY(openEditor(true, true));
        const int knob2 = PanelSettings::Knob1 + 1;
        QLineEdit *edit = box(knob2, Field(field));
        const QString before = edit->text();
        typeInto(edit, QStringLiteral("300"));
        QString message;
        ModalDriver::next([&message](QDialog *dialog) {
            message = dialog->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
            QTest::keyClick(dialog, Qt::Key_Return);   // OK
        });
        if (click)
            QTest::mouseClick(box(PanelSettings::Knob1 + 2, Field::Msb), Qt::LeftButton);
        else
            QTest::keyClick(edit, Qt::Key_Tab);
        QTRY_VERIFY(ModalDriver::idle());
        QCOMPARE(message, QStringLiteral("please enter again,the range of name is between 0-127!!!"));
        QCOMPARE(edit->text(), QStringLiteral("001"));
        QCOMPARE(stack().count(), 1);
        QCOMPARE(undoText(), QStringLiteral("Undo ") + PanelStep::boxName(knob2, Field(field)));
        undoKey();
        QCOMPARE(edit->text(), before);
        QVERIFY(!stack().canUndo());
    }

    // The wheel turned over one box within one focus of it is one step; so are the Channel
    // box's buttons clicked one after the other.
    void burstsAreOneStep()
    {
        QLineEdit *lsb = box(PanelSettings::Knob1, Field::Lsb);
        lsb->setFocus();
        QTRY_VERIFY(lsb->hasFocus());
        for (int i = 0; i < 3; ++i)
            wheel(lsb, -120);
        QCOMPARE(lsb->text(), QStringLiteral("003"));
        QCOMPARE(stack().count(), 1);
        QCOMPARE(undoText(), QStringLiteral("Undo Knob 1 LSB"));
        // Turned back to where it started: no step is left.
        for (int i = 0; i < 3; ++i)
            wheel(lsb, 120);
        QCOMPARE(lsb->text(), QStringLiteral("000"));
        QVERIFY(!stack().canUndo());
        wheel(lsb, -120);
        QCOMPARE(stack().count(), 1);

        // A new focus is a new burst.
        panel().nameList()->setFocus();
        QTRY_VERIFY(!lsb->hasFocus());
        lsb->setFocus();
        QTRY_VERIFY(lsb->hasFocus());
        wheel(lsb, -120);
        wheel(lsb, -120);
        QCOMPARE(stack().count(), 2);
        undoKey();
        QCOMPARE(lsb->text(), QStringLiteral("001"));

        // The Channel box's buttons.
        for (int i = 0; i < 4; ++i)
            panel().stepUpButton()->click();
        QCOMPARE(panel().channelBox()->text(), QStringLiteral("05"));
        QCOMPARE(stack().count(), 2);
        QCOMPARE(undoText(), QStringLiteral("Undo Channel box"));
        undoKey();
        QCOMPARE(panel().channelBox()->text(), QStringLiteral("01"));
        QCOMPARE(lsb->text(), QStringLiteral("001"));
    }

    void commandsAreSteps()
    {
        const int pedal = PanelSettings::Pedal;
        PanelSettings other;
        other.storeField(pedal, Field::Msb, QStringLiteral("100"));
        QFile file(data.path(QStringLiteral("syx/live.syx")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(other.buildTemplateSysEx());
        file.close();

        // Load.
        workspace->commands().loadTemplate(QStringLiteral("live.syx"));
        QCOMPARE(text(pedal, Field::Msb), QStringLiteral("100"));
        QCOMPARE(undoText(), QStringLiteral("Undo Load of live.syx"));

        // Received from the instrument.
        other.storeField(pedal, Field::Msb, QStringLiteral("101"));
        midi->simulator().receive(other.buildTemplateSysEx());
        ModalDriver::next([this](QDialog *dialog) {
            midi->simulator().sendDump();
            QTRY_COMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("count"))->text(), QStringLiteral("162"));
            for (auto *button : dialog->findChildren<QPushButton *>())
                if (button->text() == QStringLiteral("Load"))
                    button->click();
        });
        workspace->commands().receiveAndLoad();
        QCOMPARE(text(pedal, Field::Msb), QStringLiteral("101"));
        QCOMPARE(undoText(), QStringLiteral("Undo Load of the received dump"));

        // Default, asked first; No is no step.
        prompts->queue(PromptService::Answer::No);
        workspace->commands().resetToDefaults();
        QCOMPARE(stack().count(), 2);
        prompts->queue(PromptService::Answer::Yes);
        workspace->commands().resetToDefaults();
        QCOMPARE(text(pedal, Field::Msb), QStringLiteral("000"));
        QCOMPARE(undoText(), QStringLiteral("Undo Default"));
        QCOMPARE(stack().count(), 3);

        // All the way back and forth: nothing sent, nothing written, no question asked.
        const int sentBefore = sent();
        const QStringList files = libraryFiles(data.location());
        const int asked = int(prompts->asked.size());
        undoKey();
        QCOMPARE(text(pedal, Field::Msb), QStringLiteral("101"));
        undoKey();
        QCOMPARE(text(pedal, Field::Msb), QStringLiteral("100"));
        undoKey();
        QCOMPARE(text(pedal, Field::Msb), QStringLiteral("000"));
        QCOMPARE(redoText(), QStringLiteral("Redo Load of live.syx"));
        for (int i = 0; i < 3; ++i)
            press(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(text(pedal, Field::Msb), QStringLiteral("000"));
        QCOMPARE(undoText(), QStringLiteral("Undo Default"));
        QCOMPARE(sent(), sentBefore);
        QCOMPARE(libraryFiles(data.location()), files);
        QCOMPARE(int(prompts->asked.size()), asked);
    }

    // Undoing back to what was saved, sent or loaded leaves nothing unsaved.
    void undoKeepsTheQuitQuestionRight()
    {
        QLineEdit *msb = box(PanelSettings::Pad1, Field::Msb);
        typeInto(msb, QStringLiteral("42"));
        QTest::keyClick(msb, Qt::Key_Return);
        QVERIFY(panel().hasUnsavedChanges());
        undoKey();
        QVERIFY(!panel().hasUnsavedChanges());
        QVERIFY(!quitAsks());
        reopen();
        press(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(msb->text(), QStringLiteral("042"));
        QVERIFY(quitAsks());
        QCOMPARE(prompts->asked.last().text, PanelCommands::quitQuestion);

        save(QStringLiteral("mine"));
        QVERIFY(!panel().hasUnsavedChanges());
        QVERIFY(stack().isClean());
        undoKey();
        QVERIFY(panel().hasUnsavedChanges());
        press(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(!panel().hasUnsavedChanges());
        QVERIFY(stack().isClean());
        QVERIFY(!quitAsks());
    }

    void bandMenuShowsUndoAndRedo()
    {
        const int pad5 = PanelSettings::Pad1 + 4;
        dragEntry(64, pad5);
        typeInto(box(PanelSettings::Knob1 + 2, Field::Msb), QStringLiteral("42"));
        QTest::keyClick(box(PanelSettings::Knob1 + 2, Field::Msb), Qt::Key_Return);
        undoKey();

        std::unique_ptr<QMenu> menu(window->createBandMenu(window.get()));
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.at(0)->text(), QStringLiteral("Undo Assignment of 064 Damper pedal(Sustain) to Pad 5"));
        QCOMPARE(actions.at(0)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("Redo Knob 3 MSB"));
        QCOMPARE(actions.at(1)->shortcuts(), QList<QKeySequence>({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                                                  QKeySequence(Qt::CTRL | Qt::Key_Y)}));
        QVERIFY(actions.at(2)->isSeparator());
        QCOMPARE(actions.at(3)->text(), QStringLiteral("Save"));   // the bar's commands follow

        // The window with its menu open over the top band, as the user sees it.
        const QPoint at(300, 20);
        menu->popup(window->mapToGlobal(at));
        QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
        QImage shot = window->grab().toImage();
        {
            QPainter painter(&shot);
            painter.drawPixmap(window->mapFromGlobal(menu->pos()), menu->grab());
        }
        QVERIFY(shot.save(QDir(QStringLiteral(ZORVIK_TEST_OUTPUT)).filePath(QStringLiteral("undo-menu.png"))));
        menu->hide();

        // The menu's entries act as the keys do.
        actions.at(1)->trigger();
        QCOMPARE(text(PanelSettings::Knob1 + 2, Field::Msb), QStringLiteral("042"));
        actions.at(0)->trigger();
        QCOMPARE(text(PanelSettings::Knob1 + 2, Field::Msb), QStringLiteral("000"));
        actions.at(0)->trigger();
        QCOMPARE(text(pad5, Field::Label), QStringLiteral("G2"));
        QVERIFY(!actions.at(0)->isEnabled());
        QCOMPARE(actions.at(0)->text(), QStringLiteral("Undo"));
    }
};

QTEST_MAIN(TestPanelHistory)
#include "tst_PanelHistory.moc"
