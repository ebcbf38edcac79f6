#pragma once

#include "core/base/FileKind.h"
#include "core/base/LibraryLocation.h"
#include "core/song/PlayerInputs.h"

#include <QObject>

class PromptService;
class QComboBox;
class QFileSystemWatcher;
class QListWidget;
class QMenu;
class QTimer;
class QWidget;
class TransferDialog;

// The library part of the main window: the file-type box, the list of that kind's files (newest
// first), the marker list of the selected song, and the popup menu of each kind with its
// commands (play, send, load, delete). It places its widgets on the host window. The list follows
// the folder: files added, renamed or removed by other programs show without a restart.
class FileLibrary : public QObject
{
    Q_OBJECT

public:
    enum class Command { MidiPlay, Send, Load, Compare, SaveFormatZero, Delete, Cancel };

    // "This file will be deleted! Are you sure? ", under the entry's name.
    static QString deleteQuestion(const QString &entry);

    // library: the folder listed, and whose files the commands use.
    FileLibrary(QWidget *host, const LibraryLocation &library, PromptService &prompts, TransferDialog &transfer);

    QComboBox *typeBox() const { return types; }
    QListWidget *fileList() const { return files; }
    QListWidget *markerList() const { return markers; }

    FileKind kind() const { return currentKind; }
    // Switches the file-type box to a kind and lists its folder.
    void showKind(FileKind kind);
    // Lists the current kind's folder again. The selected file stays selected while it exists.
    void refill();
    QString selectedEntry() const;

    // The popup menu of a kind, as the double click shows it; each action carries its Command.
    QMenu *buildMenu(FileKind kind, QWidget *parent) const;
    void run(Command command);

    void sendSelected();
    void deleteSelected();
    // The selected song's tracks merged into one, saved as NAME-0.mid beside it.
    void saveSelectedAsFormatZero();

signals:
    void loadTemplateRequested(const QString &entry);
    void compareTemplateRequested(const QString &entry);
    void playRequested(const PlayerInputs &inputs);

private:
    void onTypeChanged(int index);
    void onSelectionChanged();
    void showPopup();
    void fill(bool announceTooMany);
    void watchFolder();
    // False, after saying so and listing the folder again, when the selected file is gone.
    bool selectionStillThere();

    const LibraryLocation location;
    PromptService &prompts;
    TransferDialog &transfer;
    QComboBox *types;
    QListWidget *files;
    QListWidget *markers;
    QFileSystemWatcher *watcher;
    QTimer *settle;   // a burst of changes (a copy, an unpacked archive) refills once
    FileKind currentKind = FileKind::Song;
    bool tooMany = false;
};
