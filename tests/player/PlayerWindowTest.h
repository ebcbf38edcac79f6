#pragma once

#include <QObject>
#include <QTemporaryDir>

class MidiPlayer;
class OfflineAudioOutput;
class ScriptedPrompts;

// The player window over a data folder of generated songs, its engine rendered offline.
class PlayerWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void opensWithTheStartIndexSelected();
    void statusLineShowsElapsedAndTotal();
    void sliderReleaseSeeksByTheFactor_data();
    void sliderReleaseSeeksByTheFactor();
    void heldSliderIsLeftAlone();
    void nextWithoutSelectionPlaysTheFirstEntry();
    void previousOnFirstAndNextOnLastDoNothing();
    void pauseSelectAnotherPlayResumesThePausedSong();
    void playWithoutSelectionStopsTheSong();
    void stopClosesAndGreysTheStatusLine();
    void csfSongsPlayTheirSongImage();
    void tooManyFilesAreNotListed();
    void withoutSoundPlaySaysWhyOnce();
    void withTheRealAudioDriverNothingHangs();
    void screenshot();

private:
    MidiPlayer *makePlayer(int mode, int startIndex);
    QString selected(MidiPlayer &player) const;

    QTemporaryDir dir;
    QString oldCurrent;
    ScriptedPrompts *prompts = nullptr;
    OfflineAudioOutput *audio = nullptr;
};
