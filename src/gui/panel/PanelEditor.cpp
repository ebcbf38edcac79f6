#include "gui/panel/PanelEditor.h"

#include "core/panel/NameLists.h"
#include "core/panel/PanelStep.h"
#include "core/panel/RangeRules.h"
#include "gui/panel/ChannelEdit.h"
#include "gui/panel/ControlPicture.h"
#include "gui/panel/DragList.h"
#include "gui/panel/LabelEdit.h"
#include "gui/panel/PanelHistory.h"
#include "gui/panel/ValueEdit.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinLayout.h"
#include "gui/widgets/SkinResources.h"

using Field = PanelSettings::Field;

namespace {

std::array<QRect, PanelSettings::slotCount> pictureRects()
{
    std::array<QRect, PanelSettings::slotCount> rects{};
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot)
        rects[static_cast<std::size_t>(slot)] = SkinLayout::controlPicture(slot);
    return rects;
}

bool isJoystick(int slot)
{
    return slot >= PanelSettings::JoystickUp && slot <= PanelSettings::JoystickRight;
}

} // namespace

PanelEditor::PanelEditor(QWidget *hostWidget, PromptService &promptService)
    : QObject(hostWidget)
    , host(hostWidget)
    , prompts(promptService)
    , names(new DragList(hostWidget))
    , modeToggle(new SkinButton(hostWidget))
    , channel(new ChannelEdit(promptService, hostWidget))
    , stepUp(new SkinButton(hostWidget))
    , stepDown(new SkinButton(hostWidget))
    , drag(pictureRects())
{
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        auto &row = boxes[static_cast<std::size_t>(slot)];
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f) {
            QLineEdit *edit = nullptr;
            if (f <= 1) {
                auto *label = new LabelEdit(host);
                label->setMode(f == 0 ? LabelEdit::Channel : LabelEdit::Free);
                edit = label;
            } else {
                edit = new ValueEdit(prompts, host);
            }
            edit->setObjectName(QStringLiteral("slot%1_%2").arg(slot).arg(f));
            edit->setGeometry(SkinLayout::slotBox(slot, f));
            // A screen reader names the box as the undo menu does.
            edit->setAccessibleName(PanelStep::boxName(slot, static_cast<Field>(f)));
            edit->setAccessibleDescription(boxDescription(static_cast<Field>(f)));
            row[static_cast<std::size_t>(f)] = edit;
            recordEdits(static_cast<RangeEdit *>(edit), slot, static_cast<Field>(f));
        }
        // Which boxes the user may change, control by control.
        QLineEdit *ch = row[0];
        QLineEdit *cc = row[1];
        if (PanelSettings::isKnob(slot)) {
            ch->setReadOnly(true);
            cc->setReadOnly(true);
        } else if (slot == PanelSettings::JoystickUp || slot == PanelSettings::JoystickDown) {
            ch->setReadOnly(true);
            ch->setEnabled(false);
            cc->setReadOnly(true);
        } else if (slot == PanelSettings::JoystickLeft || slot == PanelSettings::JoystickRight) {
            for (QLineEdit *edit : row)
                edit->setEnabled(false);
            ch->setReadOnly(true);
            cc->setReadOnly(true);
        } else if (slot == PanelSettings::Pedal) {
            ch->setEnabled(false);
        }
        if (!isJoystick(slot) || slot == PanelSettings::JoystickUp) {
            auto kind = ControlPicture::Kind::Joystick;
            if (PanelSettings::isKnob(slot))
                kind = ControlPicture::Kind::Knob;
            else if (PanelSettings::isPad(slot))
                kind = ControlPicture::Kind::Pad;
            else if (slot == PanelSettings::Pedal)
                kind = ControlPicture::Kind::Pedal;
            auto *picture = new ControlPicture(pictureFor(slot), kind, host);
            picture->setGeometry(SkinLayout::controlPicture(slot));
            picture->setAccessibleName(slot == PanelSettings::JoystickUp ? QStringLiteral("Joystick")
                                                                          : PanelStep::slotName(slot));
            picture->setAccessibleDescription(QStringLiteral("Drop a name from the name list here to assign it"));
            picture->lower();
            pictures[static_cast<std::size_t>(slot)] = picture;
        }
    }
    for (int slot = PanelSettings::JoystickDown; slot <= PanelSettings::JoystickRight; ++slot)
        pictures[static_cast<std::size_t>(slot)] = pictures[PanelSettings::JoystickUp];

    names->setObjectName(QStringLiteral("names"));
    names->setGeometry(SkinLayout::nameList());
    modeToggle->setObjectName(QStringLiteral("mode"));
    modeToggle->setGeometry(SkinLayout::modeButton());
    modeToggle->setStateBitmaps(SkinResources::ModeController, {}, 0, {});
    modeToggle->setParentBackground(false);
    channel->setObjectName(QStringLiteral("channel"));
    channel->setGeometry(SkinLayout::channelBox());
    stepUp->setObjectName(QStringLiteral("channelUp"));
    stepUp->setGeometry(SkinLayout::channelUp());
    stepUp->setStateBitmaps(SkinResources::StepUpHover, SkinResources::keyColour(), SkinResources::StepUpNormal,
                            SkinResources::keyColour());
    stepDown->setObjectName(QStringLiteral("channelDown"));
    stepDown->setGeometry(SkinLayout::channelDown());
    stepDown->setStateBitmaps(SkinResources::StepDownHover, SkinResources::keyColour(), SkinResources::StepDownNormal,
                              SkinResources::keyColour());
    // Set up as the bar's buttons are, with a stronger hover colour: over the skin, not on a
    // button face of their own.
    for (SkinButton *step : {stepUp, stepDown}) {
        step->shiftColour(SkinButton::HoverBackground, 60, true);
        step->setTrackAlways(true);
        step->setParentBackground(true);
    }

    channel->setAccessibleName(PanelStep::boxName(PanelState::channelBox, Field::Channel));
    channel->setAccessibleDescription(
        QStringLiteral("The channel a knob or pad gets when a name is dropped on it, 01 to 16"));
    stepUp->setAccessibleName(QStringLiteral("Channel up"));
    stepUp->setAccessibleDescription(QStringLiteral("Steps the Channel box up; after 16 comes 01"));
    stepDown->setAccessibleName(QStringLiteral("Channel down"));
    stepDown->setAccessibleDescription(QStringLiteral("Steps the Channel box down; before 01 comes 16"));
    modeToggle->setAccessibleName(QStringLiteral("Name list mode"));
    names->setAccessibleDescription(
        QStringLiteral("Drag a name onto a knob, a pad, a joystick direction or the pedal to assign it"));
    describeListMode();

    connect(modeToggle, &SkinButton::clicked, this, &PanelEditor::toggleListMode);
    connect(stepUp, &SkinButton::clicked, this, [this] { stepChannel(+1); });
    connect(stepDown, &SkinButton::clicked, this, [this] { stepChannel(-1); });
    connect(names, &DragList::dragMoved, this, &PanelEditor::dragMovedTo);
    connect(names, &DragList::dropped, this, &PanelEditor::dropAt);
    connect(names, &DragList::dragEnded, this, &PanelEditor::dragEnded);
    connect(names, &DragList::dragLeftWindow, this, &PanelEditor::dragEnded);

    recordEdits(channel, PanelState::channelBox, Field::Channel);

    fillNameList();
    channel->reset();
    resetBoxes();
    undoHistory = new PanelHistory(*this);
    markUnchanged();
}

void PanelEditor::recordEdits(RangeEdit *edit, int slot, Field field)
{
    connect(edit, &RangeEdit::committed, this, [this, slot, field] {
        if (undoHistory)
            undoHistory->recordEdit(slot, field);
    });
    if (auto *value = qobject_cast<ValueEdit *>(edit)) {
        connect(value, &ValueEdit::wheelStepped, this, [this, value, slot, field] {
            if (undoHistory)
                undoHistory->recordBurst(slot, field, value->focusSession());
        });
    }
}

PanelState PanelEditor::state() const
{
    PanelState state;
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f)
            state.setBoxText(slot, static_cast<Field>(f), box(slot, static_cast<Field>(f))->text());
    }
    state.setChannelText(channel->text());
    state.setMarks(drag.marked());
    state.setRecords(panel.recordBlock());
    return state;
}

void PanelEditor::restore(const PanelState &state)
{
    const auto put = [](QLineEdit *edit, const QString &text) {
        // A box left as it is keeps its own typing history.
        if (edit->text() != text)
            edit->setText(text);
    };
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f)
            put(box(slot, static_cast<Field>(f)), state.boxText(slot, static_cast<Field>(f)));
    }
    put(channel, state.channelText());
    panel.setRecordBlock(state.records());
    drag.setMarks(state.marks());
    updatePictures();
}

QLineEdit *PanelEditor::box(int slot, Field field) const
{
    const int f = static_cast<int>(field);
    if (slot < 0 || slot >= PanelSettings::slotCount || f < 0 || f >= PanelSettings::boxFieldCount)
        return nullptr;
    return boxes[static_cast<std::size_t>(slot)][static_cast<std::size_t>(f)];
}

ControlPicture *PanelEditor::picture(int slot) const
{
    return slot >= 0 && slot < PanelSettings::slotCount ? pictures[static_cast<std::size_t>(slot)] : nullptr;
}

void PanelEditor::resetBoxes()
{
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f) {
            QLineEdit *edit = box(slot, static_cast<Field>(f));
            if (auto *range = qobject_cast<RangeEdit *>(edit))
                range->reset();
            edit->setText(PanelSettings::defaultBoxText(slot, static_cast<Field>(f)));
        }
    }
    panel.setDefaults();
    drag.clearMarks();
    updatePictures();
}

void PanelEditor::storeBoxes()
{
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f)
            panel.storeField(slot, static_cast<Field>(f), box(slot, static_cast<Field>(f))->text());
    }
}

void PanelEditor::showSlots()
{
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f) {
            if (PanelSettings::loadSetsBox(slot, static_cast<Field>(f)))
                box(slot, static_cast<Field>(f))->setText(panel.fieldText(slot, static_cast<Field>(f)));
        }
    }
}

bool PanelEditor::commitEditing()
{
    auto *edit = qobject_cast<RangeEdit *>(host->window()->focusWidget());
    if (!edit || !host->isAncestorOf(edit))
        return true;
    return edit->commit();
}

QStringList PanelEditor::contents() const
{
    QStringList texts;
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f)
            texts << box(slot, static_cast<Field>(f))->text();
        texts << panel.fieldText(slot, Field::Number);
    }
    return texts;
}

bool PanelEditor::hasUnsavedChanges() const
{
    return contents() != unchanged;
}

void PanelEditor::markUnchanged()
{
    unchanged = contents();
    if (undoHistory)
        undoHistory->markClean();
}

void PanelEditor::fillNameList()
{
    names->clear();
    names->addItems(mode == ListMode::Controller ? NameLists::controllers() : NameLists::notes());
}

void PanelEditor::toggleListMode()
{
    mode = mode == ListMode::Controller ? ListMode::Note : ListMode::Controller;
    fillNameList();
    modeToggle->setStateBitmaps(mode == ListMode::Controller ? SkinResources::ModeController : SkinResources::ModeNote,
                                {}, 0, {});
    modeToggle->repaint();
    describeListMode();
}

void PanelEditor::describeListMode()
{
    const bool controllers = mode == ListMode::Controller;
    names->setAccessibleName(controllers ? QStringLiteral("Controller names") : QStringLiteral("Note names"));
    modeToggle->setAccessibleDescription(controllers ? QStringLiteral("Shows note names in the name list")
                                                     : QStringLiteral("Shows controller names in the name list"));
}

QString PanelEditor::boxDescription(Field field)
{
    switch (field) {
    case Field::Channel: return QStringLiteral("The MIDI channel the control sends on");
    case Field::Label: return QStringLiteral("The controller number or the note the control sends");
    case Field::Msb: return QStringLiteral("MSB value, 000 to 127");
    case Field::Lsb: return QStringLiteral("LSB value, 000 to 127");
    case Field::RangeHigh: return QStringLiteral("Top of the control's range, 000 to 127");
    case Field::RangeLow: return QStringLiteral("Bottom of the control's range, 000 to 127");
    case Field::Number: break;
    }
    return {};
}

void PanelEditor::stepChannel(int step)
{
    if (!commitEditing())
        return;
    if (const auto next = RangeRules::stepChannel(channel->text(), step)) {
        channel->setText(*next);
        // Clicks one after the other are one step; the box's wheel has sessions from 1 on.
        undoHistory->recordBurst(PanelState::channelBox, Field::Channel, 0);
    }
}

int PanelEditor::pictureFor(int slot) const
{
    if (PanelSettings::isKnob(slot))
        return SkinResources::knobPicture(slot - PanelSettings::Knob1, drag.isLit(slot));
    if (PanelSettings::isPad(slot))
        return SkinResources::padPicture(slot - PanelSettings::Pad1, drag.isLit(slot));
    if (slot == PanelSettings::Pedal)
        return drag.isLit(slot) ? SkinResources::PedalLit : SkinResources::Pedal;
    switch (drag.joystickImage()) {
    case PanelDragModel::JoystickImage::Up: return SkinResources::JoystickUp;
    case PanelDragModel::JoystickImage::Down: return SkinResources::JoystickDown;
    case PanelDragModel::JoystickImage::Both: return SkinResources::JoystickBoth;
    case PanelDragModel::JoystickImage::Plain: break;
    }
    return SkinResources::Joystick;
}

void PanelEditor::updatePictures()
{
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        if (isJoystick(slot) && slot != PanelSettings::JoystickUp)
            continue;
        pictures[static_cast<std::size_t>(slot)]->setPicture(pictureFor(slot));
    }
}

void PanelEditor::dragMovedTo(const QPoint &windowPos)
{
    lastFound = drag.search(windowPos, mode);
    updatePictures();
}

void PanelEditor::dragEnded()
{
    lastFound = PanelDragModel::none;
    drag.clearHover();
    updatePictures();
}

void PanelEditor::dropAt(const QPoint &windowPos)
{
    if (lastFound != PanelDragModel::none)
        drag.mark(lastFound);
    const int target = drag.search(windowPos, mode);
    const auto assignment = PanelDragModel::assignment(target, names->selectedText(), channel->text(), mode);
    dragEnded();
    if (assignment.slot == PanelDragModel::none)
        return;
    if (assignment.channelText)
        box(assignment.slot, Field::Channel)->setText(*assignment.channelText);
    box(assignment.slot, Field::Label)->setText(assignment.ccText);
    panel.setAssignment(assignment.slot, assignment.number);
    undoHistory->record(PanelStep::Kind::Assignment, {assignment.slot, Field::Number, names->selectedText()});
}
