#pragma once

#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/panel/DragList.h"
#include "gui/panel/PanelEditor.h"
#include "gui/widgets/MessageBoxPrompts.h"
#include "support/FreshLibrary.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"

#include <QLineEdit>
#include <QTest>

#include <memory>

// The editor as a person meets it, for the tests that drive the main window: a fresh library in
// a temporary folder, the built-in simulator as the instrument and scripted answers to every
// question. A test class derives from it beside QObject, opens it in init() and closes it in
// cleanup(), so every test function starts from the same clean editor.
class EditorRig
{
protected:
    FreshLibrary data;   // the editor's library, emptied by every openEditor()
    std::unique_ptr<SimulatedMidi> midi;
    std::unique_ptr<ScriptedPrompts> prompts;
    // Real message boxes, for what only the focus a message box takes shows; see openEditor.
    MessageBoxPrompts messageBoxes;
    std::unique_ptr<MainWindow> window;
    Workspace *workspace = nullptr;   // owned by the window

    // False when the library cannot be made or the shown window never appears. With
    // realMessageBoxes every question shows as the user sees it (answer it with ModalDriver);
    // prompts then stays empty.
    [[nodiscard]] bool openEditor(bool show = true, bool realMessageBoxes = false)
    {
        if (!data.renew())
            return false;
        midi = std::make_unique<SimulatedMidi>();
        prompts = std::make_unique<ScriptedPrompts>();
        PromptService &answers = realMessageBoxes ? static_cast<PromptService &>(messageBoxes) : *prompts;
        window = std::make_unique<MainWindow>(data.location(), answers);
        workspace = new Workspace(*window, *midi, midi->simulator(), answers);
        if (!show)
            return true;
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    // The window goes before the ports it uses.
    void closeEditor()
    {
        window.reset();
        workspace = nullptr;
        midi.reset();
        prompts.reset();
    }

    PanelEditor &panel() { return workspace->panel(); }

    // As a person does: click into the box, select what it holds, type.
    void typeInto(QLineEdit *edit, const QString &typed)
    {
        // The offscreen platform does not hand activation back when a dialog closes.
        window->activateWindow();
        QTRY_VERIFY(window->isActiveWindow());
        QTest::mouseClick(edit, Qt::LeftButton);
        QTRY_VERIFY(edit->hasFocus());
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed);
    }

    // A real drag: press on the list's entry, move over the list, then to a point of the window;
    // without the release the drag is left in the air.
    void dragEntry(int row, const QPoint &windowTarget, bool release = true)
    {
        DragList *names = panel().nameList();
        names->setCurrentRow(row);
        names->scrollToItem(names->item(row));
        const QPoint start = names->visualItemRect(names->item(row)).center();
        QTest::mousePress(names->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(names->viewport(), start + QPoint(2, 0));
        QVERIFY(names->isDragging());
        const QPoint target = names->viewport()->mapFrom(window.get(), windowTarget);
        QTest::mouseMove(names->viewport(), target);
        if (release)
            QTest::mouseRelease(names->viewport(), Qt::LeftButton, {}, target);
    }
};
