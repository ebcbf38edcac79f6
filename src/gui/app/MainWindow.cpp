#include "gui/app/MainWindow.h"

#include "core/base/PromptService.h"
#include "gui/app/AboutDialog.h"
#include "gui/widgets/HyperLinkLabel.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinResources.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QWindow>

const QString MainWindow::windowText = QStringLiteral("Zorvik Halden");
const QString MainWindow::webAddress = QStringLiteral("https://www.zorvik.example/halden/");
const QString MainWindow::saveTip = QStringLiteral("save the setting of panel!");
const QString MainWindow::aboutItemText = QStringLiteral("&About Zorvik-Halden...");
const QString MainWindow::simulatorItemText = QStringLiteral("&Simulator...");
const QString MainWindow::libraryItemText = QStringLiteral("Open library folder");

namespace {
// The device in use: a line of the top band above the button bar.
const QRect deviceLabelArea(258, 14, 476, 16);
} // namespace

MainWindow::MainWindow(const LibraryLocation &library, PromptService &promptService, QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint)
    , location(library)
    , prompts(promptService)
    , urlOpener([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowIcon(SkinResources::icon());
    setWindowTitle(windowText);
    setFixedSize(SkinLayout::skinSize);
    setAttribute(Qt::WA_OpaquePaintEvent);

    // The maker's page; the label is never shown, the web button opens its address.
    link = new HyperLinkLabel(prompts, this);
    link->setObjectName(QStringLiteral("webLink"));
    link->move(SkinLayout::fromDialogUnits(15, 9, 196, 11).topLeft());
    link->setLink(webAddress);
    link->hide();

    // Part of the band's background: a press on it moves the window, a right click opens the
    // band's menu (a label passes both on to the window).
    device = new QLabel(this);
    device->setObjectName(QStringLiteral("deviceLabel"));
    device->setGeometry(deviceLabelArea);
    device->setTextFormat(Qt::PlainText);
    device->setFocusPolicy(Qt::NoFocus);
    QFont small = device->font();
    small.setPixelSize(11);
    device->setFont(small);

    setUpButtons();
}

SkinButton *MainWindow::makeButton(SkinLayout::Button which, const char *name)
{
    auto *b = new SkinButton(this);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(SkinLayout::button(which));
    buttons.insert(which, b);
    return b;
}

void MainWindow::setUpButtons()
{
    using B = SkinLayout::Button;
    using R = SkinResources;
    struct Setup
    {
        B which;
        const char *name;
        R::Id hover;
        R::Id normal;
        void (MainWindow::*action)();
        const char *label;         // what a screen reader calls the button, and its menu entry
        const char *description;   // what it does
        QKeySequence keys;
    };
    // In the order the buttons are configured at start-up.
    const Setup setups[] = {
        {B::Save, "saveButton", R::SaveHover, R::SaveNormal, &MainWindow::saveAndSend, "Save",
         "Saves the panel's setting as a template and sends it to the instrument", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {B::Default, "defaultButton", R::DefaultHover, R::DefaultNormal, &MainWindow::resetToDefaults, "Default",
         "Resets the panel to its default setting", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
        {B::Curve, "curveButton", R::CurveHover, R::CurveNormal, &MainWindow::openCurveEditor, "Curve editor",
         "Opens the velocity curve editor", QKeySequence(Qt::CTRL | Qt::Key_K)},
        {B::Device, "deviceButton", R::DeviceHover, R::DeviceNormal, &MainWindow::openSetDevice, "Device",
         "Chooses the MIDI devices that reach the instrument", QKeySequence(Qt::CTRL | Qt::Key_D)},
        {B::Help, "helpButton", R::HelpHover, R::HelpNormal, &MainWindow::openHelp, "Help", "Opens the help",
         QKeySequence(Qt::Key_F1)},
        {B::Web, "webButton", R::WebHover, R::WebNormal, &MainWindow::openWebPage, "Web page",
         "Opens the maker's web page in the browser", QKeySequence(Qt::CTRL | Qt::Key_L)},
        {B::About, "aboutButton", R::AboutHover, R::AboutNormal, &MainWindow::openAbout, "About",
         "Shows the program's name and version", QKeySequence(Qt::CTRL | Qt::Key_I)},
        {B::Minimise, "minimiseButton", R::MinimiseHover, R::MinimiseNormal, &MainWindow::showMinimized, "Minimise",
         "Minimises the window", QKeySequence(Qt::CTRL | Qt::Key_M)},
        {B::Close, "closeButton", R::CloseHover, R::CloseNormal, &MainWindow::accept, "Close",
         "Closes the window and ends the program", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {B::Receive, "receiveButton", R::ReceiveHover, R::ReceiveNormal, &MainWindow::receiveAndLoad, "Receive",
         "Receives the setting from the instrument, to save it or load it onto the panel",
         QKeySequence(Qt::CTRL | Qt::Key_R)},
    };
    for (const Setup &s : setups) {
        SkinButton *b = makeButton(s.which, s.name);
        b->setStateBitmaps(s.hover, SkinResources::keyColour(), s.normal, SkinResources::keyColour());
        b->shiftColour(SkinButton::HoverBackground, 50, true);
        b->setTrackAlways(true);
        b->setParentBackground(true);
        // Tab reaches the bar; a click leaves the focus where it is, so the command itself checks
        // the box being typed into, however the command was given.
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &SkinButton::clicked, this, s.action);
        const QString keys = s.keys.toString(QKeySequence::NativeText);
        const QString label = QLatin1String(s.label);
        b->setTip((s.which == B::Save ? saveTip : label) + QStringLiteral(" (%1)").arg(keys), true);
        b->setAccessibleName(label);
        b->setAccessibleDescription(QLatin1String(s.description) + QStringLiteral(" (%1)").arg(keys));

        // The shortcut presses the button, as a click does.
        auto *command = new QAction(s.which == B::About ? aboutItemText : label, this);
        command->setObjectName(QString::fromLatin1(s.name).chopped(6) + QStringLiteral("Command"));
        command->setShortcut(s.keys);
        command->setShortcutContext(Qt::WindowShortcut);
        connect(command, &QAction::triggered, b, &QAbstractButton::click);
        addAction(command);
        commands.insert(s.which, command);
    }
    // The curve editor has no other way in, so its button is shown.
    buttons.value(B::Curve)->show();

    // The band's menu from the keyboard.
    auto *menuKey = new QAction(this);
    menuKey->setObjectName(QStringLiteral("bandMenuKey"));
    menuKey->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    menuKey->setShortcutContext(Qt::WindowShortcut);
    connect(menuKey, &QAction::triggered, this, [this] {
        // Under the bar's left end, where the band's commands are.
        const QRect save = SkinLayout::button(SkinLayout::Button::Save);
        popUpBandMenu(mapToGlobal(QPoint(save.left(), save.bottom() + 1)));
    });
    addAction(menuKey);
}

void MainWindow::showEvent(QShowEvent *event)
{
    // The panel and the library are made after the window: the order is settled once they are
    // all there.
    if (!barPlaced) {
        placeBarLastInTabOrder();
        barPlaced = true;
    }
    QDialog::showEvent(event);
}

void MainWindow::placeBarLastInTabOrder()
{
    using B = SkinLayout::Button;
    // Tab goes round a ring: the bar, left to right as it shows, then the panel and the library.
    const QList<B> order{B::Save, B::Default, B::Device, B::Web, B::Receive, B::Help, B::About, B::Curve,
                         B::Minimise, B::Close};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(buttons.value(order.at(i - 1)), buttons.value(order.at(i)));
    // The window opens with the focus where values are typed, not on the bar: Enter there keeps
    // its meaning, and Tab reaches the bar after the panel and the library.
    if (focusWidget())
        return;
    const QList<SkinButton *> bar = buttons.values();
    for (QWidget *w = nextInFocusChain(); w != this; w = w->nextInFocusChain()) {
        auto *button = qobject_cast<SkinButton *>(w);
        if (button && bar.contains(button))
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->isHidden()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void MainWindow::done(int result)
{
    // Esc, Enter, the close button and the window manager's close all end here.
    if (closeGuard && !closeGuard())
        return;
    QDialog::done(result);
}

void MainWindow::saveAndSend() { emit saveAndSendRequested(); }
void MainWindow::resetToDefaults() { emit resetToDefaultsRequested(); }
void MainWindow::openSetDevice() { emit setDeviceRequested(); }
void MainWindow::receiveAndLoad() { emit receiveRequested(); }
void MainWindow::openCurveEditor() { emit curveEditorRequested(); }
void MainWindow::openSimulator() { emit simulatorRequested(); }

QString MainWindow::helpFile() const
{
    for (const char *name : {"help.chm", "help.html"}) {
        const QString path = location.file(DataPaths::Folder::Root, QLatin1String(name));
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

void MainWindow::openHelp()
{
    // The viewer runs on its own; a missing file is not reported, a missing viewer is, with the
    // file to open by hand.
    const QString path = helpFile();
    if (path.isEmpty() || !urlOpener)
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!urlOpener(QUrl::fromLocalFile(absolute))) {
        prompts.inform(QStringLiteral("No viewer could be started for the help. Open this file by hand:\n%1")
                           .arg(QDir::toNativeSeparators(absolute)),
                       {}, PromptService::Icon::Warning);
    }
}

void MainWindow::openWebPage()
{
    if (urlOpener && !urlOpener(QUrl(link->link()))) {
        prompts.inform(QStringLiteral("No web browser could be started. Open this address by hand:\n%1").arg(link->link()),
                       {}, PromptService::Icon::Warning);
    }
}

void MainWindow::openLibraryFolder()
{
    if (!location.exists()) {
        prompts.inform(QStringLiteral("The library folder does not exist:\n%1").arg(location.displayPath()), {},
                       PromptService::Icon::Warning);
        return;
    }
    if (urlOpener && !urlOpener(QUrl::fromLocalFile(QFileInfo(location.root()).absoluteFilePath()))) {
        prompts.inform(QStringLiteral("No file manager could be started. Open this folder by hand:\n%1")
                           .arg(location.displayPath()),
                       {}, PromptService::Icon::Warning);
    }
}

void MainWindow::showDevice(const QString &text, const QString &details, bool instrument)
{
    device->setStyleSheet(instrument ? QStringLiteral("color: #f0a53a;") : QStringLiteral("color: #8e98a5;"));
    const QFontMetrics metrics(device->font());
    device->setText(metrics.elidedText(text, Qt::ElideMiddle, device->width()));
    device->setToolTip(details);
}

void MainWindow::openAbout()
{
    AboutDialog about(this);
    about.exec();
}

bool MainWindow::isInDragBand(const QPoint &pos) const
{
    const QWidget *child = childAt(pos);
    return rect().contains(pos) && pos.y() < SkinLayout::dragBandHeight && (child == nullptr || child == device);
}

QMenu *MainWindow::createBandMenu(QWidget *parent)
{
    // Stands in for the window's system menu, which this platform's window managers keep
    // to themselves.
    using B = SkinLayout::Button;
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("bandMenu"));
    if (undoAction && redoAction) {
        menu->addAction(undoAction);
        menu->addAction(redoAction);
        menu->addSeparator();
    }
    for (B which : {B::Save, B::Default, B::Device, B::Receive, B::Curve})
        menu->addAction(commands.value(which));
    menu->addSeparator();
    for (B which : {B::Help, B::Web, B::About})
        menu->addAction(commands.value(which));
    menu->addSeparator();
    menu->addAction(simulatorItemText, this, &MainWindow::openSimulator);
    if (liveAction)
        menu->addAction(liveAction);
    menu->addAction(libraryItemText, this, &MainWindow::openLibraryFolder);
    menu->addSeparator();
    for (B which : {B::Minimise, B::Close})
        menu->addAction(commands.value(which));
    return menu;
}

void MainWindow::popUpBandMenu(const QPoint &globalPos)
{
    QMenu *menu = createBandMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void MainWindow::setUndoActions(QAction *undo, QAction *redo)
{
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction *action : {undo, redo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    undoAction = undo;
    redoAction = redo;
}

void MainWindow::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (skin.isNull() || skin.devicePixelRatio() != ratio)
        skin = SkinResources::pixmap(SkinResources::Skin, ratio);
    QPainter painter(this);
    if (skin.isNull())
        painter.fillRect(rect(), QColor(0x1b, 0x1e, 0x23));
    else
        painter.drawPixmap(0, 0, skin);
    if (!panelPlaceholders)
        return;
    const auto draw = [&](int id, const QRect &where) {
        painter.drawPixmap(where.topLeft(), SkinResources::pixmap(id, ratio));
    };
    for (int i = 0; i < PanelSettings::knobCount; ++i)
        draw(SkinResources::knobPicture(i, false), SkinLayout::controlPicture(PanelSettings::Knob1 + i));
    for (int i = 0; i < PanelSettings::padCount; ++i)
        draw(SkinResources::padPicture(i, false), SkinLayout::controlPicture(PanelSettings::Pad1 + i));
    draw(SkinResources::Joystick, SkinLayout::controlPicture(PanelSettings::JoystickUp));
    draw(SkinResources::Pedal, SkinLayout::controlPicture(PanelSettings::Pedal));
    draw(SkinResources::ModeController, SkinLayout::modeButton());
    draw(SkinResources::StepUpNormal, SkinLayout::channelUp());
    draw(SkinResources::StepDownNormal, SkinLayout::channelDown());
}

void MainWindow::setPanelPlaceholders(bool on)
{
    panelPlaceholders = on;
    update();
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isInDragBand(event->position().toPoint())) {
        // Let the window manager move the window where it can; follow the mouse otherwise.
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        moving = true;
        moveOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    QDialog::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (moving && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - moveOffset);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (moving && event->button() == Qt::LeftButton) {
        moving = false;
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent *event)
{
    if (!isInDragBand(event->pos())) {
        QDialog::contextMenuEvent(event);
        return;
    }
    popUpBandMenu(event->globalPos());
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // F1 and the other commands' keys are shortcuts of their actions.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // As in any dialog without a default button: Enter that no control takes ends the
        // window (the panel's boxes take it themselves). Unsaved panel changes ask first.
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            accept();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}
