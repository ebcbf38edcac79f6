#include "gui/widgets/ElidingComboBox.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

ElidingComboBox::ElidingComboBox(QWidget *parent)
    : QComboBox(parent)
{
    view()->setTextElideMode(Qt::ElideMiddle);
    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { tipEntries(first, last); });
    connect(this, &QComboBox::currentIndexChanged, this,
            [this] { setToolTip(currentData(Qt::ToolTipRole).toString()); });
}

void ElidingComboBox::tipEntries(int first, int last)
{
    for (int row = first; row <= last; ++row)
        setItemData(row, itemText(row), Qt::ToolTipRole);
}

QRect ElidingComboBox::textRect() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
}

QString ElidingComboBox::shownText() const
{
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, textRect().width());
}

void ElidingComboBox::paintEvent(QPaintEvent *)
{
    // As the box paints itself, with the label shortened in the middle instead of cut at the end.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
