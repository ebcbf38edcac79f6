#include "gui/player/PlayerDialog.h"

#include "core/base/FolderListing.h"
#include "core/base/PromptService.h"
#include "core/song/CsfSongImage.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor kBackground(247, 251, 220);
const QColor kListText(210, 184, 130);

// The status line counts whole seconds, rounded down; 0 for no song.
int wholeSeconds(qint64 ms)
{
    return int(std::max<qint64>(0, ms) / 1000);
}

QString statusText(int elapsed, int total)
{
    return QString::asprintf("Play Status:   %02d:%02d / %02d:%02d", elapsed / 60, elapsed % 60, total / 60,
                             total % 60);
}

} // namespace

PlayerDialog::PlayerDialog(const LibraryLocation &library, PromptService &promptService, const PlayerInputs &playerInputs,
                           QWidget *parent)
    : PlayerDialog(library, promptService, playerInputs, SongEngine::Options{}, parent)
{
}

PlayerDialog::PlayerDialog(const LibraryLocation &library, PromptService &promptService, const PlayerInputs &playerInputs,
                           SongEngine::Options engineOptions, QWidget *parent)
    : QDialog(parent)
    , location(library)
    , prompts(promptService)
    , inputs(playerInputs)
    , songEngine(std::move(engineOptions))
{
    setWindowTitle(QStringLiteral("Midiplay"));
    // Modal to the main window only, as every dialog of the program.
    setWindowModality(Qt::WindowModal);
    buildControls();
    timer.setInterval(timerPeriodMs);
    connect(&timer, &QTimer::timeout, this, &PlayerDialog::tick);
    watcher = new QFileSystemWatcher(this);
    settle.setSingleShot(true);
    settle.setInterval(150);
    connect(watcher, &QFileSystemWatcher::directoryChanged, &settle, qOverload<>(&QTimer::start));
    connect(&settle, &QTimer::timeout, this, [this] { fillList(false); });
    fillList(true);
    if (inputs.playerStartIndex >= 0 && inputs.playerStartIndex < list->count())
        list->setCurrentRow(inputs.playerStartIndex);
}

PlayerDialog::~PlayerDialog()
{
    timer.stop();
    songEngine.stop();
    songEngine.close();
}

void PlayerDialog::done(int result)
{
    // Closing the window ends the song, however the window is closed.
    timer.stop();
    stop();
    QDialog::done(result);
}

void PlayerDialog::buildControls()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::Button, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);

    auto button = [this](const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setAutoDefault(false);
        b->setMinimumWidth(40);
        return b;
    };
    previousBtn = button(QStringLiteral("<"));
    playBtn = button(QStringLiteral("&Play"));
    pauseBtn = button(QStringLiteral("&Pause"));
    stopBtn = button(QStringLiteral("&Stop"));
    nextBtn = button(QStringLiteral(">"));
    backBtn = button(QStringLiteral("<<"));
    forwardBtn = button(QStringLiteral(">>"));

    slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(0, sliderSteps);
    slider->setPageStep(5);
    slider->setTickInterval(10);
    slider->setTickPosition(QSlider::TicksBelow);

    list = new QListWidget(this);
    list->setSortingEnabled(false);
    QPalette listPal = list->palette();
    listPal.setColor(QPalette::Text, kListText);
    list->setPalette(listPal);

    status = new QLabel(statusText(0, 0), this);
    status->setAlignment(Qt::AlignCenter);
    status->setAutoFillBackground(true);   // an opaque background of the window's colour
    status->setEnabled(false);

    auto *transport = new QHBoxLayout;
    for (QPushButton *b : {previousBtn, playBtn, pauseBtn, stopBtn, nextBtn})
        transport->addWidget(b);
    auto *position = new QHBoxLayout;
    position->addWidget(backBtn);
    position->addWidget(slider, 1);
    position->addWidget(forwardBtn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addLayout(transport);
    layout->addLayout(position);
    layout->addWidget(list, 1);
    layout->addWidget(status);
    resize(300, 260);

    connect(playBtn, &QPushButton::clicked, this, &PlayerDialog::play);
    connect(pauseBtn, &QPushButton::clicked, this, &PlayerDialog::pause);
    connect(stopBtn, &QPushButton::clicked, this, &PlayerDialog::stop);
    connect(previousBtn, &QPushButton::clicked, this, &PlayerDialog::previousSong);
    connect(nextBtn, &QPushButton::clicked, this, &PlayerDialog::nextSong);
    connect(backBtn, &QPushButton::clicked, this, [this] { songEngine.back(skipMs); });
    connect(forwardBtn, &QPushButton::clicked, this, [this] { songEngine.forward(skipMs); });
    connect(slider, &QSlider::sliderReleased, this, &PlayerDialog::seekToSlider);
    connect(list, &QListWidget::itemDoubleClicked, this, [this] {
        songEngine.close();
        play();
    });
}

void PlayerDialog::fillList(bool atOpening)
{
    // The same listing as the library's, so the library's selected index picks the same song.
    const QListWidgetItem *current = list->currentItem();
    const QString kept = current && current->isSelected() ? current->text() : QString();
    watchFolder();
    list->clear();
    const bool csf = inputs.playerMode == PlayerMode::CsfSongs;
    const FolderListing::Result listing =
        FolderListing::list(location.folder(songFolder()), csf ? QStringLiteral("csf") : QStringLiteral("mid"));
    const bool tell = listing.tooMany && (atOpening || !tooMany);
    tooMany = listing.tooMany;
    if (tell)
        prompts.inform(QString::fromLatin1(FolderListing::tooManyMessage));
    if (listing.tooMany)
        return;
    list->addItems(listing.names);
    const int row = kept.isEmpty() ? -1 : int(listing.names.indexOf(kept));
    if (row >= 0)
        list->setCurrentRow(row);
}

void PlayerDialog::watchFolder()
{
    // The songs' folder, and the library folder for a songs' folder that appears or goes.
    const QStringList watched = watcher->directories();
    if (!watched.isEmpty())
        watcher->removePaths(watched);
    for (const QString &folder : {location.folder(DataPaths::Folder::Root), location.folder(songFolder())}) {
        if (QFileInfo(folder).isDir())
            watcher->addPath(folder);
    }
}

DataPaths::Folder PlayerDialog::songFolder() const
{
    return inputs.playerMode == PlayerMode::CsfSongs ? DataPaths::Folder::Csf : DataPaths::Folder::Mid;
}

QString PlayerDialog::songPath(const QString &name) const
{
    return location.file(songFolder(), name);
}

bool PlayerDialog::openSelected(const QString &name, bool &engineAsked)
{
    engineAsked = false;
    // A paused song stays the current one (the engine refuses another open()).
    if (songEngine.isOpen())
        return false;
    if (inputs.playerMode == PlayerMode::MidiSongs) {
        engineAsked = true;
        return songEngine.open(songPath(name));
    }
    // A csf file plays the song it holds.
    const CsfSongImage::Result song = CsfSongImage::load(songPath(name));
    if (!song.ok)
        return false;
    engineAsked = true;
    return songEngine.openImage(song.image);
}

void PlayerDialog::play()
{
    if (!pauseFlag)
        stop();
    else
        pauseFlag = false;
    QListWidgetItem *item = list->currentItem();
    if (!item || !item->isSelected())
        return;
    // A song that left the folder before the list caught up: say so rather than stay silent,
    // with a status line that shows no song, and list the folder as it is now. (A paused song
    // resumes from memory, wherever its file went.)
    if (!songEngine.isOpen() && !QFileInfo::exists(songPath(item->text()))) {
        totalSeconds = 0;
        sliderFactor = 0.0f;
        status->setText(statusText(0, 0));
        status->setEnabled(false);
        prompts.inform(FolderListing::goneMessage(item->text()), {}, PromptService::Icon::Warning);
        fillList(false);
        return;
    }
    timer.start();
    bool engineAsked = false;
    const bool opened = openSelected(item->text(), engineAsked);   // fails while a paused song is open: that one resumes
    // A song that cannot be heard for want of sound still shows its length; a song that cannot
    // be read shows nothing, as before.
    const bool noSound = !opened && engineAsked && songEngine.soundUnavailable();
    const qint64 lengthMs = noSound ? songEngine.lastReadLengthMs() : songEngine.lengthMs();
    totalSeconds = wholeSeconds(lengthMs);   // 0 when the song could not be opened
    sliderFactor = float(totalSeconds) * 0.005f;
    status->setEnabled(true);
    if (noSound) {
        status->setText(statusText(0, totalSeconds));
        prompts.inform(songEngine.errorText(), {}, PromptService::Icon::Warning);
        return;
    }
    songEngine.play();
}

void PlayerDialog::pause()
{
    songEngine.pause();
    pauseFlag = true;
    timer.stop();
}

void PlayerDialog::stop()
{
    status->setEnabled(false);
    songEngine.stop();
    songEngine.close();
    timer.stop();
    slider->setValue(0);
}

void PlayerDialog::previousSong()
{
    const int row = list->currentItem() && list->currentItem()->isSelected() ? list->currentRow() : -1;
    if (row > 0) {
        list->setCurrentRow(row - 1);
        play();
    }
}

void PlayerDialog::nextSong()
{
    const int row = list->currentItem() && list->currentItem()->isSelected() ? list->currentRow() : -1;
    if (row < list->count() - 1) {
        list->setCurrentRow(row + 1);
        play();
    }
}

void PlayerDialog::tick()
{
    if (!songEngine.isOpen())
        return;
    const int elapsed = wholeSeconds(songEngine.positionMs());
    // A handle the user holds stays where the user put it: the release seeks there.
    if (!slider->isSliderDown())
        slider->setValue(sliderFactor > 0.0f ? int(float(elapsed) / sliderFactor) : 0);
    status->setText(statusText(elapsed, totalSeconds));
}

void PlayerDialog::seekToSlider()
{
    // The slider's place counts in whole seconds, as the status line does.
    const int target = int(float(slider->value()) * sliderFactor);
    songEngine.seekTo(qint64(target) * 1000);
}
