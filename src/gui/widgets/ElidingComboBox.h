#pragma once

#include <QComboBox>

// A drop-down list for long names (MIDI port names run to 60 characters and more): a name too
// long for the box is shortened in the middle, where such names differ least, and the whole
// name shows as the tool tip of the box and of each entry (unless the entry's tool tip is set to
// say more).
class ElidingComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit ElidingComboBox(QWidget *parent = nullptr);

    // The text the closed box shows for its current entry at its present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textRect() const;
    void tipEntries(int first, int last);
};
