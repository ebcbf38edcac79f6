#include "gui/panel/ControlPicture.h"

#include "gui/widgets/SkinResources.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace {

// The skin's accent, as the lit pictures have it.
const QColor accent(0xf0, 0xa5, 0x3a);
const QColor glowLight(0xff, 0xcb, 0x72);
const QColor glowDark(0xc9, 0x7d, 0x1c);

QColor faded(QColor colour, qreal strength)
{
    colour.setAlphaF(float(qBound(0.0, strength, 1.0) * colour.alphaF()));
    return colour;
}

} // namespace

ControlPicture::ControlPicture(int picture, Kind kind, QWidget *parent)
    : QWidget(parent)
    , pictureId(picture)
    , controlKind(kind)
{
    // Drops are found by position on the window; the picture itself takes no mouse input.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ControlPicture::setPicture(int id)
{
    if (id == pictureId)
        return;
    pictureId = id;
    update();
}

void ControlPicture::showLive(const Live &live)
{
    if (lit && live == shown)
        return;
    lit = true;
    shown = live;
    update();
}

void ControlPicture::clearLive()
{
    if (!lit)
        return;
    lit = false;
    shown = {};
    update();
}

void ControlPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), SkinResources::pixmap(pictureId, devicePixelRatioF()));
    if (!lit)
        return;
    // The overlays are drawn in the artwork's own units.
    const QSize art = SkinResources::size(pictureId);
    if (art.isEmpty())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(width()) / art.width(), qreal(height()) / art.height());
    switch (controlKind) {
    case Kind::Knob: paintKnob(painter); break;
    case Kind::Pad: paintPad(painter); break;
    case Kind::Joystick: paintJoystick(painter); break;
    case Kind::Pedal: paintPedal(painter); break;
    }
}

void ControlPicture::paintKnob(QPainter &painter) const
{
    // 38 x 38: the scale runs 270 degrees, from bottom left (0) over the top to bottom right (127).
    const QPointF centre(19, 19);
    const qreal sweep = 270.0 * shown.value / 127.0;
    QPen arc(faded(accent, shown.strength), 2.5, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(arc);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(2.5, 2.5, 33, 33), 225 * 16, -qRound(sweep * 16));

    // A fresh cap hides the picture's own pointer.
    QRadialGradient cap(QPointF(19 - 12 + 24 * 0.4, 19 - 12 + 24 * 0.35), 24 * 0.7);
    cap.setColorAt(0, QColor(0x59, 0x61, 0x6d));
    cap.setColorAt(1, QColor(0x1d, 0x21, 0x27));
    painter.setPen(QPen(QColor(0x0b, 0x0d, 0x10), 1));
    painter.setBrush(cap);
    painter.drawEllipse(centre, 12, 12);

    const qreal angle = (-135.0 + sweep) * std::numbers::pi / 180.0;
    const QPointF tip = centre + QPointF(10.6 * std::sin(angle), -10.6 * std::cos(angle));
    painter.setPen(QPen(faded(accent, 0.35 * shown.strength), 4.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, tip);
    painter.setPen(QPen(accent, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, tip);
}

void ControlPicture::paintPad(QPainter &painter) const
{
    // 38 x 38: the face glows as hard as it was hit, the velocity written on it.
    const qreal glow = shown.strength * (0.25 + 0.75 * shown.value / 127.0);
    QLinearGradient face(0, 4, 0, 34);
    face.setColorAt(0, faded(glowLight, glow));
    face.setColorAt(1, faded(glowDark, glow));
    painter.setPen(Qt::NoPen);
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(4, 4, 30, 30), 4, 4);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(faded(accent, shown.strength), 1.5));
    painter.drawRoundedRect(QRectF(1, 1, 36, 36), 6, 6);

    QFont small = font();
    small.setPixelSize(10);
    small.setBold(true);
    painter.setFont(small);
    painter.setPen(faded(glow > 0.55 ? QColor(0x10, 0x13, 0x17) : glowLight, qMax(shown.strength, 0.6)));
    painter.drawText(QRectF(4, 4, 30, 30), Qt::AlignCenter, QString::number(shown.value));
}

void ControlPicture::paintJoystick(QPainter &painter) const
{
    // 64 x 64: the ball leaves the centre toward the directions sent, and their arrows light.
    const QPointF centre(32, 32);
    const qreal reach = 17;
    const QPointF stick(qBound(-1.0, shown.stick.x(), 1.0), qBound(-1.0, shown.stick.y(), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(faded(accent, shown.strength), 1.5));
    painter.drawEllipse(centre, 30, 30);

    const auto arrow = [&](qreal amount, std::initializer_list<QPointF> points) {
        if (amount <= 0)
            return;
        QPainterPath path;
        path.moveTo(*points.begin());
        for (auto p = points.begin() + 1; p != points.end(); ++p)
            path.lineTo(*p);
        path.closeSubpath();
        painter.fillPath(path, faded(accent, shown.strength * (0.35 + 0.65 * amount)));
    };
    arrow(-stick.y(), {{24, 13}, {32, 4}, {40, 13}});
    arrow(stick.y(), {{24, 51}, {32, 60}, {40, 51}});
    arrow(-stick.x(), {{4, 32}, {12, 26}, {12, 38}});
    arrow(stick.x(), {{60, 32}, {52, 26}, {52, 38}});

    // The picture's own ball is covered by its empty well.
    painter.setPen(QPen(QColor(0x0b, 0x0d, 0x10), 1));
    painter.setBrush(QColor(0x1a, 0x1e, 0x24));
    painter.drawEllipse(centre, 11, 11);

    const QPointF ball = centre + stick * reach;
    painter.setPen(QPen(faded(accent, 0.6 * shown.strength), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, ball);
    QRadialGradient shine(ball + QPointF(-1.6, -2.4), 11);
    shine.setColorAt(0, glowLight);
    shine.setColorAt(1, glowDark);
    painter.setPen(QPen(QColor(0x0b, 0x0d, 0x10), 1));
    painter.setBrush(shine);
    painter.drawEllipse(ball, 8, 8);
}

void ControlPicture::paintPedal(QPainter &painter) const
{
    // 34 x 56: the plate fills from its heel as far as the pedal is pressed.
    QPainterPath plate;
    plate.moveTo(5, 46);
    plate.lineTo(8, 4);
    plate.quadTo(17, 0, 26, 4);
    plate.lineTo(29, 46);
    plate.closeSubpath();
    const qreal top = 46 - 44 * shown.value / 127.0;
    QLinearGradient fill(5, 0, 29, 0);
    fill.setColorAt(0, faded(glowDark, 0.85 * shown.strength));
    fill.setColorAt(1, faded(glowLight, 0.85 * shown.strength));
    painter.save();
    painter.setClipPath(plate);
    painter.fillRect(QRectF(0, top, 34, 46 - top), fill);
    painter.restore();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(faded(accent, shown.strength), 1.5));
    painter.drawPath(plate);

    QFont small = font();
    small.setPixelSize(8);
    small.setBold(true);
    painter.setFont(small);
    painter.setPen(faded(accent, qMax(shown.strength, 0.6)));
    painter.drawText(QRectF(1, 46, 32, 9), Qt::AlignCenter, QString::number(shown.value));
}
