#include "core/song/StandardMidiFile.h"
#include "devices/audio/AudioDriverChoice.h"
#include "devices/audio/FluidAudioOutput.h"
#include "devices/audio/SongRenderer.h"
#include "support/TestSongs.h"

#include <QObject>
#include <QTest>

// Which sound output the player tries, and what it says when none starts.
class TestSoundOutput : public QObject
{
    Q_OBJECT

private slots:
    void usualOrderAmongThoseOffered_data();
    void usualOrderAmongThoseOffered();
    void namedDriverIsTheOnlyOneTried();
    void nameFromEnvironment();
    void failureMessageNamesWhatWasTried();
    void outputOfAnotherRateKeepsTheSongsTime();
};

void TestSoundOutput::usualOrderAmongThoseOffered_data()
{
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QStringList>("tried");
    QTest::newRow("all") << QStringList{"alsa", "jack", "oss", "pipewire", "pulseaudio", "sdl2"}
                         << QStringList{"pipewire", "pulseaudio", "jack", "alsa"};
    QTest::newRow("no pipewire") << QStringList{"alsa", "jack", "oss", "pulseaudio", "sdl2"}
                                 << QStringList{"pulseaudio", "jack", "alsa"};
    QTest::newRow("alsa only") << QStringList{"alsa"} << QStringList{"alsa"};
    QTest::newRow("none of them") << QStringList{"oss", "sdl2"} << QStringList{};
}

void TestSoundOutput::usualOrderAmongThoseOffered()
{
    QFETCH(QStringList, offered);
    QFETCH(QStringList, tried);
    QString problem;
    QCOMPARE(AudioDriverChoice::plan(offered, {}, &problem), tried);
    QCOMPARE(problem.isEmpty(), !tried.isEmpty());
}

void TestSoundOutput::namedDriverIsTheOnlyOneTried()
{
    QString problem;
    QCOMPARE(AudioDriverChoice::plan({"alsa", "jack", "sdl2"}, "sdl2", &problem), QStringList{"sdl2"});
    QVERIFY(AudioDriverChoice::plan({"alsa", "jack"}, "pipewire", &problem).isEmpty());
    QCOMPARE(problem, QString("The audio driver \"pipewire\" is not available. This FluidSynth offers: alsa, jack."));
    // "file" would write a file in the current folder: it is no sound output.
    QVERIFY(!AudioDriverChoice::offered().contains("file"));

    // The real output says the same, at once, and starts nothing.
    SongRenderer::Options none;
    none.soundFont = "/nonexistent.sf2";
    SongRenderer renderer(none);
    FluidAudioOutput output("no-such-driver");
    QVERIFY(!output.start(renderer));
    QVERIFY2(output.errorText().startsWith("The audio driver \"no-such-driver\" is not available."),
             qPrintable(output.errorText()));
    QVERIFY(output.driverName().isEmpty());
}

void TestSoundOutput::nameFromEnvironment()
{
    const QByteArray old = qgetenv(AudioDriverChoice::environmentVariable);
    qputenv(AudioDriverChoice::environmentVariable, " PulseAudio ");
    QCOMPARE(AudioDriverChoice::wanted(), QString("pulseaudio"));
    QCOMPARE(AudioDriverChoice::wanted("jack"), QString("jack"));   // the command line wins
    qputenv(AudioDriverChoice::environmentVariable, "");   // set but empty: the usual order
    QCOMPARE(AudioDriverChoice::wanted(), QString());
    QCOMPARE(AudioDriverChoice::wanted("  "), QString());
    qputenv(AudioDriverChoice::environmentVariable, old);
}

void TestSoundOutput::failureMessageNamesWhatWasTried()
{
    QCOMPARE(AudioDriverChoice::failureMessage({{"pulseaudio", "Connection refused"},
                                                {"jack", "no JACK server is running"},
                                                {"alsa", "Failed to open the \"default\" audio device"}}),
             QString("No sound output could be started, so the song cannot be heard.\n\nTried:\n"
                     "PulseAudio: Connection refused\n"
                     "JACK: no JACK server is running\n"
                     "ALSA: Failed to open the \"default\" audio device\n\n"
                     "Start a sound server, or name an output with --audio-driver or ZORVIK_AUDIO_DRIVER "
                     "(pipewire, pulseaudio, jack, alsa)."));
}

void TestSoundOutput::outputOfAnotherRateKeepsTheSongsTime()
{
    if (SongRenderer::findSoundFont().isEmpty())
        QSKIP("no General MIDI soundfont installed");
    StandardMidiFile song;
    QVERIFY(song.parse(TestSongs::oneNote(1, 2, 10)).ok);
    SongRenderer renderer(SongRenderer::Options{});
    renderer.setSong(song);
    QVERIFY(renderer.seekMs(2500));
    QVERIFY(renderer.setSampleRate(48000));   // a JACK server's rate
    QCOMPARE(renderer.sampleRate(), 48000);
    QCOMPARE(renderer.preferredSampleRate(), 44100);
    QCOMPARE(renderer.positionMs(), qint64(2500));
    QCOMPARE(renderer.lengthMs(), qint64(10000));
    renderer.start();
    std::vector<float> left(48000), right(48000);
    renderer.render(left.data(), right.data(), 48000);   // one second at the new rate
    QCOMPARE(renderer.positionMs(), qint64(3500));
}

QTEST_GUILESS_MAIN(TestSoundOutput)
#include "tst_SoundOutput.moc"
