#pragma once

#include "core/curve/CurveEditorModel.h"
#include "core/curve/VelocityHistory.h"
#include "core/midi/MidiOutSession.h"

#include <QDialog>

#include <array>

class CurveArea;
class MidiSystem;
class MonitorPanel;
class PromptService;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class PercentProgress;
class QPushButton;
class SendVCurveDialog;

// "V.Curve": shapes the velocity curve by dragging its key points, keeps up to three curves to
// compare with, keeps curves as .crv files, sends the map to the instrument (on Send, or after
// every drag with Realtime ticked) and, with the monitor panel open ("D"), shows the
// velocities the instrument plays. Every opening starts afresh; the map is the caller's.
class VCurveDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int windowWidth = 830;
    static constexpr int collapsedExtra = 360;   // window height = panel height + this
    static constexpr int expandedExtra = 532;
    static inline const QString hintText = QStringLiteral(
        "Hint: Use the left mouse button to drag key-points; use the right mouse button to create, "
        "send, redraw or delete.");

    // Context menu commands, by their command numbers.
    enum Command {
        CmdCancel = 32787,
        CmdKeep1 = 32788, CmdKeep2 = 32789, CmdKeep3 = 32802,
        CmdRestore1 = 32790, CmdRestore2 = 32791, CmdRestore3 = 32801,
        CmdNew = 32793,
        CmdShow1 = 32795, CmdShow2 = 32796, CmdShow3 = 32797,
        CmdDelete1 = 32798, CmdDelete2 = 32799, CmdDelete3 = 32800,
        CmdSend1 = 32804, CmdSend2 = 32805, CmdSend3 = 32806,
    };

    // The questions of Delete, and of Send when the curve on screen is not the selected file's.
    static QString deleteQuestion(const QString &fileName);
    static QString sendQuestion(const QString &fileName);

    VCurveDialog(MidiSystem &midi, PromptService &prompts, VelocityMap &sharedMap,
                 QWidget *parent = nullptr);
    ~VCurveDialog() override;

    const CurveEditorModel &editor() const { return model; }
    const VelocityHistory &velocityHistory() const { return history; }
    bool isCollapsed() const { return collapsed; }
    int panelHeight() const { return monitorHeight; }

    // The right-button menu for the current slots; each action carries its command number as
    // data and runs it when triggered. The caller owns the menu.
    QMenu *createContextMenu(QWidget *parent);
    void runCommand(int command);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void done(int result) override;

private:
    void buildControls();
    void redraw();
    void refreshTable();
    void fillList(bool atOpening);
    void showHintOrProgress();

    void areaPressed(QPoint pos);
    void areaDragged(QPoint pos);
    void areaReleased();
    void areaMenu(QPoint globalPos);

    void newCurve();
    void fullReset();
    void save();
    void load();
    void remove();
    void send();
    QString selectedPath() const;

    void toggleMonitor();
    void onShortMessage(quint8 status, quint8 data1, quint8 data2);
    void collapse();
    void expand();

    MidiSystem &midi;
    PromptService &prompts;
    MidiOutSession session;
    CurveEditorModel model;
    VelocityHistory history;

    CurveArea *area = nullptr;
    std::array<QLineEdit *, CurveEditorModel::tableRows> sourceCells{};
    std::array<QLineEdit *, CurveEditorModel::tableRows> newCells{};
    QListWidget *list = nullptr;
    QLineEdit *fileName = nullptr;
    QCheckBox *gridBox = nullptr;
    QCheckBox *vertexBox = nullptr;
    QCheckBox *realtimeBox = nullptr;
    QLabel *hint = nullptr;
    PercentProgress *progress = nullptr;
    QPushButton *monitorButton = nullptr;
    MonitorPanel *monitor = nullptr;
    SendVCurveDialog *sendDialog = nullptr;

    bool collapsed = true;
    int monitorHeight = 0;
};
