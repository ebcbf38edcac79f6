#pragma once

#include "core/base/LibraryLocation.h"
#include "core/curve/CurveEditorModel.h"
#include "core/curve/VelocityHistory.h"
#include "gui/curve/CurveDeviceCommands.h"
#include "gui/curve/CurveFileList.h"
#include "gui/curve/VCurveLayout.h"

#include <QDialog>

class MidiInCapture;
class SysExSender;
class PromptService;
class QMenu;

// "V.Curve": shapes the velocity curve by dragging its key points, keeps up to three curves to
// compare with, keeps curves as .crv files, sends the map to the instrument (on Send, or after
// every drag with Realtime ticked) and, with the monitor panel open ("D"), shows the
// velocities the instrument plays. "Calibrate..." proposes a curve from notes the player plays
// and leaves the editor as it was unless the proposal is accepted. Every opening starts afresh;
// the map is the caller's.
//
// A thin view: its widgets and their places are VCurveLayout's, the curve files CurveFileList's,
// the sends, the monitor and the calibration CurveDeviceCommands'; it wires them to the model.
class VCurveDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int windowWidth = VCurveLayout::windowWidth;
    static constexpr int collapsedExtra = VCurveLayout::collapsedExtra;   // window height = panel height + this
    static constexpr int expandedExtra = VCurveLayout::expandedExtra;

    // What the right-button menu does with one of the kept-curve slots.
    enum class SlotCommand { Keep, Show, Restore, Send, Delete };

    static QString deleteQuestion(const QString &fileName) { return CurveFileList::deleteQuestion(fileName); }
    static QString sendQuestion(const QString &fileName) { return CurveFileList::sendQuestion(fileName); }

    // sender: the curve to the output in use; capture: the monitor's and the calibration's notes;
    // library: the curve files listed, loaded and saved are those of its Curve folder.
    VCurveDialog(SysExSender &sender, MidiInCapture &capture, const LibraryLocation &library, PromptService &prompts,
                 VelocityMap &sharedMap,
                 QWidget *parent = nullptr);

    const CurveEditorModel &editor() const { return model; }
    const VelocityHistory &velocityHistory() const { return history; }
    bool isCollapsed() const { return !commands.monitorOpen(); }
    bool isCalibrating() const { return commands.calibrating(); }
    int panelHeight() const { return monitorHeight; }

    // The right-button menu for the current slots: "&New", then "Keep Curve", "Show Curve",
    // "Restore Curve", "&Send" and "&Delete" with an item per slot ("Curve1".."Curve3"), then
    // "&Cancel". The caller owns the menu.
    QMenu *createContextMenu(QWidget *parent);
    // What a slot's menu item does; Send does nothing for a slot that holds no curve.
    void runSlotCommand(SlotCommand command, int slot);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void done(int result) override;
    // While calibrating, Escape and the window's close button end the calibration as Cancel does.
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void wireControls();
    void wireCommands();
    void redraw();
    void showHintOrProgress();

    void areaPressed(QPoint pos);
    void areaDragged(QPoint pos);
    void areaReleased();
    void areaMenu(QPoint globalPos);

    void newCurve();
    void fullReset();
    void load();
    void send();

    void showMonitor(bool open);
    void showCalibration(bool running);
    void setControlsEnabled(bool on);

    CurveEditorModel model;
    VelocityHistory history;
    VCurveLayout ui;
    CurveFileList files;
    CurveDeviceCommands commands;
    int monitorHeight = 0;
};
