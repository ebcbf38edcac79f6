#pragma once

#include "core/curve/CurveEditorModel.h"
#include "gui/curve/CalibrationPanel.h"
#include "gui/curve/MonitorPanel.h"

#include <QPoint>
#include <QRect>
#include <QStringView>

#include <array>

class CurveArea;
class MidiInCapture;
class PercentProgress;
class QCheckBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class VelocityHistory;

// The curve editor's window as laid out in pixels: every widget with its object name, text and
// place, made in one go as a form's generated class would, in the order that gives the tab
// order. The places are the table below; VCurveDialog wires the widgets.
class VCurveLayout
{
public:
    static constexpr int windowWidth = 830;
    static constexpr int collapsedExtra = 360;   // window height = panel height + this
    static constexpr int expandedExtra = 532;

    // A widget's object name (empty: none), text and place.
    struct Spot
    {
        const char *name;
        QStringView text;
        QRect place;
    };

    // Where each widget sits, top to bottom and left to right.
    struct At
    {
        // The drawing under its title.
        static constexpr Spot title{"", u"V. Curve Show", {10, 6, 200, 18}};
        static constexpr QPoint area{10, 26};
        // The Source / New table: one row every rowPitch pixels, from the first cells down.
        static constexpr Spot sourceHeading{"", u"Source", {532, 6, 48, 18}};
        static constexpr Spot newHeading{"", u"New", {584, 6, 48, 18}};
        static constexpr QRect firstSourceCell{532, 26, 48, 22};
        static constexpr QRect firstNewCell{584, 26, 48, 22};
        static constexpr int rowPitch = 27;
        // Saved curves.
        static constexpr Spot fileHeading{"", u"FileName", {644, 6, 176, 18}};
        static constexpr Spot fileList{"fileList", {}, {644, 26, 176, 300}};
        static constexpr Spot fileName{"fileName", {}, {644, 334, 176, 22}};
        static constexpr Spot saveButton{"saveButton", u"Save", {644, 364, 84, 26}};
        static constexpr Spot loadButton{"loadButton", u"Load", {736, 364, 84, 26}};
        static constexpr Spot deleteButton{"deleteButton", u"Delete", {644, 396, 84, 26}};
        static constexpr Spot sendButton{"sendButton", u"Send", {736, 396, 84, 26}};
        // The hint line, with the realtime send's bar in its place.
        static constexpr Spot hint{"hint",
                                   u"Hint: Use the left mouse button to drag key-points; use the right mouse "
                                   u"button to create, send, redraw or delete.",
                                   {10, 410, 520, 32}};
        static constexpr Spot progress{"progress", {}, {10, 412, 510, 20}};
        // The row of buttons along the small window's bottom.
        static constexpr Spot newButton{"newButton", u"New", {10, 444, 76, 26}};
        static constexpr Spot defaultButton{"defaultButton", u"Default", {94, 444, 76, 26}};
        static constexpr Spot gridBox{"gridBox", u" Grid", {190, 446, 84, 22}};
        static constexpr Spot vertexBox{"vertexBox", u" Vertex", {274, 446, 84, 22}};
        static constexpr Spot realtimeBox{"realtimeBox", u"Realtime", {358, 446, 84, 22}};
        static constexpr Spot monitorButton{"monitorButton", u"D", {490, 444, 30, 26}};
        static constexpr Spot calibrateButton{"calibrateButton", u"Calibrate\u2026", {644, 444, 84, 26}};
        static constexpr Spot exitButton{"exitButton", u"Exit", {736, 444, 84, 26}};
        // Below the small window's edge until "D" enlarges the window: the monitor in its
        // frame, and the calibration in the monitor's place, its bars where the monitor's are.
        static constexpr Spot monitorFrame{"monitorFrame", {}, {8, 522, windowWidth - 16, MonitorPanel::designHeight + 4}};
        static constexpr QRect monitor{10, 524, windowWidth - 20, MonitorPanel::designHeight};
        static constexpr QPoint calibration{0, 524 - 2 - CalibrationPanel::barsTop};
    };

    // Makes every widget as a child of window: the drawing over model, the monitor over
    // history, the calibration listening to capture (it opens it only when started).
    VCurveLayout(QDialog &window, const CurveEditorModel &model, const VelocityHistory &history,
                 MidiInCapture &capture);

    CurveArea *area = nullptr;
    std::array<QLineEdit *, CurveEditorModel::tableRows> sourceCells{};
    std::array<QLineEdit *, CurveEditorModel::tableRows> newCells{};
    QListWidget *fileList = nullptr;
    QLineEdit *fileName = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *loadButton = nullptr;
    QPushButton *deleteButton = nullptr;
    QPushButton *sendButton = nullptr;
    QLabel *hint = nullptr;
    PercentProgress *progress = nullptr;
    QPushButton *newButton = nullptr;
    QPushButton *defaultButton = nullptr;
    QCheckBox *gridBox = nullptr;
    QCheckBox *vertexBox = nullptr;
    QCheckBox *realtimeBox = nullptr;
    QPushButton *monitorButton = nullptr;
    QPushButton *calibrateButton = nullptr;
    QPushButton *exitButton = nullptr;
    QFrame *monitorFrame = nullptr;
    MonitorPanel *monitor = nullptr;
    CalibrationPanel *calibration = nullptr;
};
