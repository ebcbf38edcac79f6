#include "gui/curve/VCurveDialog.h"

#include "gui/curve/CurveArea.h"
#include "gui/widgets/PercentProgress.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

VCurveDialog::VCurveDialog(SysExSender &sender, MidiInCapture &capture, const LibraryLocation &library,
                           PromptService &prompts, VelocityMap &sharedMap, QWidget *parent)
    : QDialog(parent)
    , model(sharedMap)
    , ui(*this, model, history, capture)
    , files(*ui.fileList, *ui.fileName, model, library, prompts, *this)
    , commands(sender, capture, prompts, model, history, *ui.calibration, *this)
{
    setObjectName(QStringLiteral("VCurveDialog"));
    setWindowTitle(QStringLiteral("V.Curve"));
    // Modal to the main window only: the simulator window can play notes for the monitor.
    setWindowModality(Qt::WindowModal);
    wireControls();
    wireCommands();

    // A fresh opening: defaults everywhere, the saved curves listed, the monitor closed.
    model.open();
    history.clear();
    ui.gridBox->setChecked(true);
    ui.vertexBox->setChecked(true);
    ui.realtimeBox->setChecked(false);
    files.fill();
    redraw();
    monitorHeight = ui.monitor->height();
    commands.closeMonitor();
}

void VCurveDialog::wireControls()
{
    connect(ui.area, &CurveArea::leftPressed, this, &VCurveDialog::areaPressed);
    connect(ui.area, &CurveArea::dragged, this, &VCurveDialog::areaDragged);
    connect(ui.area, &CurveArea::leftReleased, this, &VCurveDialog::areaReleased);
    connect(ui.area, &CurveArea::rightPressed, this, &VCurveDialog::areaMenu);

    connect(ui.saveButton, &QPushButton::clicked, &files, &CurveFileList::save);
    connect(ui.loadButton, &QPushButton::clicked, this, &VCurveDialog::load);
    connect(ui.deleteButton, &QPushButton::clicked, &files, &CurveFileList::remove);
    connect(ui.sendButton, &QPushButton::clicked, this, &VCurveDialog::send);

    connect(ui.newButton, &QPushButton::clicked, this, &VCurveDialog::newCurve);
    connect(ui.defaultButton, &QPushButton::clicked, this, &VCurveDialog::fullReset);
    connect(ui.gridBox, &QCheckBox::clicked, this, [this] {
        model.gridOn = ui.gridBox->isChecked();
        redraw();
    });
    connect(ui.vertexBox, &QCheckBox::clicked, this, [this] {
        model.vertexOn = ui.vertexBox->isChecked();
        redraw();
    });
    connect(ui.realtimeBox, &QCheckBox::clicked, this, [this] { model.realtimeOn = ui.realtimeBox->isChecked(); });

    connect(ui.monitorButton, &QPushButton::clicked, &commands, &CurveDeviceCommands::toggleMonitor);
    connect(ui.calibrateButton, &QPushButton::clicked, &commands, &CurveDeviceCommands::startCalibration);
    connect(ui.exitButton, &QPushButton::clicked, this, &QDialog::accept);
}

void VCurveDialog::wireCommands()
{
    using C = CurveDeviceCommands;
    connect(&commands, &C::monitorChanged, this, &VCurveDialog::showMonitor);
    connect(&commands, &C::calibrationChanged, this, &VCurveDialog::showCalibration);
    connect(&commands, &C::proposalChanged, ui.area, qOverload<>(&QWidget::update));
    connect(&commands, &C::curveChanged, this, &VCurveDialog::redraw);
    connect(&commands, &C::noteRecorded, ui.monitor, qOverload<>(&QWidget::update));
    connect(&commands, &C::realtimeSendStarted, this, [this] {
        ui.hint->hide();
        ui.progress->show();
        ui.progress->setPos(0);
    });
    connect(&commands, &C::realtimeSendFinished, this, [this](bool sent) {
        if (sent)
            ui.progress->setPos(1);
    });
}

void VCurveDialog::redraw()
{
    model.refresh();
    for (int row = 0; row < CurveEditorModel::tableRows; ++row)
        ui.newCells[std::size_t(row)]->setText(QString::number(model.tableNew(row)));
    ui.area->update();
}

void VCurveDialog::showHintOrProgress()
{
    ui.hint->setVisible(!model.realtimeOn);
    ui.progress->setVisible(model.realtimeOn);
}

void VCurveDialog::areaPressed(QPoint pos)
{
    model.press(pos.x(), pos.y());
    if (!CurveEditorModel::inArea(pos.x(), pos.y()))
        return;
    showHintOrProgress();
    ui.progress->setPos(0);
}

void VCurveDialog::areaDragged(QPoint pos)
{
    if (model.dragTo(pos.x(), pos.y()))
        redraw();
}

void VCurveDialog::areaReleased()
{
    if (!model.release() || !model.realtimeOn)
        return;
    commands.sendRealtime();
}

void VCurveDialog::mousePressEvent(QMouseEvent *event)
{
    // A press elsewhere in the window lets go of the picked key point (not while calibrating:
    // a calibration that ends in Cancel leaves the pick as it was).
    if (event->button() == Qt::LeftButton && !commands.calibrating())
        model.press(-1, -1);
    QDialog::mousePressEvent(event);
}

QMenu *VCurveDialog::createContextMenu(QWidget *parent)
{
    using C = SlotCommand;
    auto *menu = new QMenu(parent);
    connect(menu->addAction(QStringLiteral("&New")), &QAction::triggered, this, &VCurveDialog::newCurve);
    menu->addSeparator();
    QMenu *keep = menu->addMenu(QStringLiteral("Keep Curve"));
    QMenu *show = menu->addMenu(QStringLiteral("Show Curve"));
    QMenu *restore = menu->addMenu(QStringLiteral("Restore Curve"));
    QMenu *sendMenu = menu->addMenu(QStringLiteral("&Send"));
    QMenu *remove = menu->addMenu(QStringLiteral("&Delete"));
    for (int n = 0; n < CurveSlotSet::count; ++n) {
        const QString name = QStringLiteral("Curve%1").arg(n + 1);
        auto add = [this, n, &name](QMenu *to, SlotCommand command) {
            QAction *action = to->addAction(name);
            connect(action, &QAction::triggered, this, [this, n, command] { runSlotCommand(command, n); });
            return action;
        };
        const CurveSlot &slot = model.keptCurves.at(n);
        const bool holds = slot.holdsCurve();
        QAction *keepItem = add(keep, C::Keep);
        keepItem->setCheckable(true);
        keepItem->setChecked(holds);
        QAction *showItem = add(show, C::Show);
        showItem->setCheckable(true);
        showItem->setChecked(holds && slot.shown);
        showItem->setEnabled(holds);
        add(restore, C::Restore)->setEnabled(holds);
        add(sendMenu, C::Send)->setEnabled(holds);
        add(remove, C::Delete)->setEnabled(holds);
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Cancel"));   // closes the menu and does nothing else
    return menu;
}

void VCurveDialog::runSlotCommand(SlotCommand command, int slot)
{
    if (slot < 0 || slot >= CurveSlotSet::count)
        return;
    switch (command) {
    case SlotCommand::Keep:
        model.keptCurves.keep(slot, model.curve);
        break;
    case SlotCommand::Show:
        model.keptCurves.toggleShown(slot);
        redraw();
        break;
    case SlotCommand::Restore:
        model.keptCurves.requestRestore(slot);
        redraw();
        break;
    case SlotCommand::Delete:
        model.keptCurves.remove(slot);
        redraw();
        break;
    case SlotCommand::Send:
        // The kept curve goes to the instrument as it is drawn; the curve on screen stays.
        commands.sendKept(slot);
        break;
    }
}

void VCurveDialog::areaMenu(QPoint globalPos)
{
    QMenu *menu = createContextMenu(this);
    menu->exec(globalPos);
    delete menu;
}

void VCurveDialog::newCurve()
{
    model.newCurve();
    redraw();
}

void VCurveDialog::fullReset()
{
    history.clear();
    model.fullReset();
    ui.vertexBox->setChecked(true);
    ui.realtimeBox->setChecked(false);
    redraw();
    ui.monitor->update();
}

void VCurveDialog::load()
{
    if (files.load())
        redraw();
}

void VCurveDialog::send()
{
    if (!files.chooseWhatToSend())
        return;
    commands.send();
    redraw();
}

void VCurveDialog::showMonitor(bool open)
{
    setFixedSize(windowWidth, monitorHeight + (open ? expandedExtra : collapsedExtra));
    ui.monitor->setActive(open);
}

void VCurveDialog::showCalibration(bool running)
{
    // The calibration's panel takes the monitor's place in the large window; when it ends, the
    // window takes the monitor's size again (showMonitor).
    if (running) {
        setControlsEnabled(false);
        setFixedSize(windowWidth, monitorHeight + expandedExtra);
        ui.monitorFrame->hide();
        ui.monitor->hide();
        ui.calibration->show();
    } else {
        ui.calibration->hide();
        ui.monitorFrame->show();
        ui.monitor->show();
        setControlsEnabled(true);
    }
}

void VCurveDialog::setControlsEnabled(bool on)
{
    // Everything a person could change the curve or the files with; the table and labels stay.
    for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child == ui.area || child == ui.fileList || child == ui.fileName
            || qobject_cast<QAbstractButton *>(child))
            child->setEnabled(on);
    }
}

void VCurveDialog::reject()
{
    if (commands.calibrating()) {
        commands.finishCalibration(false);
        return;
    }
    QDialog::reject();
}

void VCurveDialog::closeEvent(QCloseEvent *event)
{
    commands.finishCalibration(false);
    QDialog::closeEvent(event);
}

void VCurveDialog::done(int result)
{
    commands.finish();
    QDialog::done(result);
}
