#include "gui/curve/VCurveDialog.h"

#include "core/base/FolderListing.h"
#include "core/base/PromptService.h"
#include "core/curve/CurveSysEx.h"
#include "core/midi/MidiInCapture.h"
#include "gui/curve/CalibrationPanel.h"
#include "gui/curve/CurveArea.h"
#include "gui/curve/MonitorPanel.h"
#include "gui/curve/SendVCurveDialog.h"
#include "gui/widgets/FilenamePrompt.h"
#include "gui/widgets/PercentProgress.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

namespace {

const QString curveExtension = QString::fromLatin1(CurveFile::extension);

QPushButton *button(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

QLabel *label(QWidget *parent, const QString &text, QRect geometry)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}

} // namespace

VCurveDialog::VCurveDialog(SysExSender &sysExSender, MidiInCapture &inputCapture, const LibraryLocation &library,
                           PromptService &promptService, VelocityMap &sharedMap, QWidget *parent)
    : QDialog(parent)
    , sender(sysExSender)
    , capture(inputCapture)
    , location(library)
    , prompts(promptService)
    , model(sharedMap)
{
    setObjectName(QStringLiteral("VCurveDialog"));
    setWindowTitle(QStringLiteral("V.Curve"));
    // Modal to the main window only: the simulator window can play notes for the monitor.
    setWindowModality(Qt::WindowModal);
    buildControls();
    sendDialog = new SendVCurveDialog(sender, prompts, sharedMap, this);
    connect(&capture, &MidiInCapture::shortMessage, this, &VCurveDialog::onShortMessage);

    // A fresh opening: defaults everywhere, the saved curves listed, the monitor closed.
    model.open();
    history.clear();
    gridBox->setChecked(true);
    vertexBox->setChecked(true);
    realtimeBox->setChecked(false);
    fillList();
    redraw();
    progress->hide();
    progress->setRange(0, 1);
    progress->setPos(0);
    progress->setBarColour(QColor(99, 162, 104));
    progress->setBarTextColour(QColor(250, 1, 1));
    monitorHeight = monitor->height();
    collapse();
}

VCurveDialog::~VCurveDialog()
{
    if (!collapsed)
        capture.close(this);
}

void VCurveDialog::buildControls()
{
    label(this, QStringLiteral("V. Curve Show"), {10, 6, 200, 18});
    area = new CurveArea(model, this);
    area->move(10, 26);
    connect(area, &CurveArea::leftPressed, this, &VCurveDialog::areaPressed);
    connect(area, &CurveArea::dragged, this, &VCurveDialog::areaDragged);
    connect(area, &CurveArea::leftReleased, this, &VCurveDialog::areaReleased);
    connect(area, &CurveArea::rightPressed, this, &VCurveDialog::areaMenu);

    // The Source / New table.
    label(this, QStringLiteral("Source"), {532, 6, 48, 18})->setAlignment(Qt::AlignCenter);
    label(this, QStringLiteral("New"), {584, 6, 48, 18})->setAlignment(Qt::AlignCenter);
    for (int row = 0; row < CurveEditorModel::tableRows; ++row) {
        auto cell = [this, row](const char *prefix, int x) {
            auto *edit = new QLineEdit(this);
            edit->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(row));
            edit->setReadOnly(true);
            edit->setFocusPolicy(Qt::NoFocus);
            edit->setAlignment(Qt::AlignCenter);
            edit->setGeometry(x, 26 + 27 * row, 48, 22);
            return edit;
        };
        sourceCells[std::size_t(row)] = cell("source", 532);
        newCells[std::size_t(row)] = cell("new", 584);
        sourceCells[std::size_t(row)]->setText(QString::number(CurveEditorModel::tableSources[std::size_t(row)]));
    }

    // Saved curves.
    label(this, QStringLiteral("FileName"), {644, 6, 176, 18});
    list = new QListWidget(this);
    list->setObjectName(QStringLiteral("fileList"));
    list->setGeometry(644, 26, 176, 300);
    // The name box names the selected file, and nothing when none is selected.
    connect(list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> chosen = list->selectedItems();
        fileName->setText(chosen.isEmpty() ? QString() : chosen.first()->text());
    });
    fileName = new QLineEdit(this);
    fileName->setObjectName(QStringLiteral("fileName"));
    fileName->setGeometry(644, 334, 176, 22);
    connect(button(this, "saveButton", QStringLiteral("Save"), {644, 364, 84, 26}), &QPushButton::clicked, this,
            &VCurveDialog::save);
    connect(button(this, "loadButton", QStringLiteral("Load"), {736, 364, 84, 26}), &QPushButton::clicked, this,
            &VCurveDialog::load);
    connect(button(this, "deleteButton", QStringLiteral("Delete"), {644, 396, 84, 26}), &QPushButton::clicked,
            this, &VCurveDialog::remove);
    connect(button(this, "sendButton", QStringLiteral("Send"), {736, 396, 84, 26}), &QPushButton::clicked, this,
            &VCurveDialog::send);

    // Hint line, with the realtime send's bar in its place.
    hint = label(this, hintText, {10, 410, 520, 32});
    hint->setObjectName(QStringLiteral("hint"));
    hint->setWordWrap(true);
    progress = new PercentProgress(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setGeometry(10, 412, 510, 20);

    connect(button(this, "newButton", QStringLiteral("New"), {10, 444, 76, 26}), &QPushButton::clicked, this,
            &VCurveDialog::newCurve);
    connect(button(this, "defaultButton", QStringLiteral("Default"), {94, 444, 76, 26}), &QPushButton::clicked,
            this, &VCurveDialog::fullReset);
    auto checkBox = [this](const char *name, const QString &text, int x) {
        auto *box = new QCheckBox(text, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(x, 446, 84, 22);
        return box;
    };
    gridBox = checkBox("gridBox", QStringLiteral(" Grid"), 190);
    vertexBox = checkBox("vertexBox", QStringLiteral(" Vertex"), 274);
    realtimeBox = checkBox("realtimeBox", QStringLiteral("Realtime"), 358);
    connect(gridBox, &QCheckBox::clicked, this, [this] {
        model.gridOn = gridBox->isChecked();
        redraw();
    });
    connect(vertexBox, &QCheckBox::clicked, this, [this] {
        model.vertexOn = vertexBox->isChecked();
        redraw();
    });
    connect(realtimeBox, &QCheckBox::clicked, this, [this] { model.realtimeOn = realtimeBox->isChecked(); });

    monitorButton = button(this, "monitorButton", QStringLiteral("D"), {490, 444, 30, 26});
    monitorButton->setToolTip(QStringLiteral("Velocity monitor"));
    connect(monitorButton, &QPushButton::clicked, this, &VCurveDialog::toggleMonitor);
    calibrateButton = button(this, "calibrateButton", QStringLiteral("Calibrate\u2026"), {644, 444, 84, 26});
    calibrateButton->setToolTip(QStringLiteral("Propose a curve from notes you play, softest to hardest"));
    connect(calibrateButton, &QPushButton::clicked, this, &VCurveDialog::startCalibration);
    auto *exitButton = button(this, "exitButton", QStringLiteral("Exit"), {736, 444, 84, 26});
    connect(exitButton, &QPushButton::clicked, this, &QDialog::accept);

    // The monitor panel lies below the small window's edge until "D" enlarges the window.
    monitorFrame = new QFrame(this);
    monitorFrame->setObjectName(QStringLiteral("monitorFrame"));
    monitorFrame->setFrameShape(QFrame::Box);
    monitorFrame->setGeometry(8, 522, windowWidth - 16, MonitorPanel::designHeight + 4);
    monitor = new MonitorPanel(history, this);
    monitor->setGeometry(10, 524, windowWidth - 20, MonitorPanel::designHeight);

    // The calibration takes the monitor's place, its bars where the monitor's are.
    calibration = new CalibrationPanel(capture, this);
    calibration->move(0, 524 - 2 - CalibrationPanel::barsTop);
    calibration->hide();
    connect(calibration, &CalibrationPanel::proposalChanged, this, [this] {
        if (!calibrating)
            return;
        const VelocityCalibration::Proposal &offered = calibration->proposal();
        model.proposal = offered.proposed() ? std::optional(offered.curve) : std::nullopt;
        area->update();
    });
    connect(calibration, &CalibrationPanel::acceptRequested, this, [this] { finishCalibration(true); });
    connect(calibration, &CalibrationPanel::cancelRequested, this, [this] { finishCalibration(false); });
}

void VCurveDialog::redraw()
{
    model.refresh();
    refreshTable();
    area->update();
}

void VCurveDialog::refreshTable()
{
    for (int row = 0; row < CurveEditorModel::tableRows; ++row)
        newCells[std::size_t(row)]->setText(QString::number(model.tableNew(row)));
}

void VCurveDialog::fillList()
{
    // Nothing is selected afterwards: the curve on screen is the program's own until the user
    // chooses a file.
    list->clear();
    const FolderListing::Result found = FolderListing::list(location.folder(DataPaths::Folder::Curve),
                                                            curveExtension.mid(1));
    if (found.tooMany)
        prompts.inform(QString::fromLatin1(FolderListing::tooManyMessage));
    else
        list->addItems(found.names);
    list->setCurrentRow(-1);
    fileName->clear();
}

void VCurveDialog::showHintOrProgress()
{
    hint->setVisible(!model.realtimeOn);
    progress->setVisible(model.realtimeOn);
}

void VCurveDialog::areaPressed(QPoint pos)
{
    model.press(pos.x(), pos.y());
    if (!CurveEditorModel::inArea(pos.x(), pos.y()))
        return;
    showHintOrProgress();
    progress->setPos(0);
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
    hint->hide();
    progress->show();
    progress->setPos(0);
    if (CurveSysEx::send(sender, prompts, model.map()))
        progress->setPos(1);
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
    vertexBox->setChecked(true);
    realtimeBox->setChecked(false);
    redraw();
    monitor->update();
}

QString VCurveDialog::selectedPath() const
{
    const QListWidgetItem *item = list->currentItem();
    if (!item || !item->isSelected())
        return {};
    return location.file(DataPaths::Folder::Curve, item->text());
}

void VCurveDialog::save()
{
    // The prompt refuses unsafe names; whether to replace a curve file is asked here, once.
    const std::optional<QString> name = FilenamePrompt::ask(prompts, this, location, DataPaths::Folder::Curve,
                                                            curveExtension, FilenamePrompt::Existing::CallerAsks);
    if (!name)
        return;
    if (name->isEmpty()) {
        prompts.inform(QStringLiteral("Please enter the file name."), {}, PromptService::Icon::Stop);
        return;
    }
    const QString path = location.file(DataPaths::Folder::Curve, *name + curveExtension);
    const bool replacing = QFileInfo::exists(path);
    if (replacing && !prompts.confirm(replaceQuestion, QStringLiteral("Save file"), PromptService::Icon::Question))
        return;   // No saves nothing
    const CurveFile::Result saved = CurveFile::save(path, model.contents());
    if (!saved.ok) {
        prompts.inform(saved.message, {}, PromptService::Icon::Stop);
        return;
    }
    model.markSaved();
    if (!replacing)
        fillList();
}

void VCurveDialog::load()
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return;
    const CurveFile::Result loaded = CurveFile::load(path);
    if (!loaded.ok) {
        prompts.inform(loaded.message, {}, PromptService::Icon::Stop);
        return;
    }
    model.load(loaded.contents);
    redraw();
}

void VCurveDialog::remove()
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return;
    const int row = list->currentRow();
    // The selection moves on after a delete: a second click must not take the next file unasked.
    if (!prompts.confirm(deleteQuestion(list->item(row)->text()), QStringLiteral("Zorvik Halden"),
                         PromptService::Icon::Question, PromptService::Answer::No))
        return;
    QFile file(path);
    if (file.exists() && !file.remove()) {
        prompts.inform(QStringLiteral("Cannot delete the curve file \"%1\": %2")
                           .arg(list->item(row)->text(), file.errorString()),
                       {}, PromptService::Icon::Stop);
        return;
    }
    delete list->takeItem(row);
    const int next = row > 0 ? row - 1 : 0;
    if (next < list->count()) {
        list->setCurrentRow(next);
        fileName->setText(list->item(next)->text());
    } else {
        list->setCurrentRow(-1);
        fileName->clear();
    }
}

QString VCurveDialog::deleteQuestion(const QString &fileName)
{
    return QStringLiteral("Delete the curve file \"%1\"?").arg(fileName);
}

QString VCurveDialog::sendQuestion(const QString &fileName)
{
    return QStringLiteral("The curve on screen differs from \"%1\".\n\n"
                          "Yes sends the curve on screen.\n"
                          "No sends \"%1\" and shows its curve instead.\n"
                          "Cancel sends nothing.")
        .arg(fileName);
}

void VCurveDialog::send()
{
    const QString path = selectedPath();
    if (!path.isEmpty()) {
        // The file's stored map is what goes out; a file that fails its checks sends nothing.
        const CurveFile::Result loaded = CurveFile::load(path);
        if (!loaded.ok) {
            prompts.inform(loaded.message, {}, PromptService::Icon::Stop);
            return;
        }
        // Sending the file puts its curve on screen: an edit kept nowhere else is only replaced
        // when the user says so. A curve just opened, loaded or saved is not worth the question.
        if (model.isEdited() && loaded.contents.curve != model.curve) {
            const PromptService::Answer answer =
                prompts.ask({sendQuestion(list->currentItem()->text()), QStringLiteral("Zorvik Halden"),
                             PromptService::Icon::Question, PromptService::Buttons::YesNoCancel});
            if (answer == PromptService::Answer::Yes) {
                sendDialog->exec();
                redraw();
                return;
            }
            if (answer != PromptService::Answer::No)
                return;
        }
        model.applyFile(loaded.contents);
    }
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
    monitor->setActive(false);
}

void VCurveDialog::expand()
{
    setFixedSize(windowWidth, monitorHeight + expandedExtra);
    collapsed = false;
    monitor->setActive(true);
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
    if (!calibration->start()) {
        prompts.inform(inputErrorText, {}, PromptService::Icon::Stop);
        if (!collapsed)
            collapse();   // its input is gone as well
        return;
    }
    calibrating = true;
    setControlsEnabled(false);
    setFixedSize(windowWidth, monitorHeight + expandedExtra);
    monitorFrame->hide();
    monitor->hide();
    calibration->show();
}

void VCurveDialog::finishCalibration(bool accept)
{
    if (!calibrating)
        return;
    calibrating = false;
    calibration->stop();
    calibration->hide();
    monitorFrame->show();
    monitor->show();
    setControlsEnabled(true);
    const bool taken = accept && model.acceptProposal();
    model.proposal.reset();
    if (taken)
        redraw();
    else
        area->update();   // nothing else changed
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
        if (child == area || child == list || child == fileName || qobject_cast<QAbstractButton *>(child))
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
        monitor->update();
}

void VCurveDialog::done(int result)
{
    finishCalibration(false);
    // The monitor's input ends with the editor, not at some later opening.
    if (!collapsed)
        collapse();
    QDialog::done(result);
}
