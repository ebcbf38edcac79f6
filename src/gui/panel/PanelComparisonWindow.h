#pragma once

#include "core/panel/PanelComparison.h"

#include <QDialog>
#include <QPointer>

class PanelEditor;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

// "Compare with panel": what differs between the panel and a template (a library file or a
// received dump). Each box that differs gets a coloured frame on the panel and the template's
// value in its tool tip, and the window lists the differences. Nothing on the panel changes
// until the user loads; while the window is open the marks follow the panel's changes, and
// they go when it closes.
class PanelComparisonWindow : public QDialog
{
    Q_OBJECT

public:
    // name: the template as the window names it ("\"songs.syx\"", "the received data"); where: the
    // words for its side in each line ("in the file", "in the dump").
    // templateBytes: a whole template.
    PanelComparisonWindow(PanelEditor &panel, const QByteArray &templateBytes, const QString &name, const QString &where,
                          QWidget *parent);
    ~PanelComparisonWindow() override;

    QListWidget *differenceList() const { return list; }
    QLabel *summaryText() const { return summary; }
    QPushButton *loadButton() const { return load; }
    QPushButton *closeButton() const { return closeNow; }
    // The marked boxes, by the frame each shows.
    QList<QLineEdit *> markedBoxes() const;

    static QString frameObjectName() { return QStringLiteral("comparisonFrame"); }

signals:
    void loadRequested();

private:
    // Compares again with what the boxes show now, and marks afresh.
    void refresh();
    void clearMarks();
    void mark(QLineEdit *box, const QString &theirs);

    PanelEditor &panel;
    QByteArray templateBytes;
    QString name;
    QString where;
    QLabel *summary;
    QListWidget *list;
    QPushButton *load;
    QPushButton *closeNow;
    // The panel may go first (the program ends): its boxes are followed, not owned.
    struct Mark
    {
        QPointer<QLineEdit> box;
        QString ownToolTip;
        QPointer<QWidget> frame;
    };
    QList<Mark> marks;
};
