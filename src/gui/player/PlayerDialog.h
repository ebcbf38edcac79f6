#pragma once

#include "core/base/LibraryLocation.h"
#include "core/song/PlayerInputs.h"
#include "devices/audio/SongEngine.h"

#include <QDialog>
#include <QTimer>

class PromptService;
class QFileSystemWatcher;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;

// "Midiplay": plays the songs of one library folder (mid or csf, chosen by PlayerInputs) with
// transport buttons, a position slider and a status line. It owns its engine; closing the window
// stops and closes the song. The list follows the folder, as the library's does; a song that
// left the folder before the list caught up is named as gone when played.
//
// The library opens it with:
//   PlayerDialog player(library, prompts, PlayerInputs{PlayerMode::MidiSongs, selectedIndex}, this);
//   player.exec();
class PlayerDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int sliderSteps = 200;
    static constexpr int timerPeriodMs = 1000;
    // How far << and >> move in the song.
    static constexpr qint64 skipMs = 8000;

    // library: the songs listed are those of its mid or csf folder.
    PlayerDialog(const LibraryLocation &library, PromptService &prompts, const PlayerInputs &inputs,
                 QWidget *parent = nullptr);
    // engineOptions choose the audio output (tests render offline).
    PlayerDialog(const LibraryLocation &library, PromptService &prompts, const PlayerInputs &inputs,
                 SongEngine::Options engineOptions, QWidget *parent = nullptr);
    ~PlayerDialog() override;

    void done(int result) override;

    SongEngine &engine() { return songEngine; }
    QListWidget *songList() const { return list; }
    QSlider *positionSlider() const { return slider; }
    QLabel *statusLine() const { return status; }
    bool isTimerRunning() const { return timer.isActive(); }

    QPushButton *playButton() const { return playBtn; }
    QPushButton *pauseButton() const { return pauseBtn; }
    QPushButton *stopButton() const { return stopBtn; }
    QPushButton *backButton() const { return backBtn; }
    QPushButton *forwardButton() const { return forwardBtn; }
    QPushButton *previousButton() const { return previousBtn; }
    QPushButton *nextButton() const { return nextBtn; }

public slots:
    void play();
    void pause();
    void stop();
    void previousSong();
    void nextSong();
    void tick();
    void seekToSlider();

private:
    void buildControls();
    // Lists the folder; the selected song stays selected while it is there. The message for a
    // folder too full to list is given at opening, and again only when a full folder is new.
    void fillList(bool atOpening);
    void watchFolder();
    DataPaths::Folder songFolder() const;
    QString songPath(const QString &name) const;
    bool openSelected(const QString &name, bool &engineAsked);

    const LibraryLocation location;
    PromptService &prompts;
    PlayerInputs inputs;
    SongEngine songEngine;
    QTimer timer;
    QFileSystemWatcher *watcher = nullptr;
    QTimer settle;   // a burst of changes in the folder lists it once
    bool tooMany = false;
    bool pauseFlag = false;
    int totalSeconds = 0;   // the song's length in whole seconds, as the status line shows it
    float sliderFactor = 0.0f;   // seconds per slider step

    QPushButton *playBtn = nullptr;
    QPushButton *pauseBtn = nullptr;
    QPushButton *backBtn = nullptr;
    QPushButton *forwardBtn = nullptr;
    QPushButton *stopBtn = nullptr;
    QPushButton *previousBtn = nullptr;
    QPushButton *nextBtn = nullptr;
    QSlider *slider = nullptr;
    QListWidget *list = nullptr;
    QLabel *status = nullptr;
};
