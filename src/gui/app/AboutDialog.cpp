#include "gui/app/AboutDialog.h"

#include "gui/widgets/SkinLayout.h"
#include "gui/widgets/SkinResources.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

const QString AboutDialog::versionLine = QStringLiteral("Zorvik Halden v1.0-Beta");
const QString AboutDialog::secondLine = QStringLiteral("Editor and librarian for the Zorvik MIDI controllers");

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Zorvik-Halden"));
    // Modal to the window that opened it, not to the program: the simulator window stays usable.
    setWindowModality(Qt::WindowModal);
    setWindowIcon(SkinResources::icon());

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(SkinResources::pixmap(SkinResources::AppIcon, devicePixelRatioF())
                        .scaled(QSize(48, 48) * devicePixelRatioF(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    icon->setAlignment(Qt::AlignTop);

    auto *version = new QLabel(versionLine, this);
    version->setObjectName(QStringLiteral("versionLine"));
    auto *second = new QLabel(secondLine, this);
    second->setObjectName(QStringLiteral("secondLine"));

    auto *ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *lines = new QVBoxLayout;
    lines->addWidget(version);
    lines->addWidget(second);
    lines->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(8);
    top->addLayout(lines, 1);
    top->addWidget(ok, 0, Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    // The box keeps the size of its template (239 x 72 dialog units) unless its text needs more.
    setMinimumSize(SkinLayout::fromDialogUnits(0, 0, 239, 72).size());
}
