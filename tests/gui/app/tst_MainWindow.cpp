#include "core/midi/DeviceSelection.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"
#include "core/midi/MidiSystem.h"
#include "core/sim/InstrumentSimulator.h"
#include "gui/app/AboutDialog.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/curve/VCurveDialog.h"
#include "gui/devices/SimulatorWindow.h"
#include "gui/panel/PanelEditor.h"
#include "gui/widgets/HyperLinkLabel.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinResources.h"
#include "support/FakePorts.h"
#include "support/FreshLibrary.h"
#include "support/ModalDriver.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using B = SkinLayout::Button;

namespace {

void send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void startsCaptionlessWithDefaults();
    void buttonBarSitsOnTheSkin();
    void leavingTheWindowDarkensTheBar();
    void buttonsRunTheirCommands_data();
    void buttonsRunTheirCommands();
    void keyboardReachesTheBar();
    void shortcutsRunTheBarsCommands_data();
    void shortcutsRunTheBarsCommands();
    void menuKeyOpensTheBandMenu();
    void skinnedControlsSayWhatTheyAre();
    void topBandHitTest();
    void draggingTheBandMovesTheWindow();
    void escAndEnterEndTheWindow();
    void helpOpensChmThenHtmlElseNothing();
    void webButtonOpensTheLink();
    void bandMenuOpensAbout();
    void bandMenuOpensTheLibraryFolder();
    void simulatorAnswersWhileDialogsWait();
    void deviceLabelFollowsTheInstrument();
    void screenshotShowsButtonsOverSkin();

private:
    FreshLibrary data;   // the library of every window that does not need one of its own
};

void TestMainWindow::startsCaptionlessWithDefaults()
{
    // A library folder that is not there does not keep the window from opening.
    ScriptedPrompts prompts;
    const LibraryLocation missing(data.outside(QStringLiteral("gone")), LibraryLocation::Source::CommandLine);
    MainWindow window(missing, prompts);
    QCOMPARE(window.windowTitle(), QStringLiteral("Zorvik Halden"));
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window.size(), QSize(899, 575));
    QVERIFY(!window.windowIcon().isNull());
    // The link holds the maker's page but is never shown.
    QVERIFY(window.webLink()->isHidden());
    QCOMPARE(window.webLink()->link(), MainWindow::webAddress);
}

void TestMainWindow::buttonBarSitsOnTheSkin()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QList<std::pair<B, QString>> names{
        {B::Save, "saveButton"},       {B::Default, "defaultButton"}, {B::Device, "deviceButton"},
        {B::Web, "webButton"},         {B::Receive, "receiveButton"}, {B::Help, "helpButton"},
        {B::About, "aboutButton"},     {B::Curve, "curveButton"},     {B::Minimise, "minimiseButton"},
        {B::Close, "closeButton"}};
    for (const auto &[which, name] : names) {
        SkinButton *b = window.button(which);
        QVERIFY(b);
        QCOMPARE(b->objectName(), name);
        QCOMPARE(b->geometry(), SkinLayout::button(which));
        QVERIFY(b->isVisible());
        QVERIFY(b->drawsParentBackground());
        QVERIFY(b->tracksAlways());
        QVERIFY(b->isFlat());
    }
    // Each tool tip names the button's shortcut.
    QCOMPARE(window.button(B::Save)->toolTip(), QStringLiteral("save the setting of panel! (Ctrl+S)"));
    QCOMPARE(window.button(B::Default)->toolTip(), QStringLiteral("Default (Ctrl+Shift+D)"));
    for (const auto &[which, name] : names) {
        const QString keys = window.command(which)->shortcut().toString(QKeySequence::NativeText);
        QVERIFY(!keys.isEmpty());
        QVERIFY2(window.button(which)->toolTip().endsWith(QStringLiteral(" (%1)").arg(keys)),
                 qPrintable(window.button(which)->toolTip()));
    }
    // Seven bar buttons in one row, 60 px apart, as the template's 40-unit steps.
    for (int i = 1; i < 7; ++i)
        QCOMPARE(SkinLayout::button(B(i)).x() - SkinLayout::button(B(i - 1)).x(), 60);
}

// A bar button lit under the mouse goes dark when the user moves to another window (Alt+Tab),
// though the bar tracks the mouse also while the window is inactive.
void TestMainWindow::leavingTheWindowDarkensTheBar()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QTRY_VERIFY(window.isActiveWindow());
    SkinButton *save = window.button(B::Save);
    const QImage atRest = save->grab().toImage();
    QTest::mouseMove(save, save->rect().center());
    QTRY_VERIFY(save->isHovered());
    QVERIFY(save->grab().toImage() != atRest);

    QWidget other;
    other.resize(200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    other.activateWindow();
    QTRY_VERIFY(!window.isActiveWindow());
    QVERIFY(!save->isHovered());
    QCOMPARE(save->grab().toImage(), atRest);
}

void TestMainWindow::buttonsRunTheirCommands_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("save") << int(B::Save) << QByteArray(SIGNAL(saveAndSendRequested()));
    QTest::newRow("default") << int(B::Default) << QByteArray(SIGNAL(resetToDefaultsRequested()));
    QTest::newRow("device") << int(B::Device) << QByteArray(SIGNAL(setDeviceRequested()));
    QTest::newRow("receive") << int(B::Receive) << QByteArray(SIGNAL(receiveRequested()));
    QTest::newRow("curve") << int(B::Curve) << QByteArray(SIGNAL(curveEditorRequested()));
}

void TestMainWindow::buttonsRunTheirCommands()
{
    QFETCH(int, which);
    QFETCH(QByteArray, signal);
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy spy(&window, signal.constData());
    // The bar lies partly inside the drag band: a click there still presses the button.
    SkinButton *b = window.button(B(which));
    QVERIFY(b->geometry().top() < SkinLayout::dragBandHeight);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() / 2, 4));
    QCOMPARE(spy.count(), 1);
    QVERIFY(prompts.asked.isEmpty());
}

// Tab goes round the window's controls and then the bar, left to right; the button with the
// focus shows it, and Space or Enter presses it.
void TestMainWindow::keyboardReachesTheBar()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    auto *field = new QLineEdit(&window);   // stands in for the panel
    field->setGeometry(SkinLayout::slotBox(0, 2));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // The window opens with the focus where values are typed, not on the bar.
    QTRY_COMPARE(QApplication::focusWidget(), field);

    QList<QWidget *> order;
    for (int i = 0; i < 11; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget();
    }
    QList<QWidget *> expected;
    for (B which : {B::Save, B::Default, B::Device, B::Web, B::Receive, B::Help, B::About, B::Curve, B::Minimise,
                    B::Close})
        expected << window.button(which);
    expected << field;
    QCOMPARE(order, expected);

    // Focus by the keyboard shows: the button is lit and framed; a click takes no focus.
    SkinButton *save = window.button(B::Save);
    const QImage atRest = save->grab().toImage();
    QTest::keyClick(field, Qt::Key_Tab);
    QVERIFY(save->hasFocus());
    QVERIFY(save->showsKeyboardFocus());
    const QImage focused = save->grab().toImage();
    QVERIFY(focused != atRest);
    QCOMPARE(QColor(focused.pixel(0, focused.height() / 2)), save->palette().color(QPalette::Highlight));
    QVERIFY(QDir(QStringLiteral(ZORVIK_TEST_OUTPUT)).exists());
    QVERIFY(window.grab(SkinLayout::button(B::Save).adjusted(-70, -12, 200, 12))
                .save(QDir(QStringLiteral(ZORVIK_TEST_OUTPUT)).filePath(QStringLiteral("bar-keyboard-focus.png"))));

    QSignalSpy saves(&window, &MainWindow::saveAndSendRequested);
    QTest::keyClick(save, Qt::Key_Space);
    QTest::keyClick(save, Qt::Key_Return);
    QCOMPARE(saves.count(), 2);
    QTest::mouseClick(window.button(B::Default), Qt::LeftButton);
    QVERIFY(save->hasFocus());
}

void TestMainWindow::shortcutsRunTheBarsCommands_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("save") << int(B::Save) << QKeySequence(Qt::CTRL | Qt::Key_S) << QByteArray(SIGNAL(saveAndSendRequested()));
    QTest::newRow("default") << int(B::Default) << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)
                             << QByteArray(SIGNAL(resetToDefaultsRequested()));
    QTest::newRow("device") << int(B::Device) << QKeySequence(Qt::CTRL | Qt::Key_D) << QByteArray(SIGNAL(setDeviceRequested()));
    QTest::newRow("receive") << int(B::Receive) << QKeySequence(Qt::CTRL | Qt::Key_R) << QByteArray(SIGNAL(receiveRequested()));
    QTest::newRow("curve") << int(B::Curve) << QKeySequence(Qt::CTRL | Qt::Key_K) << QByteArray(SIGNAL(curveEditorRequested()));
}

// Each command's shortcut works wherever the focus is in the window, a text box included, and
// presses the button as a click does.
void TestMainWindow::shortcutsRunTheBarsCommands()
{
    QFETCH(int, which);
    QFETCH(QKeySequence, keys);
    QFETCH(QByteArray, signal);
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    auto *field = new QLineEdit(QStringLiteral("12"), &window);
    field->setGeometry(SkinLayout::slotBox(0, 2));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QSignalSpy spy(&window, signal.constData());
    QSignalSpy clicks(window.button(B(which)), &SkinButton::clicked);
    field->setFocus();
    QTest::keySequence(field, keys);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(field->text(), QStringLiteral("12"));   // no editing key took it
    QCOMPARE(window.command(B(which))->shortcut(), keys);
}

void TestMainWindow::menuKeyOpensTheBandMenu()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    auto *field = new QLineEdit(&window);
    field->setGeometry(SkinLayout::slotBox(0, 2));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        QTest::keySequence(field, keys);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->objectName(), QStringLiteral("bandMenu"));
        // The commands are there with their shortcuts.
        QStringList shown;
        for (QAction *action : menu->actions()) {
            if (!action->shortcut().isEmpty())
                shown << action->text() + QLatin1Char('\t') + action->shortcut().toString(QKeySequence::NativeText);
        }
        QCOMPARE(shown, QStringList({"Save\tCtrl+S", "Default\tCtrl+Shift+D", "Device\tCtrl+D", "Receive\tCtrl+R",
                                     "Curve editor\tCtrl+K", "Help\tF1", "Web page\tCtrl+L",
                                     MainWindow::aboutItemText + "\tCtrl+I", "Minimise\tCtrl+M", "Close\tCtrl+Q"}));
        if (keys == QKeySequence(Qt::Key_Menu)) {
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            QImage shot = window.grab().toImage();
            {
                QPainter painter(&shot);
                painter.drawPixmap(window.mapFromGlobal(menu->pos()), menu->grab());
            }
            QVERIFY(shot.save(QDir(QStringLiteral(ZORVIK_TEST_OUTPUT)).filePath(QStringLiteral("band-menu-keys.png"))));
        }
        // Down and Enter choose its first entry: Save.
        QSignalSpy saves(&window, &MainWindow::saveAndSendRequested);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        QTRY_COMPARE(saves.count(), 1);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus();
    }
}

// What a screen reader says for each of the window's skinned buttons.
void TestMainWindow::skinnedControlsSayWhatTheyAre()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QList<std::pair<B, QString>> names{
        {B::Save, "Save"}, {B::Default, "Default"}, {B::Device, "Device"}, {B::Web, "Web page"},
        {B::Receive, "Receive"}, {B::Help, "Help"}, {B::About, "About"}, {B::Curve, "Curve editor"},
        {B::Minimise, "Minimise"}, {B::Close, "Close"}};
    for (const auto &[which, name] : names) {
        QAccessibleInterface *said = QAccessible::queryAccessibleInterface(window.button(which));
        QVERIFY(said);
        QCOMPARE(said->role(), QAccessible::Button);
        QCOMPARE(said->text(QAccessible::Name), name);
        const QString keys = window.command(which)->shortcut().toString(QKeySequence::NativeText);
        QVERIFY2(said->text(QAccessible::Description).endsWith(QStringLiteral(" (%1)").arg(keys)),
                 qPrintable(said->text(QAccessible::Description)));
        QVERIFY(said->text(QAccessible::Description).size() > keys.size() + 10);
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(window.button(B::Save))->text(QAccessible::Description),
             QStringLiteral("Saves the panel's setting as a template and sends it to the instrument (Ctrl+S)"));
}

void TestMainWindow::topBandHitTest()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.isInDragBand({10, 0}));
    QVERIFY(window.isInDragBand({750, 49}));
    QVERIFY(!window.isInDragBand({750, 50}));
    QVERIFY(!window.isInDragBand({400, 300}));
    QVERIFY(!window.isInDragBand({-1, 10}));
    QVERIFY(!window.isInDragBand({899, 10}));
    // Over a button the button answers, not the band.
    QVERIFY(!window.isInDragBand(SkinLayout::button(B::Save).topLeft() + QPoint(5, 5)));
    QVERIFY(!window.isInDragBand(SkinLayout::button(B::Close).center()));
    // The hidden link does not take the band's place.
    QVERIFY(window.isInDragBand(window.webLink()->geometry().center()));
}

void TestMainWindow::draggingTheBandMovesTheWindow()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    window.move(100, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();

    send(&window, QEvent::MouseButtonPress, {120, 20}, Qt::LeftButton, Qt::LeftButton);
    send(&window, QEvent::MouseMove, {150, 45}, Qt::NoButton, Qt::LeftButton);
    send(&window, QEvent::MouseButtonRelease, {150, 45}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(window.pos(), start + QPoint(30, 25));

    // Lower down, a drag does nothing.
    const QPoint moved = window.pos();
    send(&window, QEvent::MouseButtonPress, {120, 300}, Qt::LeftButton, Qt::LeftButton);
    send(&window, QEvent::MouseMove, {170, 340}, Qt::NoButton, Qt::LeftButton);
    send(&window, QEvent::MouseButtonRelease, {170, 340}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(window.pos(), moved);
}

void TestMainWindow::escAndEnterEndTheWindow()
{
    ScriptedPrompts prompts;
    {
        MainWindow window(data.location(), prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy finished(&window, &QDialog::finished);
        // Ending the main window ends the program's event loop, as it runs in the program.
        QTimer::singleShot(0, &window, [&] { QTest::keyClick(&window, Qt::Key_Escape); });
        QTimer safety;   // stops with the block
        safety.setSingleShot(true);
        connect(&safety, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
        safety.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!window.isVisible());
    }
    {
        // Enter in a field that does not take it ends the window too, saving nothing.
        MainWindow window(data.location(), prompts);
        QSignalSpy saves(&window, &MainWindow::saveAndSendRequested);
        auto *field = new QLineEdit(&window);
        field->setGeometry(SkinLayout::slotBox(0, 2));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy finished(&window, &QDialog::finished);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(saves.count(), 0);
    }
    {
        // The close button ends it without a question.
        MainWindow window(data.location(), prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy finished(&window, &QDialog::finished);
        QTest::mouseClick(window.button(B::Close), Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }
    QVERIFY(prompts.asked.isEmpty());
}

void TestMainWindow::helpOpensChmThenHtmlElseNothing()
{
    FreshLibrary folder;
    const auto touch = [&folder](const QString &name) {
        QFile file(folder.path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    };
    ScriptedPrompts prompts;
    MainWindow window(folder.location(), prompts);
    QList<QUrl> opened;
    bool viewer = true;
    window.setUrlOpener([&](const QUrl &url) {
        opened << url;
        return viewer;
    });
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_F1);
    QTest::mouseClick(window.button(B::Help), Qt::LeftButton);
    QVERIFY(opened.isEmpty());
    QVERIFY(prompts.asked.isEmpty());

    touch(QStringLiteral("help.html"));
    QTest::keyClick(&window, Qt::Key_F1);
    QCOMPARE(opened.size(), 1);
    QVERIFY(opened.last().isLocalFile());
    QVERIFY(opened.last().toLocalFile().endsWith(QStringLiteral("/zorvik/help.html")));

    touch(QStringLiteral("help.chm"));
    QTest::mouseClick(window.button(B::Help), Qt::LeftButton);
    QCOMPARE(opened.size(), 2);
    QVERIFY(opened.last().toLocalFile().endsWith(QStringLiteral("/zorvik/help.chm")));
    QVERIFY(prompts.asked.isEmpty());

    // A desktop without a viewer: the user is told which file to open by hand.
    viewer = false;
    QTest::keyClick(&window, Qt::Key_F1);
    QCOMPARE(prompts.asked.size(), 1);
    QCOMPARE(prompts.asked.last().text, QStringLiteral("No viewer could be started for the help. Open this file by hand:\n")
                                            + QDir::toNativeSeparators(opened.last().toLocalFile()));
}

void TestMainWindow::webButtonOpensTheLink()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    QList<QUrl> opened;
    bool browser = true;
    window.setUrlOpener([&](const QUrl &url) {
        opened << url;
        return browser;
    });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.button(B::Web), Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl>{QUrl(MainWindow::webAddress)});
    QVERIFY(prompts.asked.isEmpty());

    // Without a browser the address is shown, to open by hand.
    browser = false;
    QTest::mouseClick(window.button(B::Web), Qt::LeftButton);
    QCOMPARE(prompts.asked.size(), 1);
    QCOMPARE(prompts.asked.last().text,
             QStringLiteral("No web browser could be started. Open this address by hand:\n") + MainWindow::webAddress);
}

void TestMainWindow::bandMenuOpensAbout()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    std::unique_ptr<QMenu> menu(window.createBandMenu(&window));
    QStringList texts;
    QAction *aboutItem = nullptr;
    QAction *simulatorItem = nullptr;
    for (QAction *a : menu->actions()) {
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        if (a->text() == MainWindow::aboutItemText)
            aboutItem = a;
        if (a->text() == MainWindow::simulatorItemText)
            simulatorItem = a;
    }
    QCOMPARE(texts, QStringList({"Save", "Default", "Device", "Receive", "Curve editor", "-", "Help", "Web page",
                                 MainWindow::aboutItemText, "-", MainWindow::simulatorItemText,
                                 "Open library folder", "-", "Minimise", "Close"}));

    QSignalSpy simulator(&window, &MainWindow::simulatorRequested);
    simulatorItem->trigger();
    QCOMPARE(simulator.count(), 1);

    QString title, version;
    QTimer::singleShot(0, [&] {
        auto *about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
        if (!about)
            return;
        title = about->windowTitle();
        version = about->findChild<QLabel *>(QStringLiteral("versionLine"))->text();
        if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
            about->grab().save(shots + QStringLiteral("/about-box.png"));
        QTest::keyClick(about, Qt::Key_Return);   // the default Ok button
    });
    aboutItem->trigger();
    QCOMPARE(title, QStringLiteral("About Zorvik-Halden"));
    QCOMPARE(version, QStringLiteral("Zorvik Halden v1.0-Beta"));
    QVERIFY(window.isVisible());
}

void TestMainWindow::bandMenuOpensTheLibraryFolder()
{
    const LibraryLocation library(data.outside(QStringLiteral("lib")), LibraryLocation::Source::CommandLine);
    ScriptedPrompts prompts;
    MainWindow window(library, prompts);
    QList<QUrl> opened;
    bool fileManager = true;
    window.setUrlOpener([&](const QUrl &url) {
        opened << url;
        return fileManager;
    });
    std::unique_ptr<QMenu> menu(window.createBandMenu(&window));
    QAction *open = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == MainWindow::libraryItemText)
            open = action;
    }
    QVERIFY(open);

    // Not there: said so, nothing is opened.
    open->trigger();
    QVERIFY(opened.isEmpty());
    QCOMPARE(prompts.asked.size(), 1);
    QCOMPARE(prompts.asked.last().text, QStringLiteral("The library folder does not exist:\n") + library.displayPath());

    QVERIFY(QDir().mkpath(library.root()));
    open->trigger();
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(library.root())});
    QCOMPARE(prompts.asked.size(), 1);

    fileManager = false;
    open->trigger();
    QCOMPARE(prompts.asked.size(), 2);
    QCOMPARE(prompts.asked.last().text,
             QStringLiteral("No file manager could be started. Open this folder by hand:\n") + library.displayPath());

    if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty()) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        menu->popup(window.mapToGlobal(QPoint(300, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
        menu->grab().save(shots + QStringLiteral("/band-menu.png"));
        menu->hide();
    }
}

// The built-in simulator stands in for the instrument, so its window must stay usable while a
// dialog of the program waits for the instrument; the dialogs stay modal to the main window.
void TestMainWindow::simulatorAnswersWhileDialogsWait()
{
    QVERIFY(data.renew());
    SimulatedMidi midi;
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    auto *workspace = new Workspace(window, midi, midi.simulator(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.openSimulator();
    SimulatorWindow *simulator = workspace->simulator();
    QVERIFY(simulator);
    QVERIFY(QTest::qWaitForWindowExposed(simulator));

    // Clicks go through the window system, where a modal dialog blocks the windows it covers.
    const auto clickThroughWindow = [](QWidget *button) {
        QWidget *top = button->window();
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, button->mapTo(top, button->rect().center()));
    };
    const auto clickInSimulator = [&](const char *name) {
        clickThroughWindow(simulator->findChild<QPushButton *>(QLatin1String(name)));
    };
    QSignalSpy saves(&window, &MainWindow::saveAndSendRequested);

    // RECEIVE: the simulator window sends its dump while the receive dialog waits.
    PanelSettings other;
    other.storeField(PanelSettings::Pedal, PanelSettings::Field::Msb, QStringLiteral("100"));
    midi.simulator().receive(other.buildTemplateSysEx());
    bool dumpArrived = false;
    Qt::WindowModality receiveModality = Qt::NonModal;
    ModalDriver::next([&](QDialog *dialog) {
        receiveModality = dialog->windowModality();
        clickThroughWindow(window.button(B::Save));   // the main window stays blocked
        clickInSimulator("sendDumpButton");
        auto *count = dialog->findChild<QLineEdit *>(QStringLiteral("count"));
        dumpArrived = QTest::qWaitFor([count] { return count->text() == QStringLiteral("162"); }, 5000);
        for (auto *button : dialog->findChildren<QPushButton *>())
            if (dumpArrived && button->text() == QStringLiteral("Load"))
                button->click();
        if (dialog->isVisible())
            dialog->reject();
    });
    QTest::mouseClick(window.button(B::Receive), Qt::LeftButton);
    QVERIFY(dumpArrived);
    QCOMPARE(receiveModality, Qt::WindowModal);
    QCOMPARE(saves.count(), 0);
    QCOMPARE(workspace->panel().box(PanelSettings::Pedal, PanelSettings::Field::Msb)->text(), QStringLiteral("100"));

    // The velocity monitor gets the notes the simulator window plays.
    int recorded = 0;
    Qt::WindowModality editorModality = Qt::NonModal;
    ModalDriver::next([&](QDialog *dialog) {
        auto *editor = qobject_cast<VCurveDialog *>(dialog);
        editorModality = dialog->windowModality();
        if (editor) {
            QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("monitorButton")), Qt::LeftButton);
            clickInSimulator("playNoteButton");
            (void)QTest::qWaitFor([editor] { return editor->velocityHistory().count() > 0; }, 5000);
            recorded = editor->velocityHistory().count();
        }
        dialog->reject();
    });
    QTest::mouseClick(window.button(B::Curve), Qt::LeftButton);
    QCOMPARE(recorded, 1);
    QCOMPARE(editorModality, Qt::WindowModal);

    // Closing the main window ends the program even with the simulator window open.
    QVERIFY(!simulator->testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(ModalDriver::idle());
}

void TestMainWindow::deviceLabelFollowsTheInstrument()
{
    auto fake = std::make_shared<FakePorts::State>();
    fake->outputs = {QStringLiteral("Synth")};
    SimulatedMidi midi(std::make_unique<FakePorts>(fake));
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    new Workspace(window, midi, midi.simulator(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS");
    const QLabel *label = window.deviceLabel();

    midi.devices().update();
    QCOMPARE(label->text(), QStringLiteral("Zorvik Simulator — no instrument found"));
    QCOMPARE(label->toolTip(), QStringLiteral("MIDI Out: Zorvik Simulator — no instrument found\n"
                                              "MIDI In: Zorvik Simulator — no instrument found"));
    // The label is part of the band: it moves the window like the background around it.
    QVERIFY(window.isInDragBand(label->geometry().center()));
    if (!shots.isEmpty())
        window.grab().save(shots + QStringLiteral("/main-window-no-instrument.png"));

    fake->outputs.append(QStringLiteral("Zorvik K8 (USB)"));
    fake->inputs = {QStringLiteral("Zorvik K8 (USB)")};
    midi.devices().update();
    QCOMPARE(label->text(), QStringLiteral("Zorvik K8 (USB)"));
    if (!shots.isEmpty())
        window.grab().save(shots + QStringLiteral("/main-window-instrument.png"));

    // Over USB the instrument's SysEx goes through the USB link, and the label says so.
    fake->routed = {QStringLiteral("Zorvik K8 (USB)")};
    midi.devices().update();
    QCOMPARE(label->text(), QStringLiteral("Zorvik K8 (USB) (USB link)"));
    QCOMPARE(label->toolTip(), QStringLiteral("MIDI Out: Zorvik K8 (USB), SysEx through the USB link\n"
                                              "MIDI In: Zorvik K8 (USB), SysEx through the USB link"));
    if (!shots.isEmpty())
        window.grab().save(shots + QStringLiteral("/main-window-usb-link.png"));

    // Two instruments, and a port of another program with the name on one side only: the pair
    // listed first is used, and the tool tip says so and how to take the other.
    fake->routed.clear();
    fake->outputs = {QStringLiteral("Zorvik Monitor"), QStringLiteral("Zorvik K8 A"), QStringLiteral("Zorvik K8 B")};
    fake->inputs = {QStringLiteral("Zorvik K8 B"), QStringLiteral("Zorvik K8 A")};
    midi.devices().update();
    QCOMPARE(label->text(), QStringLiteral("Zorvik K8 A"));
    QCOMPARE(label->toolTip(), QStringLiteral("MIDI Out: Zorvik K8 A\nMIDI In: Zorvik K8 A\n2 instruments found; using "
                                              "Zorvik K8 A (MIDI Out) and Zorvik K8 A (MIDI In); choose another in Set "
                                              "Device."));

    midi.devices().choose(MidiDevice::builtIn(), MidiDevice::builtIn());   // the simulator, picked in Set Device
    QCOMPARE(label->text(), QStringLiteral("Zorvik Simulator"));
    QVERIFY(!label->toolTip().contains(QStringLiteral("instruments found")));
}

void TestMainWindow::screenshotShowsButtonsOverSkin()
{
    ScriptedPrompts prompts;
    MainWindow window(data.location(), prompts);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const qreal ratio = window.devicePixelRatioF();
    // The high-DPI run of this test sets the scale factor; make sure it took effect.
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == QStringLiteral("2"))
        QCOMPARE(ratio, 2.0);
    const QImage shot = window.grab().toImage();
    QCOMPARE(shot.size(), SkinLayout::skinSize * ratio);
    if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
        shot.save(shots + (ratio > 1 ? QStringLiteral("/bare-window@2x.png") : QStringLiteral("/bare-window.png")));

    const QImage skin = SkinResources::pixmap(SkinResources::Skin, ratio).toImage().convertToFormat(shot.format());
    const auto at = [&](QPoint p) { return (QPointF(p) * ratio).toPoint(); };
    // Away from any control the window is the skin, pixel for pixel at the screen's ratio.
    for (QPoint p : {QPoint(5, 5), QPoint(450, 320), QPoint(20, 560), QPoint(860, 200)})
        QCOMPARE(shot.pixel(at(p)), skin.pixel(at(p)));
    // Each button's picture is drawn over the skin: its label differs from the bare groove.
    for (B which : {B::Save, B::Device, B::Help, B::Curve, B::Close}) {
        const QRect r = SkinLayout::button(which);
        int differing = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                differing += shot.pixel(at({x, y})) != skin.pixel(at({x, y}));
        QVERIFY2(differing > r.width() * r.height() / 4, qPrintable(QString::number(differing)));
        // The rounded corner of the picture is see-through: the skin shows there.
        QCOMPARE(shot.pixel(at(r.topLeft())), skin.pixel(at(r.topLeft())));
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
