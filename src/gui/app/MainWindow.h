#pragma once

#include "core/base/LibraryLocation.h"
#include "gui/widgets/SkinLayout.h"

#include <QDialog>
#include <QMap>
#include <QPixmap>
#include <QPointer>
#include <QUrl>

#include <functional>

class HyperLinkLabel;
class PromptService;
class QAction;
class QLabel;
class QMenu;
class SkinButton;

// The program's only top-level window: a captionless picture of the instrument with its
// button bar. It is moved by dragging its top band, and closing it ends the program.
// The panel editor and the library live in the areas the skin lays out for them
// (SkinLayout); the commands that belong to other parts are slots that announce themselves
// with a signal until those parts are wired in.
class MainWindow : public QDialog
{
    Q_OBJECT

public:
    using UrlOpener = std::function<bool(const QUrl &)>;

    // library: the library of this start; the window opens its help and its folder, and the
    // workspace built on the window hands it on to the parts that list and save files.
    MainWindow(const LibraryLocation &library, PromptService &prompts, QWidget *parent = nullptr);

    static const QString windowText;
    static const QString webAddress;
    static const QString saveTip;
    static const QString aboutItemText;
    static const QString simulatorItemText;
    static const QString libraryItemText;

    // Help, the web page and the library folder are opened through this; the desktop's handler
    // by default. False when nothing could open it.
    void setUrlOpener(UrlOpener opener) { urlOpener = std::move(opener); }
    // Asked before the window closes, however it is closed; false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { closeGuard = std::move(guard); }

    SkinButton *button(SkinLayout::Button which) const { return buttons.value(which); }
    // A button's command for the keyboard: its shortcut (shown in the button's tool tip and in
    // the band's menu) presses the button, so a command runs the same way however it is given.
    QAction *command(SkinLayout::Button which) const { return commands.value(which); }
    HyperLinkLabel *webLink() const { return link; }
    // The device in use, over the button bar; empty until showDevice().
    QLabel *deviceLabel() const { return device; }

    // True where a press on the window starts moving it: the background of the top band.
    bool isInDragBand(const QPoint &pos) const;
    const LibraryLocation &library() const { return location; }
    // The help file the help command opens now: the library's "help.chm", else its
    // "help.html"; empty when neither exists.
    QString helpFile() const;
    // Until the panel editor is in place, the window paints the plain pictures of the
    // controls where the panel's own will sit.
    void setPanelPlaceholders(bool on);

    // The menu of the top band's context menu (the undo actions when given, the bar's commands
    // with About, Simulator, Live panel when given, Open library folder, minimise and close);
    // the caller owns it. The Menu key and Shift+F10 open it too.
    QMenu *createBandMenu(QWidget *parent);
    // The panel's undo and redo: Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo, anywhere in the
    // window; the band's menu shows them first. The actions stay their owner's.
    void setUndoActions(QAction *undo, QAction *redo);
    // The live panel's checkable entry, shown in the band's menu after Simulator. It stays its
    // owner's.
    void setLivePanelAction(QAction *action) { liveAction = action; }

signals:
    void saveAndSendRequested();
    void resetToDefaultsRequested();
    void setDeviceRequested();
    void receiveRequested();
    void curveEditorRequested();
    void simulatorRequested();

public slots:
    void done(int result) override;
    void saveAndSend();
    void resetToDefaults();
    void openSetDevice();
    void receiveAndLoad();
    void openCurveEditor();
    void openSimulator();
    void openHelp();
    void openWebPage();
    void openAbout();
    void openLibraryFolder();
    // text: one line naming the device in use; details: its tool tip; instrument: a device of
    // the system is in use rather than the built-in simulator.
    void showDevice(const QString &text, const QString &details, bool instrument);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void setUpButtons();
    SkinButton *makeButton(SkinLayout::Button which, const char *name);
    void popUpBandMenu(const QPoint &globalPos);
    // Tab reaches the bar after the panel and the library, left to right; the window opens
    // with the focus on the first of the others.
    void placeBarLastInTabOrder();

    const LibraryLocation location;
    PromptService &prompts;
    QMap<SkinLayout::Button, SkinButton *> buttons;
    QMap<SkinLayout::Button, QAction *> commands;
    bool barPlaced = false;
    HyperLinkLabel *link = nullptr;
    QLabel *device = nullptr;
    QPointer<QAction> undoAction;
    QPointer<QAction> redoAction;
    QPointer<QAction> liveAction;
    UrlOpener urlOpener;
    std::function<bool()> closeGuard;
    QPixmap skin;
    bool panelPlaceholders = true;
    bool moving = false;
    QPoint moveOffset;
};
