#include "core/panel/PanelDragModel.h"

#include "core/panel/PanelSettings.h"

PanelDragModel::PanelDragModel(const std::array<QRect, 21> &controlPictures)
    : pictures(controlPictures)
{
}

QRect PanelDragModel::upZone() const
{
    const QRect r = pictures[PanelSettings::JoystickUp];
    const int w = r.width();
    const int h = r.height();
    // The zones reach three quarters of a width beyond the picture's right edge, as the
    // instrument's own editor always had them.
    return QRect(QPoint(r.left() + w / 4, r.top()), QPoint(r.left() + w + 3 * w / 4 - 1, r.top() + 5 * h / 8 - 1));
}

QRect PanelDragModel::downZone() const
{
    const QRect r = pictures[PanelSettings::JoystickUp];
    const int w = r.width();
    const int h = r.height();
    return QRect(QPoint(r.left() + w / 4, r.top() + 3 * h / 4), QPoint(r.left() + w + 3 * w / 4 - 1, r.top() + h - 1));
}

int PanelDragModel::search(const QPoint &point, ListMode mode)
{
    hover = none;
    auto test = [&](int slot) {
        if (hover == none && pictures[static_cast<std::size_t>(slot)].contains(point))
            hover = slot;
    };
    test(PanelSettings::Pedal);
    for (int k = 0; k < PanelSettings::padCount; ++k)
        test(PanelSettings::Pad1 + k);
    bool inUp = false;
    bool inDown = false;
    if (mode == ListMode::Controller) {
        for (int k = 0; k < PanelSettings::knobCount; ++k)
            test(PanelSettings::Knob1 + k);
        inUp = upZone().contains(point);
        inDown = !inUp && downZone().contains(point);
        if (hover == none && inUp)
            hover = PanelSettings::JoystickUp;
        else if (hover == none && inDown)
            hover = PanelSettings::JoystickDown;
    }
    updateJoystick(mode, inUp, inDown);
    return hover;
}

void PanelDragModel::updateJoystick(ListMode mode, bool inUp, bool inDown)
{
    const bool up = marks[PanelSettings::JoystickUp];
    const bool down = marks[PanelSettings::JoystickDown];
    if (mode == ListMode::Controller && inUp)
        joystick = JoystickImage::Up;
    else if (mode == ListMode::Controller && inDown)
        joystick = JoystickImage::Down;
    else if (up && down)
        joystick = JoystickImage::Both;
    else if (up)
        joystick = JoystickImage::Up;
    else if (down)
        joystick = JoystickImage::Down;
    else
        joystick = JoystickImage::Plain;
}

void PanelDragModel::clearHover()
{
    hover = none;
    updateJoystick(ListMode::Note, false, false);
}

void PanelDragModel::mark(int slot)
{
    if (slot >= 0 && slot < 21)
        marks[static_cast<std::size_t>(slot)] = true;
}

void PanelDragModel::clearMarks()
{
    marks.fill(false);
    clearHover();
}

void PanelDragModel::setMarks(const std::array<bool, 21> &marked)
{
    marks = marked;
    clearHover();
}

bool PanelDragModel::isLit(int slot) const
{
    return slot >= 0 && slot < 21 && (marks[static_cast<std::size_t>(slot)] || hover == slot);
}

PanelDragModel::Assignment PanelDragModel::assignment(int slot, const QString &entry, const QString &channelBoxText,
                                                      ListMode mode)
{
    Assignment result;
    if (slot == none || entry.size() < 3)
        return result;
    result.slot = slot;
    result.number = entry.left(3);
    result.ccText = mode == ListMode::Controller ? result.number : entry.mid(4);
    if (PanelSettings::isKnob(slot) || PanelSettings::isPad(slot))
        result.channelText = QStringLiteral("0") + channelBoxText;
    return result;
}
