#include "gui/curve/CurveFileList.h"

#include "core/base/FolderListing.h"
#include "core/base/PromptService.h"
#include "core/curve/CurveEditorModel.h"
#include "gui/widgets/FilenamePrompt.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>

namespace {

const QString curveExtension = QString::fromLatin1(CurveFile::extension);

} // namespace

CurveFileList::CurveFileList(QListWidget &fileList, QLineEdit &fileNameBox, CurveEditorModel &editorModel,
                             const LibraryLocation &library, PromptService &promptService, QWidget &parentWindow)
    : list(fileList)
    , nameBox(fileNameBox)
    , model(editorModel)
    , location(library)
    , prompts(promptService)
    , window(parentWindow)
{
    // The name box names the selected file, and nothing when none is selected.
    connect(&list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> chosen = list.selectedItems();
        nameBox.setText(chosen.isEmpty() ? QString() : chosen.first()->text());
    });
}

QString CurveFileList::deleteQuestion(const QString &fileName)
{
    return QStringLiteral("Delete the curve file \"%1\"?").arg(fileName);
}

QString CurveFileList::sendQuestion(const QString &fileName)
{
    return QStringLiteral("The curve on screen differs from \"%1\".\n\n"
                          "Yes sends the curve on screen.\n"
                          "No sends \"%1\" and shows its curve instead.\n"
                          "Cancel sends nothing.")
        .arg(fileName);
}

void CurveFileList::fill()
{
    list.clear();
    const FolderListing::Result found = FolderListing::list(location.folder(DataPaths::Folder::Curve),
                                                            curveExtension.mid(1));
    if (found.tooMany)
        prompts.inform(QString::fromLatin1(FolderListing::tooManyMessage));
    else
        list.addItems(found.names);
    list.setCurrentRow(-1);
    nameBox.clear();
}

QString CurveFileList::selectedPath() const
{
    const QListWidgetItem *item = list.currentItem();
    if (!item || !item->isSelected())
        return {};
    return location.file(DataPaths::Folder::Curve, item->text());
}

void CurveFileList::save()
{
    // The prompt refuses unsafe names; whether to replace a curve file is asked here, once.
    const std::optional<QString> name = FilenamePrompt::ask(prompts, &window, location, DataPaths::Folder::Curve,
                                                            curveExtension, FilenamePrompt::Existing::CallerAsks);
    if (!name)
        return;
    if (name->isEmpty()) {
        prompts.inform(QStringLiteral("Please enter the file name."), {}, PromptService::Icon::Stop);
        return;
    }
    const QString path = location.file(DataPaths::Folder::Curve, *name + curveExtension);
    const bool replacing = QFileInfo::exists(path);
    if (replacing && !prompts.confirm(replaceQuestion, QStringLiteral("Save file"), PromptService::Icon::Question))
        return;   // No saves nothing
    const CurveFile::Result saved = CurveFile::save(path, model.contents());
    if (!saved.ok) {
        prompts.inform(saved.message, {}, PromptService::Icon::Stop);
        return;
    }
    model.markSaved();
    if (!replacing)
        fill();
}

bool CurveFileList::load()
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return false;
    const CurveFile::Result loaded = CurveFile::load(path);
    if (!loaded.ok) {
        prompts.inform(loaded.message, {}, PromptService::Icon::Stop);
        return false;
    }
    model.load(loaded.contents);
    return true;
}

void CurveFileList::remove()
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return;
    const int row = list.currentRow();
    // The selection moves on after a delete: a second click must not take the next file unasked.
    if (!prompts.confirm(deleteQuestion(list.item(row)->text()), QStringLiteral("Zorvik Halden"),
                         PromptService::Icon::Question, PromptService::Answer::No))
        return;
    QFile file(path);
    if (file.exists() && !file.remove()) {
        prompts.inform(QStringLiteral("Cannot delete the curve file \"%1\": %2")
                           .arg(list.item(row)->text(), file.errorString()),
                       {}, PromptService::Icon::Stop);
        return;
    }
    delete list.takeItem(row);
    const int next = row > 0 ? row - 1 : 0;
    if (next < list.count()) {
        list.setCurrentRow(next);
        nameBox.setText(list.item(next)->text());
    } else {
        list.setCurrentRow(-1);
        nameBox.clear();
    }
}

bool CurveFileList::chooseWhatToSend()
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return true;   // the curve on screen
    // The file's stored map is what goes out; a file that fails its checks sends nothing.
    const CurveFile::Result loaded = CurveFile::load(path);
    if (!loaded.ok) {
        prompts.inform(loaded.message, {}, PromptService::Icon::Stop);
        return false;
    }
    // Sending the file puts its curve on screen: an edit kept nowhere else is only replaced
    // when the user says so. A curve just opened, loaded or saved is not worth the question.
    if (model.isEdited() && loaded.contents.curve != model.curve) {
        const PromptService::Answer answer =
            prompts.ask({sendQuestion(list.currentItem()->text()), QStringLiteral("Zorvik Halden"),
                         PromptService::Icon::Question, PromptService::Buttons::YesNoCancel});
        if (answer == PromptService::Answer::Yes)
            return true;   // the curve on screen, which stays
        if (answer != PromptService::Answer::No)
            return false;
    }
    model.applyFile(loaded.contents);
    return true;
}
