#pragma once

#include <QWidget>

class PromptService;

// The program's main window. Closing it ends the process.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(PromptService &prompts, QWidget *parent = nullptr);

private:
    PromptService &prompts;
};
