#include "gui/panel/PanelComparisonWindow.h"

#include "core/panel/PanelStep.h"
#include "gui/panel/PanelEditor.h"
#include "gui/panel/PanelHistory.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

// A frame drawn around a box on the panel; clicks and the tool tip go through to the box.
class DifferenceFrame : public QWidget
{
public:
    explicit DifferenceFrame(QLineEdit *box)
        : QWidget(box->parentWidget())
    {
        setObjectName(PanelComparisonWindow::frameObjectName());
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(box->geometry().adjusted(-2, -2, 2, 2));
        raise();
        show();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(QPen(QColor(0xe0, 0x40, 0x20), 2));
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

} // namespace

PanelComparisonWindow::PanelComparisonWindow(PanelEditor &panelEditor, const QByteArray &bytes, const QString &templateName,
                                             const QString &side, QWidget *parent)
    : QDialog(parent)
    , panel(panelEditor)
    , templateBytes(bytes)
    , name(templateName)
    , where(side)
    , summary(new QLabel(this))
    , list(new QListWidget(this))
    , load(new QPushButton(QStringLiteral("&Load"), this))
    , closeNow(new QPushButton(QStringLiteral("&Close"), this))
{
    setWindowTitle(QStringLiteral("Compare with panel"));
    setAttribute(Qt::WA_DeleteOnClose);
    summary->setObjectName(QStringLiteral("comparisonSummary"));
    summary->setWordWrap(true);
    list->setObjectName(QStringLiteral("differences"));
    list->setAccessibleName(QStringLiteral("Differences"));
    load->setObjectName(QStringLiteral("compareLoad"));
    load->setToolTip(QStringLiteral("Load %1 onto the panel").arg(name));
    closeNow->setObjectName(QStringLiteral("compareClose"));
    closeNow->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(load);
    buttons->addWidget(closeNow);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(list);
    layout->addLayout(buttons);
    resize(380, 260);

    connect(load, &QPushButton::clicked, this, [this] {
        emit loadRequested();
        close();
    });
    connect(closeNow, &QPushButton::clicked, this, &QDialog::close);
    // Edits, undo, reset: the marks show what differs now.
    connect(&panel.history().stack(), &QUndoStack::indexChanged, this, &PanelComparisonWindow::refresh);
    connect(this, &QDialog::finished, this, &PanelComparisonWindow::clearMarks);
    refresh();
}

PanelComparisonWindow::~PanelComparisonWindow()
{
    clearMarks();
}

void PanelComparisonWindow::refresh()
{
    clearMarks();
    // What the boxes show, whether or not it was stored yet.
    PanelSettings shown = panel.settings();
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f) {
            if (const QLineEdit *box = panel.box(slot, PanelSettings::Field(f)))
                shown.storeField(slot, PanelSettings::Field(f), box->text());
        }
    }
    // The template taken over what the panel shows, as loading it would.
    PanelSettings loaded = shown;
    PanelComparison::read(templateBytes, &loaded);
    const QList<PanelComparison::Difference> differences = PanelComparison::compare(shown, loaded);
    list->clear();
    for (const PanelComparison::Difference &difference : differences) {
        list->addItem(PanelComparison::describe(difference, where));
        if (QLineEdit *box = panel.box(difference.slot, difference.field))
            mark(box, difference.inTemplate);
    }
    list->setVisible(!differences.isEmpty());
    summary->setText(differences.isEmpty()
                         ? QStringLiteral("The panel holds what %1 holds: nothing differs.").arg(name)
                         : QStringLiteral("%1 %2 between the panel and %3:")
                               .arg(differences.size())
                               .arg(differences.size() == 1 ? QStringLiteral("box differs") : QStringLiteral("boxes differ"),
                                    name));
    load->setEnabled(!differences.isEmpty());
}

void PanelComparisonWindow::mark(QLineEdit *box, const QString &theirs)
{
    const QString own = box->toolTip();
    const QString line = QStringLiteral("%1%2: %3").arg(where.left(1).toUpper(), where.mid(1), theirs);
    box->setToolTip(own.isEmpty() ? line : own + QLatin1Char('\n') + line);
    marks.append({box, own, new DifferenceFrame(box)});
}

void PanelComparisonWindow::clearMarks()
{
    for (const Mark &marked : std::as_const(marks)) {
        delete marked.frame.data();
        if (marked.box)
            marked.box->setToolTip(marked.ownToolTip);
    }
    marks.clear();
}

QList<QLineEdit *> PanelComparisonWindow::markedBoxes() const
{
    QList<QLineEdit *> boxes;
    for (const Mark &marked : marks) {
        if (marked.box)
            boxes.append(marked.box);
    }
    return boxes;
}
