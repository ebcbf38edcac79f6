#include "gui/curve/MonitorPanel.h"

#include "core/curve/VelocityHistory.h"

#include <QPainter>

namespace {

const QColor background(165, 160, 211);
const QColor scaleLine(125, 126, 127);
const QColor zeroLine(0, 250, 250);
const QColor zeroLabel(250, 14, 65);
const QColor bar(250, 250, 0);

constexpr int axisX = 24;
constexpr int step = 7;
constexpr int zeroLineIndex = 13;   // the line labelled 0

} // namespace

MonitorPanel::MonitorPanel(const VelocityHistory &velocities, QWidget *parent)
    : QWidget(parent)
    , history(velocities)
{
    setObjectName(QStringLiteral("monitorPanel"));
}

void MonitorPanel::setActive(bool on)
{
    monitorActive = on;
    update();
}

int MonitorPanel::baseline(int height)
{
    int last = 11;
    for (int k = 0; 11 + 11 * k < height - 2; ++k)
        last = 11 + 11 * k;
    return last;
}

int MonitorPanel::barHeight(int velocity)
{
    return (velocity * pixelsPerTenUnits + 5) / 10;
}

void MonitorPanel::render(QPainter &painter, QSize size, const VelocityHistory &history)
{
    const int w = size.width();
    const int h = size.height();
    painter.fillRect(QRect(QPoint(0, 0), size), background);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    painter.setFont(font);
    painter.setBackgroundMode(Qt::TransparentMode);

    const QFontMetrics metrics(font);
    int base = 11;
    for (int k = 0; 11 + 11 * k < h - 2; ++k) {
        const int y = 11 + 11 * k;
        const int label = 130 - 10 * k;
        painter.setPen(QPen(k >= zeroLineIndex ? zeroLine : scaleLine, 1));
        painter.drawLine(axisX, y, w, y);
        const QString text = label == 0 ? QStringLiteral("    0")
                           : label < 100 ? QStringLiteral("  %1").arg(label)
                                         : QString::number(label);
        painter.setPen(label == 0 ? zeroLabel : Qt::black);
        // The label's top sits 6 pixels above its line.
        painter.drawText(1, 11 * k + 5 + metrics.ascent(), text);
        base = y;
    }

    painter.setPen(QPen(bar, 2));
    painter.drawLine(axisX, base, axisX, base - 150);

    painter.setPen(QPen(scaleLine, 1));
    for (int i = 1; i <= VelocityHistory::capacity; ++i)
        painter.drawLine(axisX + step * i, base, axisX + step * i, base - 3);

    // Bars are measured on the scale: 11 pixels for every 10 units, so each bar ends at its
    // velocity on the labelled lines. Flat ends keep the top where the velocity is.
    painter.setPen(QPen(bar, 2, Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i < VelocityHistory::capacity; ++i) {
        const int velocity = history.at(i);
        if (velocity > 0)
            painter.drawLine(31 + step * i, base, 31 + step * i, base - barHeight(velocity));
    }
}

void MonitorPanel::paintEvent(QPaintEvent *)
{
    if (!monitorActive)
        return;
    const qreal ratio = devicePixelRatioF();
    if (frame.size() != size() * ratio) {
        frame = QPixmap(size() * ratio);
        frame.setDevicePixelRatio(ratio);
    }
    {
        QPainter offscreen(&frame);
        render(offscreen, size(), history);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, frame);
}
