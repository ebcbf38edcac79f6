#include "core/panel/PanelComparison.h"
#include "gui/library/FileLibrary.h"
#include "gui/panel/PanelCommands.h"
#include "gui/panel/PanelComparisonWindow.h"
#include "gui/panel/PanelHistory.h"
#include "support/EditorRig.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using Field = PanelSettings::Field;
using TestFiles::writeFile;

// "Compare with panel" and the receive window's "Compare": the boxes that differ are framed
// and carry the template's value, the differences are listed, and nothing changes on the panel
// until the user loads. Driven through the library's menu and the windows' buttons.
class TestPanelComparisonWindow : public QObject, public EditorRig
{
    Q_OBJECT

    void writeTemplate(const QString &name, PanelSettings settings)
    {
        writeFile(data.path(QStringLiteral("syx/")) + name, settings.buildTemplateSysEx());
    }

    // Double click the template in the library list and choose "Compare with panel".
    PanelComparisonWindow *compareWith(const QString &name)
    {
        workspace->library().showKind(FileKind::Template);
        QListWidget *list = workspace->library().fileList();
        const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
        if (found.isEmpty())
            return nullptr;
        QTimer::singleShot(50, [] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions()) {
                if (action->text() == QStringLiteral("Compare with &panel"))
                    menu->setActiveAction(action);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
        const QPoint at = list->visualItemRect(found.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        if (!QTest::qWaitFor([this] { return workspace->commands().comparisonWindow() != nullptr; }, 2000))
            return nullptr;
        return workspace->commands().comparisonWindow();
    }

    static QStringList lines(const PanelComparisonWindow *window)
    {
        QStringList shown;
        for (int i = 0; i < window->differenceList()->count(); ++i)
            shown << window->differenceList()->item(i)->text();
        return shown;
    }

    static void screenshot(QWidget *widget, const QString &name)
    {
        // For a person to look at: ZORVIK_SCREENSHOTS names the folder.
        const QString folder = qEnvironmentVariable("ZORVIK_SCREENSHOTS");
        if (!folder.isEmpty())
            widget->grab().save(folder + QLatin1Char('/') + name);
    }

private slots:
    void init() { QVERIFY(openEditor()); }
    void cleanup() { closeEditor(); }

    // One box differs: framed, the file's value in its tool tip, one line in the window. The
    // marks follow the panel: typed to the file's value the box is no longer marked, undone it
    // is again. Load takes the file and the marks go.
    void oneBoxDiffers()
    {
        const QString onPanel = panel().box(PanelSettings::Knob1 + 2, Field::Msb)->text();
        QVERIFY(onPanel != QStringLiteral("071"));
        PanelSettings file;
        file.storeField(PanelSettings::Knob1 + 2, Field::Msb, QStringLiteral("071"));
        writeTemplate(QStringLiteral("knob3.syx"), file);
        const PanelState before = panel().state();

        PanelComparisonWindow *compared = compareWith(QStringLiteral("knob3.syx"));
        QVERIFY(compared);
        QTRY_VERIFY(compared->isVisible());
        QCOMPARE(lines(compared), QStringList{QStringLiteral("Knob 3 MSB: %1 on the panel, 071 in the file").arg(onPanel)});
        QCOMPARE(compared->summaryText()->text(), QStringLiteral("1 box differs between the panel and \"knob3.syx\":"));
        QLineEdit *box = panel().box(PanelSettings::Knob1 + 2, Field::Msb);
        QCOMPARE(compared->markedBoxes(), QList<QLineEdit *>{box});
        QVERIFY(box->toolTip().endsWith(QStringLiteral("In the file: 071")));
        const QList<QWidget *> frames = window->findChildren<QWidget *>(PanelComparisonWindow::frameObjectName());
        QCOMPARE(frames.size(), 1);
        QVERIFY(frames.first()->isVisible());
        QVERIFY(frames.first()->geometry().contains(box->geometry()));
        QVERIFY(panel().state().looksLike(before));   // nothing changed
        screenshot(window.get(), QStringLiteral("panel-compared.png"));
        screenshot(compared, QStringLiteral("compare-with-panel.png"));

        typeInto(box, QStringLiteral("071"));
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(compared->markedBoxes().isEmpty());
        QCOMPARE(compared->summaryText()->text(),
                 QStringLiteral("The panel holds what \"knob3.syx\" holds: nothing differs."));
        QVERIFY(!compared->loadButton()->isEnabled());
        panel().history().stack().undo();
        QCOMPARE(compared->markedBoxes(), QList<QLineEdit *>{box});

        QTest::mouseClick(compared->loadButton(), Qt::LeftButton);
        QTRY_VERIFY(!workspace->commands().comparisonWindow());
        QCOMPARE(box->text(), QStringLiteral("071"));
        QVERIFY(!box->toolTip().contains(QStringLiteral("In the file")));
        QVERIFY(window->findChildren<QWidget *>(PanelComparisonWindow::frameObjectName()).isEmpty());
    }

    // A box of every kind differs, each in another control: each is framed and listed, in the
    // panel's order. Closing the window takes the marks away and leaves the panel as it was.
    void everyFieldKindDiffers()
    {
        PanelSettings file;
        const QList<std::pair<int, Field>> changed{
            {PanelSettings::Knob1, Field::Channel},   {PanelSettings::Knob1 + 4, Field::Label},
            {PanelSettings::Pad1, Field::Msb},        {PanelSettings::Pad1 + 7, Field::Lsb},
            {PanelSettings::JoystickUp, Field::RangeHigh}, {PanelSettings::Pedal, Field::RangeLow},
        };
        const QStringList values{QStringLiteral("05"), QStringLiteral("099"), QStringLiteral("012"),
                                 QStringLiteral("034"), QStringLiteral("100"), QStringLiteral("007")};
        for (int i = 0; i < changed.size(); ++i) {
            // The CC box shows the number assigned to the control.
            const Field stored = changed.at(i).second == Field::Label ? Field::Number : changed.at(i).second;
            file.storeField(changed.at(i).first, stored, values.at(i));
        }
        writeTemplate(QStringLiteral("every.syx"), file);
        // What the boxes would show: the file read back as loading reads it.
        PanelSettings readBack;
        QVERIFY(readBack.applyTemplateSysEx(file.buildTemplateSysEx()));
        const PanelState before = panel().state();

        PanelComparisonWindow *compared = compareWith(QStringLiteral("every.syx"));
        QVERIFY(compared);
        QStringList expected;
        QList<QLineEdit *> boxes;
        for (int i = 0; i < changed.size(); ++i) {
            QLineEdit *box = panel().box(changed.at(i).first, changed.at(i).second);
            const QString theirs = readBack.fieldText(changed.at(i).first, changed.at(i).second);
            QCOMPARE(theirs.left(2), values.at(i).left(2));
            QVERIFY(box->text() != theirs);
            expected << PanelComparison::describe({changed.at(i).first, changed.at(i).second, box->text(), theirs},
                                                  QStringLiteral("in the file"));
            boxes << box;
        }
        QCOMPARE(lines(compared), expected);
        QList<QLineEdit *> marked = compared->markedBoxes();
        std::sort(marked.begin(), marked.end());
        std::sort(boxes.begin(), boxes.end());
        QCOMPARE(marked, boxes);
        QCOMPARE(window->findChildren<QWidget *>(PanelComparisonWindow::frameObjectName()).size(), changed.size());

        QTest::mouseClick(compared->closeButton(), Qt::LeftButton);
        QTRY_VERIFY(!workspace->commands().comparisonWindow());
        QVERIFY(window->findChildren<QWidget *>(PanelComparisonWindow::frameObjectName()).isEmpty());
        QVERIFY(panel().state().looksLike(before));
    }

    void nothingDiffers()
    {
        writeTemplate(QStringLiteral("same.syx"), PanelSettings());
        PanelComparisonWindow *compared = compareWith(QStringLiteral("same.syx"));
        QVERIFY(compared);
        QCOMPARE(compared->summaryText()->text(), QStringLiteral("The panel holds what \"same.syx\" holds: nothing differs."));
        QCOMPARE(compared->differenceList()->count(), 0);
        QVERIFY(compared->markedBoxes().isEmpty());
        QVERIFY(!compared->loadButton()->isEnabled());
    }

    // What is not a whole template has nothing to compare: said, and no window.
    void brokenTemplateIsRefused()
    {
        writeFile(data.path(QStringLiteral("syx/cut.syx")), PanelSettings().buildTemplateSysEx().left(100));
        QVERIFY(!compareWith(QStringLiteral("cut.syx")));
        QCOMPARE(prompts->asked.size(), 1);
        QVERIFY(prompts->asked.first().text.startsWith(QStringLiteral("\"cut.syx\" is not a template: ")));
        QVERIFY(prompts->asked.first().text.endsWith(QStringLiteral("There is nothing to compare.")));
    }

    // After RECEIVE: "Compare" beside Save and Load lists what the dump would change; Load in
    // the comparison loads the dump as the receive window's Load does.
    void receivedDumpIsCompared()
    {
        PanelSettings other;
        other.storeField(PanelSettings::Knob1 + 1, Field::Msb, QStringLiteral("100"));
        midi->simulator().receive(other.buildTemplateSysEx());
        const QString knob2Msb = panel().box(PanelSettings::Knob1 + 1, Field::Msb)->text();
        QStringList listed;
        ModalDriver::next([this, &listed](QDialog *dialog) {
            // A failed check must not leave the dialog waiting.
            const auto closeAnyway = qScopeGuard([dialog] {
                if (dialog->isVisible())
                    dialog->reject();
            });
            auto *compare = dialog->findChild<QPushButton *>(QStringLiteral("compare"));
            QVERIFY(compare && !compare->isEnabled());
            midi->simulator().sendDump();
            QTRY_VERIFY(compare->isEnabled());
            QTest::mouseClick(compare, Qt::LeftButton);
            PanelComparisonWindow *compared = workspace->commands().comparisonWindow();
            QVERIFY(compared);
            QCOMPARE(compared->parentWidget(), dialog);
            listed = lines(compared);
            QCOMPARE(compared->markedBoxes(), QList<QLineEdit *>{panel().box(PanelSettings::Knob1 + 1, Field::Msb)});
            screenshot(dialog, QStringLiteral("receive-compare.png"));
            QTest::mouseClick(compared->loadButton(), Qt::LeftButton);
        });
        workspace->commands().receiveAndLoad();
        QTRY_VERIFY(ModalDriver::idle());
        QCOMPARE(listed, QStringList{QStringLiteral("Knob 2 MSB: %1 on the panel, 100 in the dump").arg(knob2Msb)});
        QCOMPARE(panel().box(PanelSettings::Knob1 + 1, Field::Msb)->text(), QStringLiteral("100"));
        QVERIFY(window->findChildren<QWidget *>(PanelComparisonWindow::frameObjectName()).isEmpty());
    }
};

QTEST_MAIN(TestPanelComparisonWindow)
#include "tst_PanelComparisonWindow.moc"
