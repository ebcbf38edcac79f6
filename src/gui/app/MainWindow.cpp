#include "gui/app/MainWindow.h"

#include "core/base/DataPaths.h"
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
// Raster pictures of the bar use magenta for their see-through pixels.
const QColor keyColour(255, 0, 255);
// The device in use: a line of the top band above the button bar.
const QRect deviceLabelArea(258, 14, 476, 16);
} // namespace

MainWindow::MainWindow(PromptService &promptService, QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint)
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
    };
    // In the order the buttons are configured at start-up.
    const Setup setups[] = {
        {B::Save, "saveButton", R::SaveHover, R::SaveNormal, &MainWindow::saveAndSend},
        {B::Default, "defaultButton", R::DefaultHover, R::DefaultNormal, &MainWindow::resetToDefaults},
        {B::Curve, "curveButton", R::CurveHover, R::CurveNormal, &MainWindow::openCurveEditor},
        {B::Device, "deviceButton", R::DeviceHover, R::DeviceNormal, &MainWindow::openSetDevice},
        {B::Help, "helpButton", R::HelpHover, R::HelpNormal, &MainWindow::openHelp},
        {B::Web, "webButton", R::WebHover, R::WebNormal, &MainWindow::openWebPage},
        {B::About, "aboutButton", R::AboutHover, R::AboutNormal, &MainWindow::openAbout},
        {B::Minimise, "minimiseButton", R::MinimiseHover, R::MinimiseNormal, &MainWindow::showMinimized},
        {B::Close, "closeButton", R::CloseHover, R::CloseNormal, &MainWindow::accept},
        {B::Receive, "receiveButton", R::ReceiveHover, R::ReceiveNormal, &MainWindow::receiveAndLoad},
    };
    for (const Setup &s : setups) {
        SkinButton *b = makeButton(s.which, s.name);
        b->setStateBitmaps(s.hover, keyColour, s.normal, keyColour);
        b->shiftColour(SkinButton::HoverBackground, 50, true);
        b->setTrackAlways(true);
        b->setParentBackground(true);
        // The bar is worked with the mouse; Enter is left to the window.
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &SkinButton::clicked, this, s.action);
        if (s.which == B::Save)
            b->setTip(saveTip, true);
    }
    // The curve editor has no other way in, so its button is shown.
    buttons.value(B::Curve)->show();
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

QString MainWindow::helpFile()
{
    for (const char *name : {"help.chm", "help.html"}) {
        const QString path = DataPaths::file(DataPaths::Folder::Root, QLatin1String(name));
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
    const LibraryLocation &library = DataPaths::library();
    if (!library.exists()) {
        prompts.inform(QStringLiteral("The library folder does not exist:\n%1").arg(library.displayPath()), {},
                       PromptService::Icon::Warning);
        return;
    }
    if (urlOpener && !urlOpener(QUrl::fromLocalFile(QFileInfo(library.root()).absoluteFilePath()))) {
        prompts.inform(QStringLiteral("No file manager could be started. Open this folder by hand:\n%1")
                           .arg(library.displayPath()),
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
    auto *menu = new QMenu(parent);
    if (undoAction && redoAction) {
        menu->addAction(undoAction);
        menu->addAction(redoAction);
        menu->addSeparator();
    }
    menu->addAction(aboutItemText, this, &MainWindow::openAbout);
    menu->addSeparator();
    menu->addAction(simulatorItemText, this, &MainWindow::openSimulator);
    if (liveAction)
        menu->addAction(liveAction);
    menu->addAction(libraryItemText, this, &MainWindow::openLibraryFolder);
    return menu;
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
    QMenu *menu = createBandMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_F1:
        openHelp();
        return;
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
