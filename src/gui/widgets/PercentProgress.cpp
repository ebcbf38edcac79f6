#include "gui/widgets/PercentProgress.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

PercentProgress::PercentProgress(QWidget *parent)
    : QWidget(parent)
{
    const QPalette pal = palette();
    barColour = pal.color(QPalette::Highlight);
    backgroundColour = pal.color(QPalette::Base);
    textOverBar = pal.color(QPalette::Base);
    textOverBackground = pal.color(QPalette::Highlight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A screen reader says what the bar writes.
    setAccessibleName(QStringLiteral("Progress"));
    describe();
}

void PercentProgress::describe()
{
    const QString now = shownText();
    if (accessibleDescription() != now)
        setAccessibleDescription(now);
}

void PercentProgress::setRange(int lower, int upper)
{
    rangeLower = lower;
    rangeUpper = upper;
    lastWidth = -1;
    describe();
    update();
}

double PercentProgress::fraction() const
{
    if (rangeLower >= rangeUpper)
        return 0.0;
    return double(position - rangeLower) / double(rangeUpper - rangeLower);
}

int PercentProgress::filledWidth() const
{
    return static_cast<int>(fraction() * width());
}

int PercentProgress::setPos(int newPosition)
{
    const int previous = position;
    position = newPosition;
    describe();
    const int filled = filledWidth();
    if (filled != lastWidth) {
        lastWidth = filled;
        repaint();
    }
    return previous;
}

void PercentProgress::setBarColour(const QColor &colour) { barColour = colour; update(); }
void PercentProgress::setBackgroundColour(const QColor &colour) { backgroundColour = colour; update(); }
void PercentProgress::setBarTextColour(const QColor &colour) { textOverBar = colour; update(); }
void PercentProgress::setBackgroundTextColour(const QColor &colour) { textOverBackground = colour; update(); }
void PercentProgress::setShowText(bool on) { showText = on; update(); }

void PercentProgress::setText(const QString &text)
{
    if (text == customText)
        return;
    customText = text;
    describe();
    repaint();
}

QString PercentProgress::shownText() const
{
    if (!customText.isEmpty())
        return customText;
    return QStringLiteral("%1%").arg(static_cast<int>(fraction() * 100));
}

void PercentProgress::resizeEvent(QResizeEvent *event)
{
    lastWidth = -1;
    QWidget::resizeEvent(event);
}

void PercentProgress::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (rangeLower >= rangeUpper)
        return;
    const QRect area = rect();
    // A position outside the range still paints inside the control.
    const int filled = std::clamp(filledWidth(), 0, area.width());
    const QRect bar(0, 0, filled, area.height());
    const QRect rest(filled, 0, area.width() - filled, area.height());
    painter.fillRect(bar, barColour);
    painter.fillRect(rest, backgroundColour);
    if (!showText)
        return;
    const QString caption = shownText();
    painter.setClipRect(bar);
    painter.setPen(textOverBar);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, caption);
    painter.setClipRect(rest);
    painter.setPen(textOverBackground);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, caption);
}
