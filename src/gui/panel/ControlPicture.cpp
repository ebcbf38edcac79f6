#include "gui/panel/ControlPicture.h"

#include "gui/widgets/SkinResources.h"

#include <QPainter>

ControlPicture::ControlPicture(int pictureId, QWidget *parent)
    : QWidget(parent)
    , pictureId(pictureId)
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

void ControlPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), SkinResources::pixmap(pictureId, devicePixelRatioF()));
}
