#include "gui/widgets/SkinButton.h"

#include "gui/widgets/SkinResources.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

SkinButton::SkinButton(QWidget *parent)
    : QAbstractButton(parent)
{
    const QPalette pal = palette();
    for (int slot : {HoverBackground, NormalBackground, FocusBackground})
        colours[static_cast<size_t>(slot)] = pal.color(QPalette::Button);
    for (int slot : {HoverText, NormalText, FocusText})
        colours[static_cast<size_t>(slot)] = pal.color(QPalette::ButtonText);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

bool SkinButton::loadPicture(Picture &picture, qreal ratio) const
{
    picture.pixmap = SkinResources::pixmap(picture.id, ratio);
    picture.ratio = ratio;
    if (picture.pixmap.isNull())
        return false;
    // Raster pictures use the key colour for their see-through pixels.
    if (picture.key.isValid() && !picture.pixmap.hasAlphaChannel())
        picture.pixmap.setMask(picture.pixmap.createMaskFromColor(picture.key, Qt::MaskInColor));
    return true;
}

int SkinButton::setStateBitmaps(int hoverId, QColor hoverKey, int normalId, QColor normalKey)
{
    const qreal ratio = devicePixelRatioF();
    Picture hover{hoverId, hoverKey, {}, 0};
    std::optional<Picture> normal;
    bool readable = loadPicture(hover, ratio);
    if (readable && normalId != 0) {
        normal = Picture{normalId, normalKey, {}, 0};
        readable = loadPicture(*normal, ratio);
    }
    if (!readable) {
        hoverPicture = {};
        normalPicture.reset();
        update();
        return PictureUnreadable;
    }
    hoverPicture = hover;
    normalPicture = normal;
    updateGeometry();
    update();
    return Ok;
}

int SkinButton::shiftColour(int slot, int offset, bool repaint)
{
    if (slot < 0 || slot >= colourSlotCount)
        return BadSlot;
    if (offset < -255 || offset > 255)
        return BadOffset;
    QColor &c = colours[static_cast<size_t>(slot)];
    int r = c.red(), g = c.green(), b = c.blue();
    if (offset > 0)
        offset = std::min({offset, 255 - r, 255 - g, 255 - b});
    else if (offset < 0)
        offset = -std::min({-offset, r, g, b});
    c.setRgb(r + offset, g + offset, b + offset);
    if (repaint)
        update();
    return Ok;
}

QColor SkinButton::colour(int slot) const
{
    if (slot < 0 || slot >= colourSlotCount)
        return {};
    return colours[static_cast<size_t>(slot)];
}

void SkinButton::setColour(int slot, const QColor &colour)
{
    if (slot < 0 || slot >= colourSlotCount)
        return;
    colours[static_cast<size_t>(slot)] = colour;
    update();
}

void SkinButton::setParentBackground(bool repaint)
{
    // Qt composites a widget that leaves its background unpainted over its parent's pixels,
    // so the skin under the button shows wherever the picture is see-through.
    parentBackground = true;
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground, false);
    if (repaint)
        update();
}

void SkinButton::setTip(const QString &text, bool active)
{
    tip = text;
    setToolTip(active ? text : QString());
}

void SkinButton::setTickState(int state)
{
    if (!isCheckable())
        return;
    setChecked(state == 1 || state == 2);
    update();
}

QSize SkinButton::sizeHint() const
{
    const QPixmap &p = normalPicture ? normalPicture->pixmap : hoverPicture.pixmap;
    if (p.isNull())
        return QAbstractButton::sizeHint().expandedTo({16, 16});
    return (QSizeF(p.size()) / p.devicePixelRatio()).toSize();
}

const QPixmap &SkinButton::pictureFor(bool showHover)
{
    // Re-render when the button moves to a screen of another pixel ratio.
    const qreal ratio = devicePixelRatioF();
    if (hoverPicture.id && hoverPicture.ratio != ratio)
        loadPicture(hoverPicture, ratio);
    if (normalPicture && normalPicture->ratio != ratio)
        loadPicture(*normalPicture, ratio);
    if (showHover || !normalPicture)
        return hoverPicture.pixmap;
    return normalPicture->pixmap;
}

void SkinButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const bool checkBox = isCheckable();
    const bool pressed = isDown() || (checkBox && isChecked());
    const bool focused = hasFocus();
    const bool disabled = !isEnabled();
    const QPalette pal = palette();
    QRect area = rect();

    if (!flat && (focused || defaultLook)) {
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        area.adjust(1, 1, -1, -1);
    }

    if (!parentBackground) {
        const int slot = (hovered || pressed) ? HoverBackground : focused ? FocusBackground : NormalBackground;
        painter.fillRect(area, colours[static_cast<size_t>(slot)]);
    }

    const auto frame3d = [&](QColor topLeft, QColor bottomRight) {
        const QRect r = area.adjusted(0, 0, -1, -1);
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    if (pressed && !flat) {
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    } else if (pressed && flat && drawBorder) {
        frame3d(pal.color(QPalette::Dark), pal.color(QPalette::Light));
    } else if (!pressed && !flat) {
        frame3d(pal.color(QPalette::Light), pal.color(QPalette::Shadow));
    } else if (!pressed && flat && hovered && drawBorder && !parentBackground) {
        // Over the skin the hover picture is the highlight; a frame would cut into the artwork.
        frame3d(pal.color(QPalette::Light), pal.color(QPalette::Dark));
    }

    const bool keyboardFocused = focused && keyboardFocus;
    const bool showHover = checkBox ? isChecked() : (pressed || hovered || keyboardFocused);
    const QPixmap &picture = pictureFor(showHover);
    const int shift = (pressed && !checkBox) ? 1 : 0;
    if (!picture.isNull()) {
        const QSize logical = (QSizeF(picture.size()) / picture.devicePixelRatio()).toSize();
        const QPoint at(area.x() + (area.width() - logical.width()) / 2 + shift,
                        area.y() + (area.height() - logical.height()) / 2 + shift);
        if (disabled) {
            QStyleOption option;
            option.initFrom(this);
            painter.drawPixmap(at, style()->generatedIconPixmap(QIcon::Disabled, picture, &option));
        }
        else
            painter.drawPixmap(at, picture);
    }

    if (!text().isEmpty()) {
        const QRect textArea = area.translated(shift, shift);
        if (disabled) {
            painter.setPen(pal.color(QPalette::Light));
            painter.drawText(textArea.translated(1, 1), Qt::AlignCenter, text());
            painter.setPen(pal.color(QPalette::Dark));
        } else {
            painter.setPen(colours[static_cast<size_t>((hovered || pressed) ? HoverText : NormalText)]);
        }
        painter.drawText(textArea, Qt::AlignCenter, text());
    }

    if (keyboardFocused) {
        // Over the skin a style's dotted rectangle is lost; a frame in the highlight colour
        // round the picture is not.
        QPen pen(pal.color(QPalette::Highlight), 1);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    } else if (focused && (!flat || focusWhenFlat)) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = area.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void SkinButton::setHovered(bool on)
{
    if (hovered == on)
        return;
    hovered = on;
    update();
}

void SkinButton::trackPointer(const QPoint &globalPos, Qt::MouseButtons buttons)
{
    if (!flat || !isEnabled())
        return;
    if ((buttons & Qt::LeftButton) && !hovered)
        return;
    const bool over = rect().contains(mapFromGlobal(globalPos));
    if (over && (trackAlways || QApplication::activeWindow() != nullptr))
        setHovered(true);
    else
        setHovered(false);
}

void SkinButton::enterEvent(QEnterEvent *event)
{
    trackPointer(event->globalPosition().toPoint(), event->buttons());
    QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent *event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void SkinButton::mouseMoveEvent(QMouseEvent *event)
{
    trackPointer(event->globalPosition().toPoint(), event->buttons());
    QAbstractButton::mouseMoveEvent(event);
}

void SkinButton::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
        keyboardFocus = true;
    else if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        keyboardFocus = false;
    QAbstractButton::focusInEvent(event);
}

void SkinButton::focusOutEvent(QFocusEvent *event)
{
    setHovered(false);
    QAbstractButton::focusOutEvent(event);
}

void SkinButton::keyPressEvent(QKeyEvent *event)
{
    // A focused button takes Enter as a press, like any dialog push button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void SkinButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        setHovered(false);
    // Hover is lit again by the next move over the button, also in an inactive window when
    // tracking always; a window left with Alt+Tab must not keep a lit button meanwhile.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        setHovered(false);
    QAbstractButton::changeEvent(event);
}

bool SkinButton::event(QEvent *event)
{
    if (event->type() == QEvent::UngrabMouse && !underMouse())
        setHovered(false);
    return QAbstractButton::event(event);
}
