#include "gui/panel/LivePanel.h"

#include "core/midi/IdleInputListener.h"
#include "core/panel/PanelMatcher.h"
#include "gui/panel/PanelEditor.h"

#include <QAction>

const QString LivePanel::actionText = QStringLiteral("Live panel");

namespace {

bool isJoystick(int slot)
{
    return slot >= PanelSettings::JoystickUp && slot <= PanelSettings::JoystickRight;
}

} // namespace

LivePanel::LivePanel(PanelEditor &panelEditor, IdleInputListener &idleListener, QObject *parent)
    : QObject(parent)
    , panel(panelEditor)
    , listener(idleListener)
    , toggle(new QAction(actionText, this))
{
    toggle->setObjectName(QStringLiteral("livePanelAction"));
    toggle->setCheckable(true);
    toggle->setChecked(true);
    frames.setInterval(frameMs);
    connect(&frames, &QTimer::timeout, this, &LivePanel::frame);
    connect(&listener, &IdleInputListener::shortMessage, this, &LivePanel::show);
    connect(toggle, &QAction::toggled, this, &LivePanel::setOn);
    listener.setEnabled(true);
}

LivePanel::~LivePanel() = default;

void LivePanel::setOn(bool on)
{
    toggle->setChecked(on);
    listener.setEnabled(on);
    if (!on)
        clearAll();
}

bool LivePanel::isOn() const
{
    return listener.isEnabled();
}

bool LivePanel::isListening() const
{
    return listener.isListening();
}

void LivePanel::show(quint8 status, quint8 data1, quint8 data2)
{
    // The assignments as the panel holds them now, edits not yet saved included.
    const QList<PanelMatcher::Hit> hits = PanelMatcher(panel.state()).match(status, data1, data2);
    for (const PanelMatcher::Hit &hit : hits) {
        const int slot = isJoystick(hit.slot) ? int(PanelSettings::JoystickUp) : hit.slot;
        Light &light = lights[static_cast<std::size_t>(slot)];
        if (!light.on)
            light.look = {};   // a joystick that was at rest starts from the centre
        light.on = true;
        light.dirty = true;
        light.look.strength = 1.0;
        light.since.start();
        const qreal amount = hit.value / 127.0;
        switch (hit.slot) {
        case PanelSettings::JoystickUp: light.look.stick.setY(-amount); break;
        case PanelSettings::JoystickDown: light.look.stick.setY(amount); break;
        case PanelSettings::JoystickLeft: light.look.stick.setX(-amount); break;
        case PanelSettings::JoystickRight: light.look.stick.setX(amount); break;
        default: light.look.value = hit.value; break;
        }
    }
    if (!hits.isEmpty() && !frames.isActive()) {
        frames.start();
        frame();   // the first change shows at once; a burst waits for the next frame
    }
}

void LivePanel::frame()
{
    bool anyOn = false;
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        Light &light = lights[static_cast<std::size_t>(slot)];
        if (!light.on)
            continue;
        ControlPicture *picture = panel.picture(slot);
        const qint64 age = light.since.elapsed();
        if (age >= holdMs + fadeMs) {
            light = {};
            picture->clearLive();
            continue;
        }
        anyOn = true;
        const qreal strength = age <= holdMs ? 1.0 : 1.0 - qreal(age - holdMs) / fadeMs;
        if (light.dirty || strength != light.look.strength) {
            light.look.strength = strength;
            light.dirty = false;
            picture->showLive(light.look);
        }
    }
    if (!anyOn)
        frames.stop();
}

void LivePanel::clearAll()
{
    frames.stop();
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        Light &light = lights[static_cast<std::size_t>(slot)];
        if (!light.on)
            continue;
        light = {};
        panel.picture(slot)->clearLive();
    }
}
