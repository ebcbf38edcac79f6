#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

class CurveEditorModel;

// The drawing of the curve editor: grid, kept curves, the current curve, the key points and
// their control polygon, a proposed curve, drawn off-screen and copied in one piece so drags never flicker.
// Mouse presses, moves and releases are handed to the editor in area coordinates.
class CurveArea : public QWidget
{
    Q_OBJECT

public:
    // The proposed curve (the calibration's), drawn over everything else with its key points.
    static inline const QColor proposalColour{255, 140, 0};

    CurveArea(const CurveEditorModel &model, QWidget *parent = nullptr);

    // Draws the whole area for the model's current state (the map must be up to date).
    static void render(QPainter &painter, const CurveEditorModel &model, const QPixmap &vertexMark);
    // The 12 x 12 mark drawn on each key point.
    static QPixmap vertexMark();

signals:
    void leftPressed(QPoint pos);
    void dragged(QPoint pos);
    void leftReleased();
    void rightPressed(QPoint globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    const CurveEditorModel &model;
    QPixmap mark;
    QPixmap frame;
};
