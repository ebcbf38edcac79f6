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

    MonitorPanel(const VelocityHistory &history, QWidget *parent = nullptr);

    void setActive(bool on);
    bool active() const { return monitorActive; }

    static void render(QPainter &painter, QSize size, const VelocityHistory &history);
    // The y of the line labelled 0, where the bars stand, for a panel of this height.
    static int baseline(int height);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const VelocityHistory &history;
    bool monitorActive = false;
    QPixmap frame;
};
