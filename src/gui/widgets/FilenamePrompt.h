#pragma once

#include "core/base/LibraryLocation.h"

#include <QDialog>

#include <optional>

class PromptService;
class QLineEdit;

// Asks for the name to save a file under ("Filename"). A name that is empty, blanks alone, or
// that would leave its folder, is refused with "Please enter the file name." and the prompt opens
// again with what was typed; an existing file is replaced only when the user agrees, else the
// prompt opens again (unless the caller asks that question itself).
// A name typed with the extension ("Linear.crv") is taken without it, so it is not added twice.
class FilenamePrompt : public QDialog
{
    Q_OBJECT

public:
    static constexpr auto initialName = "template";

    explicit FilenamePrompt(QWidget *parent = nullptr);

    QString name() const;
    void setName(const QString &name);

    // The name without a trailing extension (compared ignoring case).
    static QString withoutExtension(const QString &name, const QString &extension);

    // Who asks before an existing file is replaced: the prompt ("The file have existed, Replace
    // it？", No opens the prompt again), or the caller with its own question.
    enum class Existing { PromptAsks, CallerAsks };

    // Runs prompts until the user gives an acceptable name (returned without folder and
    // extension) or cancels (nothing). The file is to go into folder of library; extension
    // includes the dot (".syx", ".crv").
    static std::optional<QString> ask(PromptService &prompts, QWidget *parent, const LibraryLocation &library,
                                      DataPaths::Folder folder, const QString &extension,
                                      Existing existing = Existing::PromptAsks);

private:
    QLineEdit *edit;
};
