#include "core/panel/PanelStep.h"

#include <utility>

PanelStep::PanelStep(Kind kind, Subject subject, PanelState before, PanelState after)
    : what(kind)
    , on(std::move(subject))
    , from(std::move(before))
    , to(std::move(after))
{
}

PanelStep PanelStep::edit(int slot, Field field, PanelState before, PanelState after)
{
    return PanelStep(Kind::Edit, {slot, field, {}}, std::move(before), std::move(after));
}

PanelStep PanelStep::assignment(int slot, const QString &entry, PanelState before, PanelState after)
{
    return PanelStep(Kind::Assignment, {slot, Field::Number, entry}, std::move(before), std::move(after));
}

PanelStep PanelStep::load(const QString &fileName, PanelState before, PanelState after)
{
    return PanelStep(Kind::Load, {PanelState::channelBox, Field::Channel, fileName}, std::move(before),
                     std::move(after));
}

QString PanelStep::text() const
{
    switch (what) {
    case Kind::Edit:
        return boxName(on.slot, on.field);
    case Kind::Assignment:
        return QStringLiteral("Assignment of %1 to %2").arg(on.text, slotName(on.slot));
    case Kind::Default:
        return QStringLiteral("Default");
    case Kind::Load:
        return QStringLiteral("Load of %1").arg(on.text);
    case Kind::Receive:
        return QStringLiteral("Load of the received dump");
    }
    return {};
}

QString PanelStep::slotName(int slot)
{
    if (PanelSettings::isKnob(slot))
        return QStringLiteral("Knob %1").arg(slot - PanelSettings::Knob1 + 1);
    if (PanelSettings::isPad(slot))
        return QStringLiteral("Pad %1").arg(slot - PanelSettings::Pad1 + 1);
    switch (slot) {
    case PanelSettings::JoystickUp: return QStringLiteral("Joystick Up");
    case PanelSettings::JoystickDown: return QStringLiteral("Joystick Down");
    case PanelSettings::JoystickLeft: return QStringLiteral("Joystick Left");
    case PanelSettings::JoystickRight: return QStringLiteral("Joystick Right");
    case PanelSettings::Pedal: return QStringLiteral("Pedal");
    default: return {};
    }
}

QString PanelStep::fieldName(Field field)
{
    switch (field) {
    case Field::Channel: return QStringLiteral("CH");
    case Field::Label: return QStringLiteral("CC");
    case Field::Msb: return QStringLiteral("MSB");
    case Field::Lsb: return QStringLiteral("LSB");
    case Field::RangeHigh: return QStringLiteral("RANGE high");
    case Field::RangeLow: return QStringLiteral("RANGE low");
    case Field::Number: return QStringLiteral("number");
    }
    return {};
}

QString PanelStep::boxName(int slot, Field field)
{
    if (slot == PanelState::channelBox)
        return QStringLiteral("Channel box");
    return slotName(slot) + QLatin1Char(' ') + fieldName(field);
}
