#pragma once

#include <QDialog>

// The About box: the program's icon, name and version, and one Ok button.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);

    static const QString versionLine;
    static const QString secondLine;
};
