#include "gui/curve/CurveArea.h"

#include "core/curve/CurveEditorModel.h"
#include "gui/widgets/SkinResources.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QRadialGradient>

namespace {

using M = CurveEditorModel;

QPolygon mapLine(const VelocityMap &map)
{
    QPolygon line(127);
    for (int s = 0; s < 127; ++s)
        line.setPoint(s, M::toX(s), M::toY(map[static_cast<std::size_t>(s)]));
    return line;
}

} // namespace

CurveArea::CurveArea(const CurveEditorModel &curveModel, QWidget *parent)
    : QWidget(parent)
    , model(curveModel)
    , mark(vertexMark())
{
    setObjectName(QStringLiteral("curveArea"));
    setFixedSize(M::areaWidth, M::areaHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QPixmap CurveArea::vertexMark()
{
    // The top-left 12 x 12 pixels of the vertex ball (a 13 x 13 picture).
    const QPixmap art = SkinResources::pixmap(SkinResources::VertexBall, 1.0);
    if (!art.isNull())
        return art.copy(0, 0, 12, 12);
    // Without the artwork: a small shaded grey ball on black, drawn here.
    QPixmap ball(12, 12);
    ball.fill(Qt::black);
    QPainter painter(&ball);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shade(QPointF(4.5, 4.5), 6.0, QPointF(3.5, 3.5));
    shade.setColorAt(0.0, QColor(245, 245, 245));
    shade.setColorAt(0.6, QColor(150, 150, 150));
    shade.setColorAt(1.0, QColor(70, 70, 70));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shade);
    painter.drawEllipse(QRectF(1.0, 1.0, 10.0, 10.0));
    return ball;
}

void CurveArea::render(QPainter &painter, const CurveEditorModel &model, const QPixmap &vertexMark)
{
    painter.fillRect(QRect(0, 0, M::areaWidth, M::areaHeight), Qt::black);

    if (model.gridOn) {
        painter.setPen(QPen(QColor(125, 125, 125), 1));
        for (int k = 1; k <= 16; ++k)
            painter.drawLine(0, 24 * k, 512, 24 * k);
        for (int k = 1; k <= 12; ++k)
            painter.drawLine(40 * k, 0, 40 * k, M::areaHeight);
    }

    painter.setPen(QPen(QColor(0, 252, 250), 1));
    for (int n = 0; n < CurveSlotSet::count; ++n) {
        if (model.keptCurves.at(n).shown)
            painter.drawPolyline(mapLine(model.slotMap(n)));
    }

    painter.setPen(QPen(QColor(250, 250, 0), 2));
    painter.drawPolyline(mapLine(model.map()));

    if (model.vertexOn) {
        QPolygon polygon(VelocityCurve::pointCount);
        for (int k = 0; k < VelocityCurve::pointCount; ++k) {
            const int x = M::toX(model.curve.keySource[static_cast<std::size_t>(k)]);
            const int y = M::toY(model.curve.keyNew[static_cast<std::size_t>(k)]);
            polygon.setPoint(k, x, y);
            const QPoint at = k == 0 ? QPoint(x - 4, y - 8)
                            : k == VelocityCurve::pointCount - 1 ? QPoint(x - 7, y - 3)
                                                                 : QPoint(x - 7, y - 5);
            painter.drawPixmap(at, vertexMark);
        }
        painter.setPen(QPen(QColor(250, 0, 250), 1, Qt::DotLine));
        painter.drawPolyline(polygon);
    }

    if (model.proposal) {
        painter.setPen(QPen(proposalColour, 2));
        painter.drawPolyline(mapLine(model.proposalMap()));
        painter.setPen(Qt::NoPen);
        painter.setBrush(proposalColour);
        for (int k = 0; k < VelocityCurve::pointCount; ++k) {
            const int x = M::toX(model.proposal->keySource[static_cast<std::size_t>(k)]);
            const int y = M::toY(model.proposal->keyNew[static_cast<std::size_t>(k)]);
            painter.drawRect(x - 3, y - 3, 6, 6);
        }
        painter.setBrush(Qt::NoBrush);
    }
}

void CurveArea::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (frame.size() != size() * ratio) {
        frame = QPixmap(size() * ratio);
        frame.setDevicePixelRatio(ratio);
    }
    {
        QPainter offscreen(&frame);
        render(offscreen, model, mark);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, frame);
}

void CurveArea::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit leftPressed(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        emit rightPressed(event->globalPosition().toPoint());
}

void CurveArea::mouseMoveEvent(QMouseEvent *event)
{
    emit dragged(event->position().toPoint());
}

void CurveArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit leftReleased();
}
