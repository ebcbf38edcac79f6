#pragma once

#include "player/MciSequencer.h"

#include <QObject>
#include <QTemporaryDir>

class OfflineAudioOutput;

// The engine, rendered offline: the tests pull the audio and so drive the song's clock.
class SequencerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lengthAndPositionInWholeSeconds();
    void shortSongHasNoWholeSecond();
    void pauseAndPlayResumeAtTheWholeSecond();
    void seekWhilePlayingStoppedAndPaused();
    void refusedSeekWhilePlayingKeepsPlaying();
    void backAtTheStartLeavesThePosition();
    void forwardPastTheEndLeavesThePosition();
    void songEndsButStillCountsAsPlaying();
    void openWhileOpenFails();
    void stopCloseAndTheirFailures();
    void noAudioDeviceOrSoundFontFailsQuietly();
    void soundStopsOnStopPauseSeekAndClose();
    void noteStartsOnTime();
    void playsThroughAPrivateJackServer();

private:
    MciSequencer::Options offline(bool failing = false);
    QString song(const QString &name, const QByteArray &bytes);

    QTemporaryDir dir;
    OfflineAudioOutput *audio = nullptr;   // the output of the engine's open song
};
