#include "library/FilenamePrompt.h"

#include "app/PromptService.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FilenamePrompt::FilenamePrompt(QWidget *parent)
    : QDialog(parent)
    , edit(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Filename"));
    setObjectName(QStringLiteral("FilenamePrompt"));
    edit->setObjectName(QStringLiteral("name"));
    edit->setText(QString::fromLatin1(initialName));
    edit->selectAll();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Please input the filename!"), this), 0, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Filename:"), this), 1, 0);
    layout->addWidget(edit, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    setMinimumWidth(250);
}

QString FilenamePrompt::name() const
{
    return edit->text();
}

void FilenamePrompt::setName(const QString &name)
{
    edit->setText(name);
}

std::optional<QString> FilenamePrompt::ask(PromptService &prompts, QWidget *parent, DataPaths::Folder folder,
                                           const QString &extension)
{
    for (;;) {
        FilenamePrompt dialog(parent);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        const QString name = dialog.name();
        if (!DataPaths::isSafeFileName(name)) {
            prompts.inform(QStringLiteral("Please enter the file name."), QStringLiteral("Zorvik Halden"),
                           PromptService::Icon::Stop);
            continue;
        }
        // The comparison is exact, as the names on disk are.
        if (QFileInfo::exists(DataPaths::file(folder, name + extension))) {
            if (!prompts.confirm(QStringLiteral("The file have existed, Replace it\uFF1F"), QStringLiteral("Zorvik Halden"),
                                 PromptService::Icon::Stop))
                continue;
        }
        return name;
    }
}
