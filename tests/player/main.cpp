#include "PlayerWindowTest.h"
#include "SequencerTest.h"
#include "SongFilesTest.h"
#include "SoundOutputTest.h"

#include <QApplication>
#include <QTest>

// The player's tests: song files, the engine rendered offline, the window, the sound output.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failed = 0;
    SongFilesTest files;
    failed += QTest::qExec(&files, argc, argv);
    SequencerTest engine;
    failed += QTest::qExec(&engine, argc, argv);
    PlayerWindowTest window;
    failed += QTest::qExec(&window, argc, argv);
    SoundOutputTest sound;
    failed += QTest::qExec(&sound, argc, argv);
    return failed;
}
