#include "gui/curve/VCurveDialog.h"

#include "core/base/PromptService.h"
#include "core/curve/CurveSysEx.h"
#include "core/midi/MidiInCapture.h"
#include "gui/curve/CurveArea.h"
#include "gui/curve/SendVCurveDialog.h"
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

VCurveDialog::VCurveDialog(SysExSender &sysExSender, MidiInCapture &inputCapture, const LibraryLocation &library,
                           PromptService &promptService, VelocityMap &sharedMap, QWidget *parent)
    : QDialog(parent)
    , sender(sysExSender)
    , capture(inputCapture)
    , prompts(promptService)
    , model(sharedMap)
    , ui(*this, model, history, capture)
    , files(*ui.fileList, *ui.fileName, model, library, prompts, *this)
{
    setObjectName(QStringLiteral("VCurveDialog"));
    setWindowTitle(QStringLiteral("V.Curve"));
    // Modal to the main window only: the simulator window can play notes for the monitor.
    setWindowModality(Qt::WindowModal);
    wireControls();
    sendDialog = new SendVCurveDialog(sender, prompts, sharedMap, this);
    connect(&capture, &MidiInCapture::shortMessage, this, &VCurveDialog::onShortMessage);

    // A fresh opening: defaults everywhere, the saved curves listed, the monitor closed.
    model.open();
    history.clear();
    ui.gridBox->setChecked(true);
    ui.vertexBox->setChecked(true);
    ui.realtimeBox->setChecked(false);
    files.fill();
    redraw();
    monitorHeight = ui.monitor->height();
    collapse();
}

VCurveDialog::~VCurveDialog()
{
    if (!collapsed)
        capture.close(this);
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

    connect(ui.monitorButton, &QPushButton::clicked, this, &VCurveDialog::toggleMonitor);
    connect(ui.calibrateButton, &QPushButton::clicked, this, &VCurveDialog::startCalibration);
    connect(ui.exitButton, &QPushButton::clicked, this, &QDialog::accept);

    connect(ui.calibration, &CalibrationPanel::proposalChanged, this, [this] {
        if (!calibrating)
            return;
        const VelocityCalibration::Proposal &offered = ui.calibration->proposal();
        model.proposal = offered.proposed() ? std::optional(offered.curve) : std::nullopt;
        ui.area->update();
    });
    connect(ui.calibration, &CalibrationPanel::acceptRequested, this, [this] { finishCalibration(true); });
    connect(ui.calibration, &CalibrationPanel::cancelRequested, this, [this] { finishCalibration(false); });
}

void VCurveDialog::redraw()
{
    model.refresh();
    refreshTable();
    ui.area->update();
}

void VCurveDialog::refreshTable()
{
    for (int row = 0; row < CurveEditorModel::tableRows; ++row)
        ui.newCells[std::size_t(row)]->setText(QString::number(model.tableNew(row)));
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
    sendRealtime();
}

void VCurveDialog::sendRealtime()
{
    ui.hint->hide();
    ui.progress->show();
    ui.progress->setPos(0);
    if (CurveSysEx::send(sender, prompts, model.map()))
        ui.progress->setPos(1);
}

void VCurveDialog::mousePressEvent(QMouseEvent *event)
{
    // A press elsewhere in the window lets go of the picked key point (not while calibrating:
    // a calibration that ends in Cancel leaves the pick as it was).
    if (event->button() == Qt::LeftButton && !calibrating)
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
        if (model.keptCurves.at(slot).holdsCurve())
            sendDialog->sendMap(model.slotMap(slot));
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
    sendDialog->exec();
    redraw();
}

void VCurveDialog::toggleMonitor()
{
    if (collapsed)
        expand();
    else
        collapse();
}

void VCurveDialog::collapse()
{
    setFixedSize(windowWidth, monitorHeight + collapsedExtra);
    collapsed = true;
    capture.close(this);
    ui.monitor->setActive(false);
}

void VCurveDialog::expand()
{
    setFixedSize(windowWidth, monitorHeight + expandedExtra);
    collapsed = false;
    ui.monitor->setActive(true);
    if (!capture.open(this, MidiInCapture::Mode::ShortMessages)) {
        prompts.inform(inputErrorText, {}, PromptService::Icon::Stop);
        collapse();
    }
}

void VCurveDialog::startCalibration()
{
    if (calibrating)
        return;
    // The calibration holds the input while it runs; the monitor's capture ends here.
    if (!ui.calibration->start()) {
        prompts.inform(inputErrorText, {}, PromptService::Icon::Stop);
        if (!collapsed)
            collapse();   // its input is gone as well
        return;
    }
    calibrating = true;
    setControlsEnabled(false);
    setFixedSize(windowWidth, monitorHeight + expandedExtra);
    ui.monitorFrame->hide();
    ui.monitor->hide();
    ui.calibration->show();
}

void VCurveDialog::finishCalibration(bool accept)
{
    if (!calibrating)
        return;
    calibrating = false;
    ui.calibration->stop();
    ui.calibration->hide();
    ui.monitorFrame->show();
    ui.monitor->show();
    setControlsEnabled(true);
    const bool taken = accept && model.acceptProposal();
    model.proposal.reset();
    if (taken)
        redraw();
    else
        ui.area->update();   // nothing else changed
    // The window and the input go back to what the monitor had.
    if (collapsed)
        collapse();
    else
        expand();
    if (taken && model.realtimeOn)
        sendRealtime();
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
    if (calibrating) {
        finishCalibration(false);
        return;
    }
    QDialog::reject();
}

void VCurveDialog::closeEvent(QCloseEvent *event)
{
    finishCalibration(false);
    QDialog::closeEvent(event);
}

void VCurveDialog::onShortMessage(quint8 status, quint8 data1, quint8 data2)
{
    if (!capture.isOpenFor(this))
        return;
    if (history.record(status | std::uint32_t(data1) << 8 | std::uint32_t(data2) << 16))
        ui.monitor->update();
}

void VCurveDialog::done(int result)
{
    finishCalibration(false);
    // The monitor's input ends with the editor, not at some later opening.
    if (!collapsed)
        collapse();
    QDialog::done(result);
}
