#include "gui/library/FileLibrary.h"

#include "core/base/FolderListing.h"
#include "core/base/PromptService.h"
#include "core/base/SafeFile.h"
#include "core/song/MarkerScan.h"
#include "core/song/SmfMerge.h"
#include "core/song/StandardMidiFile.h"
#include "core/transfer/SendPreparation.h"
#include "core/transfer/TransferSession.h"
#include "gui/library/TransferDialog.h"

#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QListWidget>
#include <QMenu>
#include <QTimer>

namespace {

constexpr FileKind comboKinds[] = {FileKind::Song, FileKind::Template, FileKind::Csf, FileKind::Firmware};

} // namespace

FileLibrary::FileLibrary(QWidget *host, const LibraryLocation &library, PromptService &promptService,
                         TransferDialog &transferDialog)
    : QObject(host)
    , location(library)
    , prompts(promptService)
    , transfer(transferDialog)
    , types(new QComboBox(host))
    , files(new QListWidget(host))
    , markers(new QListWidget(host))
    , watcher(new QFileSystemWatcher(this))
    , settle(new QTimer(this))
{
    types->setObjectName(QStringLiteral("fileTypes"));
    files->setObjectName(QStringLiteral("files"));
    markers->setObjectName(QStringLiteral("markers"));
    markers->setSelectionMode(QAbstractItemView::NoSelection);
    types->setAccessibleName(QStringLiteral("File type"));
    types->setAccessibleDescription(QStringLiteral("The kind of library file the list shows"));
    files->setAccessibleName(QStringLiteral("Library files"));
    files->setAccessibleDescription(QStringLiteral("Newest first; a double click shows the file's commands"));
    markers->setAccessibleName(QStringLiteral("Song markers"));
    markers->setAccessibleDescription(QStringLiteral("The markers of the selected song"));
    for (FileKind kind : comboKinds)
        types->addItem(FileKinds::comboText(kind));

    connect(types, &QComboBox::currentIndexChanged, this, &FileLibrary::onTypeChanged);
    connect(files, &QListWidget::currentRowChanged, this, &FileLibrary::onSelectionChanged);
    connect(files, &QListWidget::itemDoubleClicked, this, &FileLibrary::showPopup);

    // The panel names the folder it shows, so a user can find the files on disk.
    QString where = QStringLiteral("Library: %1").arg(location.displayPath());
    if (!location.exists())
        where += QStringLiteral("\n(the folder does not exist)");
    for (QWidget *part : {static_cast<QWidget *>(types), static_cast<QWidget *>(files)})
        part->setToolTip(where);

    settle->setSingleShot(true);
    settle->setInterval(150);
    connect(watcher, &QFileSystemWatcher::directoryChanged, settle, qOverload<>(&QTimer::start));
    connect(settle, &QTimer::timeout, this, [this] { fill(false); });
    onTypeChanged(0);
}

void FileLibrary::showKind(FileKind kind)
{
    const int index = static_cast<int>(kind) - 1;
    if (index == types->currentIndex())
        refill();
    else
        types->setCurrentIndex(index);
}

void FileLibrary::onTypeChanged(int index)
{
    if (index < 0 || index >= int(std::size(comboKinds)))
        return;   // nothing chosen: keep the list as it is
    currentKind = comboKinds[index];
    refill();
}

void FileLibrary::refill()
{
    fill(true);
}

void FileLibrary::fill(bool announceTooMany)
{
    const QString kept = selectedEntry();
    watchFolder();
    const FolderListing::Result listing =
        FolderListing::list(location.folder(FileKinds::folder(currentKind)), FileKinds::extension(currentKind));
    {
        // The list is rebuilt quietly; the selection is put back below.
        const QSignalBlocker blocker(files);
        files->clear();
        if (!listing.tooMany)
            files->addItems(listing.names);
    }
    // A change in a folder that is already too full to list is not worth another message.
    const bool tell = listing.tooMany && (announceTooMany || !tooMany);
    tooMany = listing.tooMany;
    if (tell)
        prompts.inform(QString::fromLatin1(FolderListing::tooManyMessage));
    if (listing.tooMany) {
        markers->clear();
        return;
    }
    const int row = kept.isEmpty() ? -1 : listing.names.indexOf(kept);
    if (row >= 0)
        files->setCurrentRow(row);
    else
        markers->clear();   // no song is selected: no markers are shown
}

void FileLibrary::watchFolder()
{
    // The kind's folder for its files, and the library folder for a kind folder that appears
    // or goes.
    const QStringList wanted{location.folder(DataPaths::Folder::Root),
                             location.folder(FileKinds::folder(currentKind))};
    const QStringList watched = watcher->directories();
    if (!watched.isEmpty())
        watcher->removePaths(watched);
    for (const QString &folder : wanted) {
        if (QFileInfo(folder).isDir())
            watcher->addPath(folder);
    }
}

bool FileLibrary::selectionStillThere()
{
    const QString entry = selectedEntry();
    if (entry.isEmpty() || QFileInfo::exists(location.file(FileKinds::folder(currentKind), entry)))
        return true;
    prompts.inform(FolderListing::goneMessage(entry), {}, PromptService::Icon::Warning);
    fill(false);
    return false;
}

QString FileLibrary::selectedEntry() const
{
    const QListWidgetItem *item = files->currentItem();
    return item && files->currentRow() >= 0 ? item->text() : QString();
}

void FileLibrary::onSelectionChanged()
{
    // The marker list belongs to the selected song: another kind, or no selection, shows none.
    if (currentKind != FileKind::Song || selectedEntry().isEmpty()) {
        markers->clear();
        return;
    }
    // Songs the instrument cannot take are not scanned either: a name may lead to a device or a
    // file without end.
    const SafeFile::ReadResult file = SafeFile::read(location.file(DataPaths::Folder::Mid, selectedEntry()),
                                                     TransferSession::maxImageSize(FileKind::Song));
    if (!file.ok())
        return;
    markers->clear();
    markers->addItems(MarkerScan::lines(file.bytes));
}

QMenu *FileLibrary::buildMenu(FileKind kind, QWidget *parent) const
{
    auto *menu = new QMenu(parent);
    auto add = [menu](const QString &text, Command command, bool enabled = true) {
        QAction *action = menu->addAction(text);
        action->setData(static_cast<int>(command));
        action->setEnabled(enabled);
    };
    switch (kind) {
    case FileKind::Song:
        add(QStringLiteral("&MidiPlay"), Command::MidiPlay);
        add(QStringLiteral("&Send"), Command::Send);
        add(QStringLiteral("Save as &format 0"), Command::SaveFormatZero);
        menu->addSeparator();
        add(QStringLiteral("&Delete"), Command::Delete);
        break;
    case FileKind::Template:
    case FileKind::Firmware:
        // Firmware cannot be loaded onto the panel: its Load stays greyed.
        add(QStringLiteral("&Load"), Command::Load, kind == FileKind::Template);
        if (kind == FileKind::Template)
            add(QStringLiteral("Compare with &panel"), Command::Compare);
        add(QStringLiteral("&Send"), Command::Send);
        menu->addSeparator();
        add(QStringLiteral("&Delete"), Command::Delete);
        break;
    case FileKind::Csf:
        add(QStringLiteral("&MidiPlay"), Command::MidiPlay);
        menu->addSeparator();
        add(QStringLiteral("&Send"), Command::Send);
        add(QStringLiteral("&Delete"), Command::Delete);
        break;
    case FileKind::None:
        break;
    }
    menu->addSeparator();
    add(QStringLiteral("&Cancel"), Command::Cancel);
    return menu;
}

void FileLibrary::showPopup()
{
    QMenu *menu = buildMenu(currentKind, files);
    QAction *chosen = menu->exec(QCursor::pos());
    const int command = chosen ? chosen->data().toInt() : static_cast<int>(Command::Cancel);
    menu->deleteLater();
    run(static_cast<Command>(command));
}

void FileLibrary::run(Command command)
{
    if (command != Command::Cancel && !selectionStillThere())
        return;
    switch (command) {
    case Command::MidiPlay:
        if (currentKind == FileKind::Song || currentKind == FileKind::Csf) {
            PlayerInputs inputs;
            inputs.playerMode = currentKind == FileKind::Song ? PlayerMode::MidiSongs : PlayerMode::CsfSongs;
            inputs.playerStartIndex = files->currentRow();
            emit playRequested(inputs);
        }
        break;
    case Command::Send:
        sendSelected();
        break;
    case Command::Load:
        if (currentKind == FileKind::Template && !selectedEntry().isEmpty())
            emit loadTemplateRequested(selectedEntry());
        break;
    case Command::Compare:
        if (currentKind == FileKind::Template && !selectedEntry().isEmpty())
            emit compareTemplateRequested(selectedEntry());
        break;
    case Command::SaveFormatZero:
        if (currentKind == FileKind::Song)
            saveSelectedAsFormatZero();
        break;
    case Command::Delete:
        deleteSelected();
        break;
    case Command::Cancel:
        break;
    }
}

void FileLibrary::sendSelected()
{
    const SendPreparation::Result prepared = SendPreparation::prepare(location, currentKind, selectedEntry());
    if (!prepared.ok) {
        prompts.ask(prepared.problem);
        if (!prepared.otherFormat)
            return;
        // A song of several tracks: the way out is the merged song; the file stays as it is.
        if (prepared.formatZero.isEmpty()) {
            prompts.ask(SendPreparation::cannotMerge(prepared.whyNotMerged));
            return;
        }
        if (prompts.ask(SendPreparation::mergeQuestion()) == PromptService::Answer::Yes)
            transfer.run(currentKind, prepared.formatZero);
        return;
    }
    if (prompts.ask(SendPreparation::confirmation()) != PromptService::Answer::Yes)
        return;
    transfer.run(currentKind, prepared.image);
}

void FileLibrary::saveSelectedAsFormatZero()
{
    const QString entry = selectedEntry();
    if (entry.isEmpty())
        return;
    const SafeFile::ReadResult file = SafeFile::read(location.file(DataPaths::Folder::Mid, entry), StandardMidiFile::maxFileSize);
    if (!file.ok()) {
        prompts.inform(QStringLiteral("\"%1\" cannot be read: %2")
                           .arg(entry, file.status == SafeFile::ReadResult::Status::TooLarge ? QStringLiteral("it is too large")
                                                                                             : file.error),
                       {}, PromptService::Icon::Warning);
        return;
    }
    if (SmfMerge::format(file.bytes) == 0) {
        prompts.inform(QStringLiteral("\"%1\" is of format 0 already: the instrument takes it as it is.").arg(entry));
        return;
    }
    const SmfMerge::Result merged = SmfMerge::toFormatZero(file.bytes);
    if (!merged.ok) {
        prompts.ask(SendPreparation::cannotMerge(merged.problem));
        return;
    }
    const QString target = SendPreparation::formatZeroName(entry);
    if (!DataPaths::isSafeFileName(target)) {
        prompts.inform(QStringLiteral("\"%1\" cannot be saved under that name.").arg(target), {}, PromptService::Icon::Warning);
        return;
    }
    const QString path = location.file(DataPaths::Folder::Mid, target);
    if (QFileInfo::exists(path)
        && !prompts.confirm(QStringLiteral("\"%1\" already exists. Replace it?").arg(target), {},
                            PromptService::Icon::Question, PromptService::Answer::No))
        return;
    const QString problem = SafeFile::write(path, merged.file);
    if (!problem.isEmpty()) {
        prompts.inform(problem, {}, PromptService::Icon::Warning);
        return;
    }
    refill();
    const QList<QListWidgetItem *> saved = files->findItems(target, Qt::MatchExactly);
    if (!saved.isEmpty())
        files->setCurrentItem(saved.first());
}

QString FileLibrary::deleteQuestion(const QString &entry)
{
    return QStringLiteral("\"%1\"\nThis file will be deleted! Are you sure? ").arg(entry);
}

void FileLibrary::deleteSelected()
{
    const int row = files->currentRow();
    if (row < 0)
        return;
    const QString entry = files->item(row)->text();
    // Named, as the selection may have moved since the menu was opened; No unless said.
    if (!prompts.confirm(deleteQuestion(entry), {}, PromptService::Icon::None, PromptService::Answer::No))
        return;
    QFile file(location.file(FileKinds::folder(currentKind), entry));
    if (!file.remove()) {
        prompts.inform(QStringLiteral("\"%1\" could not be deleted: %2").arg(entry, file.errorString()), {},
                       PromptService::Icon::Warning);
        return;
    }
    delete files->takeItem(row);
}
