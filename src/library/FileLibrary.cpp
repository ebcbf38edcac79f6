#include "library/FileLibrary.h"

#include "app/PromptService.h"
#include "library/FolderListing.h"
#include "library/MarkerScan.h"
#include "library/SafeFile.h"
#include "library/SendPreparation.h"
#include "library/TransferDialog.h"
#include "library/TransferSession.h"

#include <QComboBox>
#include <QCursor>
#include <QFile>
#include <QListWidget>
#include <QMenu>

namespace {

constexpr FileKind comboKinds[] = {FileKind::Song, FileKind::Template, FileKind::Csf, FileKind::Firmware};

} // namespace

FileLibrary::FileLibrary(QWidget *host, PromptService &prompts, TransferDialog &transfer)
    : QObject(host)
    , prompts(prompts)
    , transfer(transfer)
    , types(new QComboBox(host))
    , files(new QListWidget(host))
    , markers(new QListWidget(host))
{
    types->setObjectName(QStringLiteral("fileTypes"));
    files->setObjectName(QStringLiteral("files"));
    markers->setObjectName(QStringLiteral("markers"));
    markers->setSelectionMode(QAbstractItemView::NoSelection);
    for (FileKind kind : comboKinds)
        types->addItem(FileKinds::comboText(kind));

    connect(types, &QComboBox::currentIndexChanged, this, &FileLibrary::onTypeChanged);
    connect(files, &QListWidget::currentRowChanged, this, &FileLibrary::onSelectionChanged);
    connect(files, &QListWidget::itemDoubleClicked, this, &FileLibrary::showPopup);
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
    files->clear();
    const FolderListing::Result listing =
        FolderListing::list(DataPaths::folder(FileKinds::folder(currentKind)), FileKinds::extension(currentKind));
    if (listing.tooMany) {
        prompts.inform(QString::fromLatin1(FolderListing::tooManyMessage));
        return;
    }
    files->addItems(listing.names);
}

QString FileLibrary::selectedEntry() const
{
    const QListWidgetItem *item = files->currentItem();
    return item && files->currentRow() >= 0 ? item->text() : QString();
}

void FileLibrary::onSelectionChanged()
{
    if (currentKind != FileKind::Song || selectedEntry().isEmpty())
        return;
    // Songs the instrument cannot take are not scanned either: a name may lead to a device or a
    // file without end.
    const SafeFile::ReadResult file = SafeFile::read(DataPaths::file(DataPaths::Folder::Mid, selectedEntry()),
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
        menu->addSeparator();
        add(QStringLiteral("&Delete"), Command::Delete);
        break;
    case FileKind::Template:
    case FileKind::Firmware:
        // Firmware cannot be loaded onto the panel: its Load stays greyed.
        add(QStringLiteral("&Load"), Command::Load, kind == FileKind::Template);
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
    case Command::Delete:
        deleteSelected();
        break;
    case Command::Cancel:
        break;
    }
}

void FileLibrary::sendSelected()
{
    const SendPreparation::Result prepared = SendPreparation::prepare(currentKind, selectedEntry());
    if (!prepared.ok) {
        prompts.ask(prepared.problem);
        return;
    }
    if (prompts.ask(SendPreparation::confirmation()) != PromptService::Answer::Yes)
        return;
    transfer.run(currentKind, prepared.image);
}

void FileLibrary::deleteSelected()
{
    if (!prompts.confirm(QStringLiteral("This file will be deleted! Are you sure? "), {}, PromptService::Icon::None))
        return;
    const int row = files->currentRow();
    if (row < 0)
        return;
    const QString entry = files->item(row)->text();
    QFile file(DataPaths::file(FileKinds::folder(currentKind), entry));
    if (!file.remove()) {
        prompts.inform(QStringLiteral("\"%1\" could not be deleted: %2").arg(entry, file.errorString()), {},
                       PromptService::Icon::Warning);
        return;
    }
    delete files->takeItem(row);
}
