#pragma once

#include <QPixmap>
#include <QWidget>

class VelocityHistory;

// The lower panel of the curve editor: one bar per recorded note-on velocity over a scale of
// 0..130, drawn off-screen and copied in one piece. It draws nothing while inactive.
class MonitorPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int designHeight = 160;
    // The scale's lines lie this many pixels apart, one line for every 10 velocity units.
    static constexpr int pixelsPerTenUnits = 11;

    MonitorPanel(const VelocityHistory &history, QWidget *parent = nullptr);

    void setActive(bool on);
    bool active() const { return monitorActive; }

    static void render(QPainter &painter, QSize size, const VelocityHistory &history);
    // The y of the line labelled 0, where the bars stand, for a panel of this height.
    static int baseline(int height);
    // How many pixels a bar rises above the baseline for a velocity, rounded to the nearest.
    static int barHeight(int velocity);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const VelocityHistory &history;
    bool monitorActive = false;
    QPixmap frame;
};
