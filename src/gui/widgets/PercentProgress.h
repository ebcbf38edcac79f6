#pragma once

#include <QColor>
#include <QWidget>

// A progress bar that paints its filled part and the rest in colours of its own and writes
// the percentage (or a text set on it) across the bar, in one colour over the filled part
// and another over the rest. It repaints only when the filled width changes.
class PercentProgress : public QWidget
{
    Q_OBJECT

public:
    explicit PercentProgress(QWidget *parent = nullptr);

    void setRange(int lower, int upper);
    int lower() const { return rangeLower; }
    int upper() const { return rangeUpper; }
    // Stores the position and repaints at once when the filled width changed.
    // Returns the previous position.
    int setPos(int position);
    int pos() const { return position; }

    void setBarColour(const QColor &colour);
    void setBackgroundColour(const QColor &colour);
    // Text colour over the filled part.
    void setBarTextColour(const QColor &colour);
    // Text colour over the rest.
    void setBackgroundTextColour(const QColor &colour);
    void setShowText(bool on);

    // A text set here replaces the percentage until it is set to empty again.
    void setText(const QString &text);
    QString text() const { return customText; }
    // What the bar writes now: the text, or the percentage.
    QString shownText() const;
    // Filled width in pixels for the current position and width.
    int filledWidth() const;

    QSize sizeHint() const override { return {200, 18}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double fraction() const;
    // The accessible description follows the text the bar writes.
    void describe();

    int rangeLower = 0;
    int rangeUpper = 100;
    int position = 0;
    QString customText;
    bool showText = true;
    QColor barColour;
    QColor backgroundColour;
    QColor textOverBar;
    QColor textOverBackground;
    int lastWidth = -1;
};
