#pragma once

#include <QListWidget>

// The name list: a press on an entry of a list that already had a selection, then a move,
// starts a drag of that entry. While the drag is over the rest of the window the list reports
// the position (in its window's coordinates); the release there is the drop.
class DragList : public QListWidget
{
    Q_OBJECT

public:
    explicit DragList(QWidget *parent = nullptr);

    bool isPressed() const { return pressed; }
    bool isDragging() const { return dragging; }
    int selection() const { return selected; }
    QString selectedText() const;

signals:
    void dragMoved(const QPoint &windowPos);
    void dragLeftWindow();
    void dropped(const QPoint &windowPos);
    void dragEnded();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Mouse positions arrive in the viewport's coordinates.
    bool overList(const QPoint &pos) const;
    QPoint toWindow(const QPoint &pos) const;
    void endDrag();

    bool pressed = false;
    bool dragging = false;
    int selected = -1;
};
