#include "gui/widgets/FilenamePrompt.h"

#include "core/base/PromptService.h"

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
    // Modal to the window that asks, not to the program (the simulator window stays usable).
    setWindowModality(Qt::WindowModal);
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
    edit->selectAll();
}

QString FilenamePrompt::withoutExtension(const QString &name, const QString &extension)
{
    // The extension is the program's to add; one typed along with the name is not doubled.
    if (!extension.isEmpty() && name.endsWith(extension, Qt::CaseInsensitive))
        return name.chopped(extension.size());
    return name;
}

std::optional<QString> FilenamePrompt::ask(PromptService &prompts, QWidget *parent, const LibraryLocation &library,
                                           DataPaths::Folder folder, const QString &extension, Existing existing)
{
    std::optional<QString> typed;
    for (;;) {
        FilenamePrompt dialog(parent);
        // A name that was refused comes back as it was typed, to be corrected rather than retyped.
        if (typed)
            dialog.setName(*typed);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        typed = dialog.name();
        const QString name = withoutExtension(*typed, extension);
        // Blanks alone are no name either: "   .syx" is a file nobody can tell from another.
        if (name.trimmed().isEmpty() || !DataPaths::isSafeFileName(name)) {
            prompts.inform(QStringLiteral("Please enter the file name."), QStringLiteral("Zorvik Halden"),
                           PromptService::Icon::Stop);
            continue;
        }
        // The comparison is exact, as the names on disk are.
        if (existing == Existing::PromptAsks && QFileInfo::exists(library.file(folder, name + extension))) {
            if (!prompts.confirm(QStringLiteral("The file have existed, Replace it\uFF1F"), QStringLiteral("Zorvik Halden"),
                                 PromptService::Icon::Stop))
                continue;
        }
        return name;
    }
}
