#include "gui/curve/VCurveLayout.h"

#include "gui/curve/CurveArea.h"
#include "gui/widgets/PercentProgress.h"

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

using Spot = VCurveLayout::Spot;

template<typename W> W *placed(W *widget, const Spot &spot)
{
    if (*spot.name)
        widget->setObjectName(QString::fromLatin1(spot.name));
    widget->setGeometry(spot.place);
    return widget;
}

QLabel *label(QWidget &parent, const Spot &spot)
{
    return placed(new QLabel(spot.text.toString(), &parent), spot);
}

QPushButton *button(QWidget &parent, const Spot &spot)
{
    auto *b = placed(new QPushButton(spot.text.toString(), &parent), spot);
    b->setAutoDefault(false);
    return b;
}

QCheckBox *checkBox(QWidget &parent, const Spot &spot)
{
    return placed(new QCheckBox(spot.text.toString(), &parent), spot);
}

// A cell of the Source / New table: shows a number, takes no input.
QLineEdit *cell(QWidget &parent, const char *prefix, int row, QRect first)
{
    auto *edit = new QLineEdit(&parent);
    edit->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(row));
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setAlignment(Qt::AlignCenter);
    edit->setGeometry(first.translated(0, VCurveLayout::At::rowPitch * row));
    return edit;
}

} // namespace

VCurveLayout::VCurveLayout(QDialog &window, const CurveEditorModel &model, const VelocityHistory &history,
                           MidiInCapture &capture)
{
    label(window, At::title);
    area = new CurveArea(model, &window);
    area->move(At::area);

    label(window, At::sourceHeading)->setAlignment(Qt::AlignCenter);
    label(window, At::newHeading)->setAlignment(Qt::AlignCenter);
    for (int row = 0; row < CurveEditorModel::tableRows; ++row) {
        const auto r = std::size_t(row);
        sourceCells[r] = cell(window, "source", row, At::firstSourceCell);
        newCells[r] = cell(window, "new", row, At::firstNewCell);
        sourceCells[r]->setText(QString::number(CurveEditorModel::tableSources[r]));
    }

    label(window, At::fileHeading);
    fileList = placed(new QListWidget(&window), At::fileList);
    fileName = placed(new QLineEdit(&window), At::fileName);
    saveButton = button(window, At::saveButton);
    loadButton = button(window, At::loadButton);
    deleteButton = button(window, At::deleteButton);
    sendButton = button(window, At::sendButton);

    hint = label(window, At::hint);
    hint->setWordWrap(true);
    progress = placed(new PercentProgress(&window), At::progress);
    progress->hide();
    progress->setRange(0, 1);
    progress->setPos(0);
    progress->setBarColour(QColor(99, 162, 104));
    progress->setBarTextColour(QColor(250, 1, 1));

    newButton = button(window, At::newButton);
    defaultButton = button(window, At::defaultButton);
    gridBox = checkBox(window, At::gridBox);
    vertexBox = checkBox(window, At::vertexBox);
    realtimeBox = checkBox(window, At::realtimeBox);
    monitorButton = button(window, At::monitorButton);
    monitorButton->setToolTip(QStringLiteral("Velocity monitor"));
    calibrateButton = button(window, At::calibrateButton);
    calibrateButton->setToolTip(QStringLiteral("Propose a curve from notes you play, softest to hardest"));
    exitButton = button(window, At::exitButton);

    monitorFrame = placed(new QFrame(&window), At::monitorFrame);
    monitorFrame->setFrameShape(QFrame::Box);
    monitor = new MonitorPanel(history, &window);
    monitor->setGeometry(At::monitor);

    calibration = new CalibrationPanel(capture, &window);
    calibration->move(At::calibration);
    calibration->hide();
}
