#include "core/midi/MidiSystem.h"
#include "core/panel/RangeRules.h"
#include "core/sim/InstrumentSimulator.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/library/FileLibrary.h"
#include "gui/library/TransferDialog.h"
#include "gui/panel/ChannelEdit.h"
#include "gui/panel/ControlPicture.h"
#include "gui/panel/DragList.h"
#include "gui/panel/PanelCommands.h"
#include "gui/panel/PanelEditor.h"
#include "gui/panel/RangeEdit.h"
#include "gui/panel/ValueEdit.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinLayout.h"
#include "gui/widgets/SkinResources.h"
#include "support/EditorRig.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"

#include <QAccessible>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

using TestFiles::readFile;

using Field = PanelSettings::Field;

namespace {

QStringList folderEntries(const QString &path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestPanelEditor : public QObject, EditorRig
{
    Q_OBJECT

private:
    QString text(int slot, Field field) { return panel().box(slot, field)->text(); }

    QPoint centreOf(int slot) { return SkinLayout::controlPicture(slot).center(); }

    void clickBar(SkinLayout::Button which) { QTest::mouseClick(window->button(which), Qt::LeftButton); }

    static void typeFileName(QDialog *prompt, const QString &name)
    {
        auto *edit = prompt->findChild<QLineEdit *>(QStringLiteral("name"));
        edit->selectAll();
        QTest::keyClicks(edit, name);
        QTest::mouseClick(prompt->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    static void sendAndClose(QDialog *transfer)
    {
        QTest::mouseClick(transfer->findChild<QPushButton *>(QStringLiteral("send")), Qt::LeftButton);
        QTest::mouseClick(transfer->findChild<QPushButton *>(QStringLiteral("close")), Qt::LeftButton);
    }

    static QString rangeMessage() { return QStringLiteral("please enter again,the range of name is between 0-127!!!"); }

private slots:
    void init()
    {
        QVERIFY(openEditor());
    }
    void cleanup() { closeEditor(); }

    void startsWithTheDefaults()
    {
        QCOMPARE(text(PanelSettings::Knob1, Field::Label), QStringLiteral("073"));
        QCOMPARE(text(PanelSettings::Pad1 + 1, Field::Label), QStringLiteral("E2"));
        QCOMPARE(text(PanelSettings::JoystickLeft, Field::RangeHigh), QStringLiteral("063"));
        QCOMPARE(text(PanelSettings::Pedal, Field::Channel), QStringLiteral("---"));
        QCOMPARE(panel().channelBox()->text(), QStringLiteral("01"));
        QVERIFY(panel().box(PanelSettings::Knob1, Field::Label)->isReadOnly());
        QVERIFY(!panel().box(PanelSettings::JoystickLeft, Field::Msb)->isEnabled());
        QVERIFY(!panel().box(PanelSettings::Pedal, Field::Channel)->isEnabled());
        QVERIFY(!panel().box(PanelSettings::Pad1, Field::Label)->isReadOnly());
        QCOMPARE(panel().nameList()->count(), 128);
    }

    void dropControllerOnPad()
    {
        panel().channelBox()->setText(QStringLiteral("05"));
        const int pad3 = PanelSettings::Pad1 + 2;
        dragEntry(64, centreOf(pad3), false);
        // Over the pad the picture lights up while the drag is on.
        QCOMPARE(panel().picture(pad3)->picture(), SkinResources::padPicture(2, true));
        QCOMPARE(QApplication::overrideCursor() != nullptr, true);
        const QPoint target = panel().nameList()->viewport()->mapFrom(window.get(), centreOf(pad3));
        QTest::mouseRelease(panel().nameList()->viewport(), Qt::LeftButton, {}, target);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(text(pad3, Field::Channel), QStringLiteral("005"));
        QCOMPARE(text(pad3, Field::Label), QStringLiteral("064"));
        QCOMPARE(panel().settings().fieldText(pad3, Field::Number), QStringLiteral("064"));
        // Marked: it stays lit after the drag.
        QCOMPARE(panel().picture(pad3)->picture(), SkinResources::padPicture(2, true));
        panel().storeBoxes();
        QCOMPARE(static_cast<unsigned char>(panel().settings().buildTemplateRaw().at(1)) & 0x20, 0);
    }

    void noteModeTargets()
    {
        panel().toggleListMode();
        QCOMPARE(panel().nameList()->item(60)->text(), QStringLiteral("060 C3"));
        const int pad3 = PanelSettings::Pad1 + 2;
        dragEntry(60, centreOf(pad3));
        QCOMPARE(text(pad3, Field::Label), QStringLiteral("C3"));
        panel().storeBoxes();
        QVERIFY(static_cast<unsigned char>(panel().settings().buildTemplateRaw().at(1)) & 0x20);

        // Knobs are no targets in Note mode.
        dragEntry(61, centreOf(PanelSettings::Knob1));
        QCOMPARE(text(PanelSettings::Knob1, Field::Label), QStringLiteral("073"));
        QCOMPARE(panel().settings().fieldText(PanelSettings::Knob1, Field::Number), QStringLiteral("073"));

        // The pedal keeps its CH box.
        dragEntry(62, centreOf(PanelSettings::Pedal));
        QCOMPARE(text(PanelSettings::Pedal, Field::Label), QStringLiteral("D3"));
        QCOMPARE(text(PanelSettings::Pedal, Field::Channel), QStringLiteral("---"));
    }

    // Four-character note names ("G#-2") are wider than the CC box's font allows: the box draws
    // them smaller rather than scroll the first character out of sight.
    void longNoteNamesShowWhole()
    {
        QTest::mouseClick(panel().modeButton(), Qt::LeftButton);
        QCOMPARE(panel().nameList()->item(8)->text(), QStringLiteral("008 G#-2"));
        const int pad1 = PanelSettings::Pad1;
        QLineEdit *cc = panel().box(pad1, Field::Label);
        const int fullSize = cc->font().pixelSize();
        dragEntry(8, centreOf(pad1));
        QCOMPARE(cc->text(), QStringLiteral("G#-2"));
        cc->grab();   // the box lays its text out as it paints
        const int middle = cc->height() / 2;
        QCOMPARE(cc->cursorPositionAt(QPoint(1, middle)), 0);
        QCOMPARE(cc->cursorPositionAt(QPoint(cc->width() - 2, middle)), 4);
        // The pad's boxes, four times their size, for a person to look at.
        const QRect boxes = cc->geometry().united(panel().box(pad1, Field::Channel)->geometry()).adjusted(-4, -4, 4, 4);
        window->grab(boxes).toImage().scaled(boxes.size() * 4).save(
            QDir(QStringLiteral(ZORVIK_TEST_OUTPUT)).filePath(QStringLiteral("cc-box-long-note.png")));
        // A short name gets the box's own size back.
        dragEntry(60, centreOf(pad1));
        QCOMPARE(cc->text(), QStringLiteral("C3"));
        QCOMPARE(cc->font().pixelSize(), fullSize);
    }

    void joystickZones()
    {
        const QRect joystick = SkinLayout::controlPicture(PanelSettings::JoystickUp);
        dragEntry(11, joystick.topLeft() + QPoint(joystick.width() / 2, 2));
        QCOMPARE(text(PanelSettings::JoystickUp, Field::Label), QStringLiteral("011"));
        QCOMPARE(panel().picture(PanelSettings::JoystickUp)->picture(), int(SkinResources::JoystickUp));
        dragEntry(7, joystick.bottomLeft() + QPoint(joystick.width() / 2, -2));
        QCOMPARE(text(PanelSettings::JoystickDown, Field::Label), QStringLiteral("007"));
        QCOMPARE(panel().picture(PanelSettings::JoystickUp)->picture(), int(SkinResources::JoystickBoth));
        // A drop on nothing changes nothing.
        dragEntry(9, QPoint(5, 5));
        QCOMPARE(text(PanelSettings::JoystickUp, Field::Label), QStringLiteral("011"));
    }

    // From the window as it opens: nothing is selected, though the list may have a current row.
    void firstClickDoesNotDrag()
    {
        DragList *names = panel().nameList();
        QVERIFY(names->selectedItems().isEmpty());
        const QPoint start = names->visualItemRect(names->item(3)).center();
        QTest::mousePress(names->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(names->viewport(), start + QPoint(1, 0));
        QVERIFY(!names->isDragging());
        QTest::mouseRelease(names->viewport(), Qt::LeftButton, {}, start);
        QCOMPARE(names->selectedItems().value(0), names->item(3));
        // With that entry selected, the next press and move drag it.
        QTest::mousePress(names->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(names->viewport(), start + QPoint(1, 0));
        QVERIFY(names->isDragging());
        QTest::mouseRelease(names->viewport(), Qt::LeftButton, {}, start);
        QVERIFY(!names->isDragging());
    }

    // The Channel box's step buttons sit on the skin as the bar's buttons do: around their
    // arrows the skin shows, not a button face, and the mouse lights them in any window.
    void stepButtonsSitOnTheSkin()
    {
        const qreal ratio = window->devicePixelRatioF();
        const QImage shot = window->grab().toImage();
        const QImage skin = SkinResources::pixmap(SkinResources::Skin, ratio).toImage().convertToFormat(shot.format());
        const QColor face = panel().stepUpButton()->palette().color(QPalette::Button);
        const int room = 255 - std::max({face.red(), face.green(), face.blue()});
        const int shift = std::min(60, room);
        const std::pair<SkinButton *, int> steps[] = {{panel().stepUpButton(), SkinResources::StepUpNormal},
                                                      {panel().stepDownButton(), SkinResources::StepDownNormal}};
        for (const auto &[step, pictureId] : steps) {
            QVERIFY(step->tracksAlways());
            QCOMPARE(step->colour(SkinButton::HoverBackground),
                     QColor(face.red() + shift, face.green() + shift, face.blue() + shift));
            const QImage picture = SkinResources::pixmap(pictureId, ratio).toImage();
            const QPoint origin = (QPointF(step->geometry().topLeft()) * ratio).toPoint();
            int seeThrough = 0;
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    if (qAlpha(picture.pixel(x, y)) != 0)
                        continue;
                    ++seeThrough;
                    QCOMPARE(shot.pixel(origin + QPoint(x, y)), skin.pixel(origin + QPoint(x, y)));
                }
            }
            QVERIFY(seeThrough > 0);
        }
    }

    void channelSteps()
    {
        ChannelEdit *channel = panel().channelBox();
        channel->setText(QStringLiteral("16"));
        panel().stepUpButton()->click();
        QCOMPARE(channel->text(), QStringLiteral("01"));
        panel().stepDownButton()->click();
        QCOMPARE(channel->text(), QStringLiteral("16"));
        channel->setText(QString());
        panel().stepUpButton()->click();
        QCOMPARE(channel->text(), QStringLiteral("16"));
        channel->setText(QString());
        panel().stepDownButton()->click();
        QCOMPARE(channel->text(), QStringLiteral("16"));
    }

    // A full box replaces the value it holds with what is typed into it, and what the user
    // typed is what is checked: never cut to the box's width, never dropped.
    void typingIntoAFullBox_data()
    {
        QTest::addColumn<bool>("channel");
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("end");   // End pressed after the click
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("message");
        QTest::newRow("End, 64") << false << "000" << true << "64" << "064" << false;
        QTest::newRow("click, 64") << false << "127" << false << "64" << "064" << false;
        QTest::newRow("00127") << false << "000" << false << "00127" << "127" << false;
        QTest::newRow("End, 1275") << false << "000" << true << "1275" << "001" << true;
        QTest::newRow("channel End, 7") << true << "01" << true << "7" << "07" << false;
        QTest::newRow("channel 0012") << true << "05" << false << "0012" << "12" << false;
        QTest::newRow("channel 017") << true << "05" << true << "017" << "01" << true;
    }
    void typingIntoAFullBox()
    {
        QFETCH(bool, channel);
        QFETCH(QString, start);
        QFETCH(bool, end);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, message);
        QLineEdit *edit = channel ? static_cast<QLineEdit *>(panel().channelBox())
                                  : panel().box(PanelSettings::Pad1, Field::Msb);
        edit->setText(start);
        window->activateWindow();
        QTRY_VERIFY(window->isActiveWindow());
        QTest::mouseClick(edit, Qt::LeftButton);
        QTRY_VERIFY(edit->hasFocus());
        QCOMPARE(edit->selectedText(), start);   // a click selects the value, as Tab does
        if (end)
            QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), shown);
        QCOMPARE(prompts->asked.size(), message ? 1 : 0);
        if (!channel) {
            panel().storeBoxes();
            QCOMPARE(panel().settings().fieldText(PanelSettings::Pad1, Field::Msb), shown);
        }
    }

    // Every skinned control of the window says what it is to a screen reader: a name and a
    // description, the boxes named as the undo menu names them.
    void skinnedControlsSayWhatTheyAre()
    {
        const auto said = [](QWidget *w, QAccessible::Text what) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
            return face ? face->text(what) : QString();
        };
        QList<QWidget *> skinned;
        for (auto *w : window->findChildren<SkinButton *>())
            skinned << w;
        for (auto *w : window->findChildren<RangeEdit *>())
            skinned << w;
        for (auto *w : window->findChildren<ControlPicture *>())
            skinned << w;
        skinned << panel().nameList();
        QCOMPARE(window->findChildren<RangeEdit *>().size(), PanelSettings::slotCount * 6 + 1);
        for (QWidget *w : skinned) {
            QVERIFY2(!said(w, QAccessible::Name).isEmpty(), qPrintable(w->objectName()));
            QVERIFY2(!said(w, QAccessible::Description).isEmpty(), qPrintable(w->objectName()));
        }
        QCOMPARE(said(panel().box(PanelSettings::Knob1 + 1, Field::Msb), QAccessible::Name), QStringLiteral("Knob 2 MSB"));
        QCOMPARE(said(panel().box(PanelSettings::Pedal, Field::RangeLow), QAccessible::Description),
                 QStringLiteral("Bottom of the control's range, 000 to 127"));
        QCOMPARE(said(panel().channelBox(), QAccessible::Name), QStringLiteral("Channel box"));
        QCOMPARE(said(panel().stepUpButton(), QAccessible::Name), QStringLiteral("Channel up"));
        QCOMPARE(said(panel().picture(PanelSettings::Pad1 + 2), QAccessible::Name), QStringLiteral("Pad 3"));
        QCOMPARE(said(panel().nameList(), QAccessible::Name), QStringLiteral("Controller names"));
        QCOMPARE(said(panel().modeButton(), QAccessible::Description), QStringLiteral("Shows note names in the name list"));
        QTest::mouseClick(panel().modeButton(), Qt::LeftButton);
        QCOMPARE(said(panel().nameList(), QAccessible::Name), QStringLiteral("Note names"));
        QCOMPARE(said(panel().modeButton(), QAccessible::Description),
                 QStringLiteral("Shows controller names in the name list"));
    }

    void leavingBoxes_data()
    {
        QTest::addColumn<bool>("channel");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("message");
        QTest::newRow("128") << false << "128" << "001" << true;
        QTest::newRow("127") << false << "127" << "127" << false;
        QTest::newRow("empty") << false << "" << "001" << true;
        QTest::newRow("9") << false << "9" << "009" << false;
        QTest::newRow("ch 17") << true << "17" << "01" << true;
        QTest::newRow("ch 0") << true << "0" << "01" << false;
        QTest::newRow("ch 00") << true << "00" << "01" << false;
        QTest::newRow("ch 7") << true << "7" << "07" << false;
    }
    void leavingBoxes()
    {
        QFETCH(bool, channel);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, message);
        QLineEdit *edit = channel ? static_cast<QLineEdit *>(panel().channelBox())
                                  : panel().box(PanelSettings::Pad1, Field::Msb);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->setText(typed);
        panel().box(PanelSettings::Pad1, Field::Label)->setFocus();
        QTRY_VERIFY(!edit->hasFocus());
        QCOMPARE(edit->text(), shown);
        QCOMPARE(!prompts->asked.isEmpty(), message);
        if (message)
            QVERIFY(prompts->asked.last().text.startsWith(QStringLiteral("please enter again,the range of name is between")));
    }

    void wheel_data()
    {
        QTest::addColumn<bool>("channel");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("delta");
        QTest::addColumn<QString>("after");
        QTest::newRow("127 towards") << false << "127" << -120 << "000";
        QTest::newRow("000 away") << false << "000" << 120 << "127";
        QTest::newRow("empty towards") << false << "" << -120 << "000";
        QTest::newRow("ch 16 towards") << true << "16" << -120 << "01";
        QTest::newRow("ch 01 away") << true << "01" << 120 << "16";
        // The direction decides, not the size: touchpads and high-resolution wheels send less
        // than a notch, a fast wheel more; each event is one step.
        QTest::newRow("touchpad away") << false << "064" << 15 << "063";
        QTest::newRow("fine wheel towards") << false << "064" << -40 << "065";
        QTest::newRow("two notches away at once") << false << "064" << 240 << "063";
        QTest::newRow("ch touchpad towards") << true << "16" << -8 << "01";
    }
    void wheel()
    {
        QFETCH(bool, channel);
        QFETCH(QString, before);
        QFETCH(int, delta);
        QFETCH(QString, after);
        QLineEdit *edit = channel ? static_cast<QLineEdit *>(panel().channelBox())
                                  : panel().box(PanelSettings::Knob1, Field::Lsb);
        edit->setText(before);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        QWheelEvent event(QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(edit, &event);
        QCOMPARE(edit->text(), after);
    }

    void saveDefaultsWritesExactlyTheTemplate()
    {
        const QStringList before = folderEntries(data.path(QStringLiteral("syx")));
        prompts->queue(PromptService::Answer::Yes);   // Save Setting
        prompts->queue(PromptService::Answer::No);    // Update
        ModalDriver::next([](QDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("name"))->setText(QStringLiteral("abc"));
            dialog->accept();
        });
        workspace->commands().saveAndSend();
        QCOMPARE(prompts->asked.at(0).caption, QStringLiteral("Save Setting"));
        QCOMPARE(prompts->asked.at(1).caption, QStringLiteral("Update"));
        QCOMPARE(folderEntries(data.path(QStringLiteral("syx"))), before + QStringList{"abc.syx"});
        QCOMPARE(readFile(data.path(QStringLiteral("syx/abc.syx"))), readFile(QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx")));
        // The library now shows the templates.
        QCOMPARE(workspace->library().kind(), FileKind::Template);
    }

    void noSaveButSend()
    {
        prompts->queue(PromptService::Answer::No);    // Save Setting
        prompts->queue(PromptService::Answer::Yes);   // Update
        ModalDriver::next([](QDialog *dialog) {
            dialog->findChild<QPushButton *>(QStringLiteral("send"))->click();
            dialog->accept();
        });
        workspace->commands().saveAndSend();
        QVERIFY(folderEntries(data.path(QStringLiteral("syx"))).isEmpty());
        QCOMPARE(midi->simulator().templateMemory(1), readFile(QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx")).replace(9, 1, "\x01"));
    }

    void loadThenSaveIsIdentical()
    {
        // A template that differs from the defaults everywhere the panel shows.
        PanelSettings other;
        other.storeField(PanelSettings::Pad1 + 4, Field::Label, QStringLiteral("064"));
        other.setAssignment(PanelSettings::Pad1 + 4, QStringLiteral("064"));
        other.storeField(PanelSettings::Knob1 + 7, Field::RangeLow, QStringLiteral("012"));
        QFile file(data.path(QStringLiteral("syx/mine.syx")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(other.buildTemplateSysEx());
        file.close();

        workspace->commands().loadTemplate(QStringLiteral("mine.syx"));
        QCOMPARE(text(PanelSettings::Knob1 + 7, Field::RangeLow), QStringLiteral("012"));
        panel().storeBoxes();
        QVERIFY(workspace->commands().saveTemplate(QStringLiteral("again")));
        QCOMPARE(readFile(data.path(QStringLiteral("syx/again.syx"))), readFile(data.path(QStringLiteral("syx/mine.syx"))));
        QVERIFY(QFile::exists(data.path(QStringLiteral("syx/mine.syx"))));
    }

    void badTemplatesLeaveThePanel()
    {
        QFile file(data.path(QStringLiteral("syx/short.syx")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(13, '\x01'));
        file.close();
        panel().box(PanelSettings::Pad1, Field::Msb)->setText(QStringLiteral("055"));
        workspace->commands().loadTemplate(QStringLiteral("short.syx"));
        QCOMPARE(text(PanelSettings::Pad1, Field::Msb), QStringLiteral("055"));
        QVERIFY(prompts->asked.last().text.contains(QStringLiteral("not a template")));
        workspace->commands().loadTemplate(QStringLiteral("absent.syx"));
        QCOMPARE(prompts->asked.last().text, QStringLiteral("The file has mangled!"));
    }

    void defaultAnsweredNoChangesNothing()
    {
        panel().box(PanelSettings::Pad1, Field::Msb)->setText(QStringLiteral("055"));
        panel().channelBox()->setText(QStringLiteral("09"));
        prompts->queue(PromptService::Answer::No);
        workspace->commands().resetToDefaults();
        QCOMPARE(text(PanelSettings::Pad1, Field::Msb), QStringLiteral("055"));
        prompts->queue(PromptService::Answer::Yes);
        workspace->commands().resetToDefaults();
        QCOMPARE(text(PanelSettings::Pad1, Field::Msb), QStringLiteral("000"));
        QCOMPARE(panel().channelBox()->text(), QStringLiteral("09"));
        QCOMPARE(prompts->asked.last().caption, QStringLiteral("Default"));
    }

    void receiveLoadsTheDump()
    {
        // The instrument holds a template whose pedal MSB is 100.
        PanelSettings other;
        other.storeField(PanelSettings::Pedal, Field::Msb, QStringLiteral("100"));
        midi->simulator().receive(other.buildTemplateSysEx());
        ModalDriver::next([this](QDialog *dialog) {
            midi->simulator().sendDump();
            QTRY_VERIFY(dialog->findChild<QPushButton *>(QString(), Qt::FindChildrenRecursively) != nullptr);
            QTRY_COMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("count"))->text(), QStringLiteral("162"));
            for (auto *button : dialog->findChildren<QPushButton *>())
                if (button->text() == QStringLiteral("Load"))
                    button->click();
        });
        workspace->commands().receiveAndLoad();
        QCOMPARE(text(PanelSettings::Pedal, Field::Msb), QStringLiteral("100"));
        QVERIFY(!QFile::exists(data.path(QStringLiteral("syx/kovat.dat"))));
    }

    // A name of blanks alone is refused as the empty name is, in SAVE's prompt and in the
    // receive window: nothing is written.
    void blankNamesAreRefused()
    {
        using B = SkinLayout::Button;
        const QStringList before = folderEntries(data.path(QStringLiteral("syx")));
        prompts->queue(PromptService::Answer::Yes);   // Save Setting
        QString shownAgain;
        ModalDriver::next([](QDialog *d) { typeFileName(d, QStringLiteral("   ")); });
        ModalDriver::next([&shownAgain](QDialog *d) {
            shownAgain = d->findChild<QLineEdit *>(QStringLiteral("name"))->text();
            d->reject();
        });
        prompts->queue(PromptService::Answer::Ok);    // Please enter the file name.
        prompts->queue(PromptService::Answer::No);    // Update
        clickBar(B::Save);
        QTRY_VERIFY(ModalDriver::idle());
        QCOMPARE(prompts->asked.size(), 3);
        QCOMPARE(prompts->asked.at(1).text, QStringLiteral("Please enter the file name."));
        QCOMPARE(shownAgain, QStringLiteral("   "));   // to be corrected, not retyped

        prompts->asked.clear();
        QString status;
        ModalDriver::next([this, &status](QDialog *dialog) {
            midi->simulator().sendDump();
            auto *save = dialog->findChild<QPushButton *>(QStringLiteral("save"));
            QTRY_VERIFY(save->isEnabled());
            QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("fileName")), QStringLiteral("   "));
            QTest::mouseClick(save, Qt::LeftButton);
            status = dialog->findChild<QLabel *>(QStringLiteral("status"))->text();
            dialog->reject();
        });
        clickBar(B::Receive);
        QTRY_VERIFY(ModalDriver::idle());
        QCOMPARE(prompts->asked.size(), 1);
        QCOMPARE(prompts->asked.first().text, QStringLiteral("Please enter the file name."));
        QCOMPARE(status, QStringLiteral("Have't the file name, please entern file name!"));
        QCOMPARE(folderEntries(data.path(QStringLiteral("syx"))), before);
    }

    // A click on the bar or a command's shortcut leaves the focus in the box being typed into:
    // each command that reads the panel checks that box first, as leaving it would.
    void typedValueIsCheckedBeforeACommand()
    {
        using B = SkinLayout::Button;
        QLineEdit *msb = panel().box(PanelSettings::Knob1, Field::Msb);
        typeInto(msb, QStringLiteral("12"));
        prompts->queue(PromptService::Answer::Yes);   // Save Setting
        prompts->queue(PromptService::Answer::Yes);   // Update
        ModalDriver::next([](QDialog *d) { typeFileName(d, QStringLiteral("abc")); });
        ModalDriver::next(sendAndClose);
        clickBar(B::Save);
        QCOMPARE(msb->text(), QStringLiteral("012"));
        PanelSettings expected;
        expected.storeField(PanelSettings::Knob1, Field::Msb, QStringLiteral("012"));
        const QByteArray bytes = expected.buildTemplateSysEx();
        QCOMPARE(readFile(data.path(QStringLiteral("syx/abc.syx"))), bytes);
        QCOMPARE(midi->simulator().templateMemory(1), QByteArray(bytes).replace(9, 1, "\x01"));
        QCOMPARE(prompts->asked.size(), 2);   // the two questions, no range message

        // A value out of range is corrected, its message shown, and the command stops there,
        // given by a click or by its shortcut with the focus still in the box.
        const int received = int(midi->simulator().received().size());
        const QStringList files = folderEntries(data.path(QStringLiteral("syx")));
        const QList<std::function<void()>> commands{
            [this] { clickBar(B::Save); },
            [this] { clickBar(B::Default); },
            [this] { clickBar(B::Receive); },
            [msb] { QTest::keySequence(msb, QKeySequence(Qt::CTRL | Qt::Key_S)); },
            [msb] { QTest::keySequence(msb, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)); },
            [msb] { QTest::keySequence(msb, QKeySequence(Qt::CTRL | Qt::Key_R)); },
        };
        for (const auto &command : commands) {
            prompts->asked.clear();
            typeInto(msb, QStringLiteral("200"));
            // A dialog opened by mistake is closed at once and noted.
            bool dialogOpened = false;
            QTimer watch;
            connect(&watch, &QTimer::timeout, this, [&] {
                if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                    dialogOpened = true;
                    dialog->reject();
                }
            });
            watch.start(20);
            command();
            QTest::qWait(60);
            QVERIFY(!dialogOpened);
            QCOMPARE(prompts->asked.size(), 1);
            QCOMPARE(prompts->asked.first().text, rangeMessage());
            QCOMPARE(msb->text(), QStringLiteral("001"));
        }
        QCOMPARE(folderEntries(data.path(QStringLiteral("syx"))), files);
        QCOMPARE(int(midi->simulator().received().size()), received);

        // A single digit is taken too, not dropped: 7 goes out as 007.
        QLineEdit *lsb = panel().box(PanelSettings::Pad1, Field::Lsb);
        typeInto(lsb, QStringLiteral("7"));
        prompts->asked.clear();
        prompts->queue(PromptService::Answer::No);    // Save Setting
        prompts->queue(PromptService::Answer::Yes);   // Update
        ModalDriver::next(sendAndClose);
        clickBar(B::Save);
        QCOMPARE(lsb->text(), QStringLiteral("007"));
        expected.storeField(PanelSettings::Knob1, Field::Msb, QStringLiteral("001"));
        expected.storeField(PanelSettings::Pad1, Field::Lsb, QStringLiteral("007"));
        QCOMPARE(midi->simulator().templateMemory(1), expected.buildTemplateSysEx().replace(9, 1, "\x01"));

        // By the keyboard alone: Tab leaves the box (checked as leaving it is) and goes on to
        // SAVE, Space presses it.
        QLineEdit *high = panel().box(PanelSettings::Pedal, Field::RangeHigh);
        typeInto(high, QStringLiteral("33"));
        prompts->asked.clear();
        SkinButton *save = window->button(B::Save);
        for (int i = 0; i < 300 && !save->hasFocus(); ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(save->hasFocus());
        QVERIFY(window->grab().save(QDir(QStringLiteral(ZORVIK_TEST_OUTPUT)).filePath(QStringLiteral("main-window-keyboard.png"))));
        QCOMPARE(high->text(), QStringLiteral("033"));
        QVERIFY(prompts->asked.isEmpty());
        prompts->queue(PromptService::Answer::No);    // Save Setting
        prompts->queue(PromptService::Answer::Yes);   // Update
        ModalDriver::next(sendAndClose);
        QTest::keyClick(save, Qt::Key_Space);
        QTRY_VERIFY(ModalDriver::idle());
        QCOMPARE(prompts->asked.size(), 2);
        expected.storeField(PanelSettings::Pedal, Field::RangeHigh, QStringLiteral("033"));
        QCOMPARE(midi->simulator().templateMemory(1), expected.buildTemplateSysEx().replace(9, 1, "\x01"));
    }

    // Enter in a box takes the value as leaving it does and ends nothing.
    void enterInABoxKeepsTheProgram()
    {
        QSignalSpy finished(window.get(), &QDialog::finished);
        QLineEdit *msb = panel().box(PanelSettings::Pad1, Field::Msb);
        typeInto(msb, QStringLiteral("42"));
        QTest::keyClick(msb, Qt::Key_Return);
        QCOMPARE(msb->text(), QStringLiteral("042"));
        typeInto(msb, QStringLiteral("300"));
        QTest::keyClick(msb, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(msb->text(), QStringLiteral("001"));
        QCOMPARE(prompts->asked.size(), 1);
        QCOMPARE(prompts->asked.first().text, rangeMessage());
        QLineEdit *channel = panel().channelBox();
        typeInto(channel, QStringLiteral("7"));
        QTest::keyClick(channel, Qt::Key_Return);
        QCOMPARE(channel->text(), QStringLiteral("07"));
        QLineEdit *cc = panel().box(PanelSettings::Pad1, Field::Label);
        typeInto(cc, QStringLiteral("64"));
        QTest::keyClick(cc, Qt::Key_Return);
        QCOMPARE(finished.count(), 0);
        QVERIFY(window->isVisible());
        QCOMPARE(prompts->asked.size(), 1);
    }

    // Closing asks only while the panel holds changes that were neither saved, sent nor loaded.
    void quittingWithUnsavedChangesAsks()
    {
        using B = SkinLayout::Button;
        QSignalSpy finished(window.get(), &QDialog::finished);
        const auto reopen = [this] {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        };
        // Untouched: Esc closes at once.
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QVERIFY(prompts->asked.isEmpty());
        reopen();

        // A value still being typed is a change: Esc from the box asks, No keeps the program.
        QLineEdit *msb = panel().box(PanelSettings::Pad1, Field::Msb);
        typeInto(msb, QStringLiteral("42"));
        prompts->queue(PromptService::Answer::No);
        QTest::keyClick(msb, Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(prompts->asked.size(), 1);
        QCOMPARE(prompts->asked.first().text, QStringLiteral("Quit without saving the panel?"));
        QCOMPARE(prompts->asked.first().buttons, PromptService::Buttons::YesNo);
        QCOMPARE(msb->text(), QStringLiteral("042"));
        // The window manager's close asks too; Yes ends the program.
        prompts->queue(PromptService::Answer::Yes);
        QVERIFY(window->close());
        QCOMPARE(finished.count(), 2);
        QCOMPARE(prompts->asked.size(), 2);
        reopen();

        // Saved: nothing to ask.
        prompts->asked.clear();
        prompts->queue(PromptService::Answer::Yes);   // Save Setting
        prompts->queue(PromptService::Answer::No);    // Update
        ModalDriver::next([](QDialog *d) { typeFileName(d, QStringLiteral("mine")); });
        clickBar(B::Save);
        QTest::mouseClick(window->button(B::Close), Qt::LeftButton);
        QCOMPARE(finished.count(), 3);
        QCOMPARE(prompts->asked.size(), 2);
        reopen();

        // Changed back to what was saved: nothing to ask either. Default from a loaded panel
        // that is not the defaults is a change.
        typeInto(msb, QStringLiteral("5"));
        typeInto(msb, QStringLiteral("42"));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(finished.count(), 4);
        reopen();
        prompts->queue(PromptService::Answer::Yes);   // Default
        clickBar(B::Default);
        QCOMPARE(msb->text(), QStringLiteral("000"));
        prompts->queue(PromptService::Answer::No);
        QTest::mouseClick(window->button(B::Close), Qt::LeftButton);
        QCOMPARE(finished.count(), 4);
        QCOMPARE(prompts->asked.last().text, PanelCommands::quitQuestion);

        // Sent: nothing to ask.
        prompts->queue(PromptService::Answer::No);    // Save Setting
        prompts->queue(PromptService::Answer::Yes);   // Update
        ModalDriver::next(sendAndClose);
        clickBar(B::Save);
        const int asked = int(prompts->asked.size());
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(finished.count(), 5);
        QCOMPARE(int(prompts->asked.size()), asked);
        reopen();

        // Loaded: nothing to ask.
        typeInto(msb, QStringLiteral("99"));
        workspace->commands().loadTemplate(QStringLiteral("mine.syx"));
        QCOMPARE(msb->text(), QStringLiteral("042"));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(finished.count(), 6);
        QCOMPARE(int(prompts->asked.size()), asked);
    }

    // The picture of the pad under a drag lights up; the picture of the window in the middle of
    // the drag is the documents' main-window-drag.png.
    void dragLightsThePadUnderIt()
    {
        workspace->library().showKind(FileKind::Template);
        const int pad5 = PanelSettings::Pad1 + 4;
        dragEntry(64, centreOf(pad5), false);
        const QImage image = window->grab().toImage();
        image.save(QDir(QStringLiteral(ZORVIK_TEST_OUTPUT)).filePath(QStringLiteral("main-window-drag.png")));
        // The lit pad picture is drawn where the pad sits.
        QCOMPARE(panel().picture(pad5)->picture(), SkinResources::padPicture(4, true));
        const QPoint target = panel().nameList()->viewport()->mapFrom(window.get(), centreOf(pad5));
        QTest::mouseRelease(panel().nameList()->viewport(), Qt::LeftButton, {}, target);
    }
};

QTEST_MAIN(TestPanelEditor)
#include "tst_PanelEditor.moc"
