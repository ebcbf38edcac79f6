#pragma once

#include <QObject>

// The song file reader and the .csf song image.
class SongFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void lengthFollowsTheTempoMap();
    void runningStatusAndMetaEvents();
    void damagedFilesAreRefused_data();
    void damagedFilesAreRefused();
    void everyCutOfAGoodFileIsSafe();
    void smpteDivisionIsTicksPerSecond();
    void csfImageIsTheEmbeddedSong();
    void csfWithoutACompleteSongIsRefused_data();
    void csfWithoutACompleteSongIsRefused();
    void demoLibrarySongsAreFormat0WithMarkers();
};
