#include "gui/panel/DragList.h"

#include "gui/widgets/SkinResources.h"

#include <QApplication>
#include <QMouseEvent>

DragList::DragList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);
}

QString DragList::selectedText() const
{
    const QListWidgetItem *entry = item(selected);
    return entry ? entry->text() : QString();
}

bool DragList::overList(const QPoint &pos) const
{
    return rect().contains(viewport()->mapTo(this, pos));
}

QPoint DragList::toWindow(const QPoint &pos) const
{
    return viewport()->mapTo(window(), pos);
}

void DragList::mousePressEvent(QMouseEvent *event)
{
    // Only a list that already shows a selection starts a drag: the first click just selects.
    // The current row is no sign of one: the list gets a current row, unselected, as soon as
    // it has the focus.
    pressed = event->button() == Qt::LeftButton && !selectedItems().isEmpty();
    QListWidget::mousePressEvent(event);
}

void DragList::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!dragging) {
        QListWidget::mouseMoveEvent(event);
        selected = currentRow();
        if (pressed && (event->buttons() & Qt::LeftButton)) {
            dragging = true;
            pressed = false;
            QApplication::setOverrideCursor(SkinResources::cursor(SkinResources::Cursor_Drag, devicePixelRatioF()));
        }
        return;
    }
    // The press gave this list the mouse: moves anywhere arrive here until the release.
    if (overList(pos))
        emit dragLeftWindow();
    else
        emit dragMoved(toWindow(pos));
}

void DragList::mouseReleaseEvent(QMouseEvent *event)
{
    if (!dragging) {
        pressed = false;
        QListWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const bool onList = overList(pos);
    endDrag();
    if (onList)
        emit dragEnded();
    else
        emit dropped(toWindow(pos));
}

void DragList::endDrag()
{
    if (dragging)
        QApplication::restoreOverrideCursor();
    dragging = false;
    pressed = false;
}
