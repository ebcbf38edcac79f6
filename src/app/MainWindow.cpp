#include "app/MainWindow.h"

#include "app/PromptService.h"

#include <QLabel>
#include <QVBoxLayout>

MainWindow::MainWindow(PromptService &prompts, QWidget *parent)
    : QWidget(parent)
    , prompts(prompts)
{
    setWindowTitle(QStringLiteral("Zorvik Halden"));
    setFixedSize(899, 575);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Zorvik Halden"), this), 0, Qt::AlignCenter);
}
