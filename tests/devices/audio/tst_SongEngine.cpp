#include "devices/audio/SongEngine.h"
#include "devices/audio/OfflineAudioOutput.h"
#include "devices/audio/SongRenderer.h"
#include "support/JackRig.h"
#include "support/TestSongs.h"

#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef ZORVIK_HAVE_JACK
#include <jack/jack.h>
#endif

#include <csignal>

class OfflineAudioOutput;

// The engine, rendered offline: the tests pull the audio and so drive the song's clock.
class TestSongEngine : public QObject
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
    SongEngine::Options offline(bool failing = false);
    QString song(const QString &name, const QByteArray &bytes);

    QTemporaryDir dir;
    OfflineAudioOutput *audio = nullptr;   // the output of the engine's open song
};

namespace {

#ifdef ZORVIK_HAVE_JACK
// What the player's JACK ports are connected to, as the server sees it.
QStringList playerConnections()
{
    QStringList links;
    jack_client_t *client = jack_client_open("zorvik-test-probe", JackNoStartServer, nullptr);
    if (!client)
        return links;
    const char **ports = jack_get_ports(client, "^Zorvik Halden player", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    for (int i = 0; ports && ports[i]; ++i) {
        const char **connections = jack_port_get_all_connections(client, jack_port_by_name(client, ports[i]));
        for (int j = 0; connections && connections[j]; ++j)
            links.append(QString::fromUtf8(connections[j]));
        jack_free(connections);
    }
    jack_free(ports);
    jack_client_close(client);
    links.sort();
    return links;
}
#endif

// Whole seconds, rounded down, as the player shows them; -1 for no song.
int wholeSeconds(qint64 ms)
{
    return ms < 0 ? -1 : int(ms / 1000);
}

int positionSeconds(const SongEngine &engine)
{
    return wholeSeconds(engine.positionMs());
}

int lengthSeconds(const SongEngine &engine)
{
    return wholeSeconds(engine.lengthMs());
}

constexpr float audible = 1e-3f;
constexpr float silent = 1e-4f;   // -80 dB; the effects leave a noise floor near 1e-8

} // namespace

SongEngine::Options TestSongEngine::offline(bool failing)
{
    SongEngine::Options options;
    options.output = [this, failing] {
        auto output = std::make_unique<OfflineAudioOutput>(failing);
        audio = output.get();
        return output;
    };
    return options;
}

QString TestSongEngine::song(const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    if (!TestSongs::write(path, bytes))
        qFatal("cannot write a test song");
    return path;
}

void TestSongEngine::initTestCase()
{
    QVERIFY(dir.isValid());
    if (SongRenderer::findSoundFont().isEmpty())
        QSKIP("no General MIDI soundfont installed");
}

void TestSongEngine::lengthAndPositionInWholeSeconds()
{
    SongEngine engine(offline());
    QCOMPARE(engine.lengthMs(), -1);
    QCOMPARE(engine.positionMs(), -1);
    QVERIFY(engine.open(song("long.mid", TestSongs::quiet(125.9))));
    QCOMPARE(lengthSeconds(engine), 2 * 60 + 5);
    QCOMPARE(positionSeconds(engine), 0);
    QVERIFY(engine.play());
    const int rate = engine.renderer()->sampleRate();
    audio->pull(2 * rate - 1);
    QCOMPARE(positionSeconds(engine), 1);
    audio->pull(1);
    QCOMPARE(positionSeconds(engine), 2);
    QCOMPARE(engine.positionMs(), 2000);
}

void TestSongEngine::shortSongHasNoWholeSecond()
{
    SongEngine engine(offline());
    QVERIFY(engine.open(song("short.mid", TestSongs::oneNote(0, 0.5, 0.9))));
    QCOMPARE(lengthSeconds(engine), 0);
}

void TestSongEngine::pauseAndPlayResumeAtTheWholeSecond()
{
    SongEngine engine(offline());
    QVERIFY(engine.open(song("pause.mid", TestSongs::quiet(30))));
    QVERIFY(!engine.pause());   // not playing yet
    QVERIFY(engine.play());
    audio->pullMs(5700);
    QVERIFY(engine.pause());
    QVERIFY(engine.isPaused() && engine.isPlaying());
    audio->pullMs(3000);
    QCOMPARE(engine.positionMs(), 5700);   // a paused song stands still
    QVERIFY(engine.play());
    QCOMPARE(engine.positionMs(), 5000);
    QVERIFY(!engine.isPaused());
    audio->pullMs(1000);
    QCOMPARE(positionSeconds(engine), 6);
}

void TestSongEngine::seekWhilePlayingStoppedAndPaused()
{
    SongEngine engine(offline());
    QVERIFY(engine.open(song("seek.mid", TestSongs::quiet(60))));

    // A stopped song moves but reports failure, as it does not play
    QVERIFY(!engine.seekTo(30000));
    QCOMPARE(positionSeconds(engine), 30);

    // A playing song continues from the new place
    QVERIFY(engine.play());
    audio->pullMs(1500);
    QVERIFY(engine.seekTo(45000));
    QCOMPARE(engine.positionMs(), 45000);
    audio->pullMs(700);
    QCOMPARE(positionSeconds(engine), 45);

    // A paused one stays paused at the new place
    QVERIFY(engine.pause());
    QVERIFY(!engine.seekTo(10000));
    audio->pullMs(2000);
    QCOMPARE(engine.positionMs(), 10000);
    QVERIFY(engine.isPaused());

    // Between two seconds: a waiting song waits there, a playing one goes on from the whole second
    QVERIFY(!engine.seekTo(12500));
    QCOMPARE(engine.positionMs(), 12500);
    QVERIFY(engine.play());
    QCOMPARE(engine.positionMs(), 12000);
    QVERIFY(engine.seekTo(20750));
    QCOMPARE(engine.positionMs(), 20000);
}

void TestSongEngine::refusedSeekWhilePlayingKeepsPlaying()
{
    SongEngine engine(offline());
    QVERIFY(engine.open(song("refused.mid", TestSongs::quiet(60))));
    QVERIFY(engine.play());
    audio->pullMs(2000);
    QVERIFY(!engine.seekTo(600000));   // past the end
    QVERIFY(engine.isPlaying() && !engine.isPaused());
    QVERIFY(engine.renderer()->isRunning());
    audio->pullMs(1000);
    QCOMPARE(positionSeconds(engine), 3);
}

void TestSongEngine::backAtTheStartLeavesThePosition()
{
    SongEngine engine(offline());
    QVERIFY(engine.open(song("back.mid", TestSongs::quiet(60))));
    QVERIFY(engine.play());
    audio->pullMs(3000);
    QVERIFY(engine.back(8000));
    QCOMPARE(engine.positionMs(), 3000);
    audio->pullMs(9000);
    QVERIFY(engine.back(8000));
    QCOMPARE(engine.positionMs(), 4000);
    QVERIFY(engine.pause());
    QVERIFY(!engine.back(8000));   // moves, but a paused song is not resumed
    QCOMPARE(engine.positionMs(), 4000);   // 4 s - 8 s is before the start
}

void TestSongEngine::forwardPastTheEndLeavesThePosition()
{
    SongEngine engine(offline());
    QVERIFY(engine.open(song("forward.mid", TestSongs::quiet(20))));
    QVERIFY(engine.play());
    audio->pullMs(7000);
    QVERIFY(engine.forward(8000));
    QCOMPARE(engine.positionMs(), 15000);
    QVERIFY(engine.forward(8000));
    QCOMPARE(engine.positionMs(), 15000);
    QVERIFY(!SongEngine().forward(8000));   // nothing open
}

void TestSongEngine::songEndsButStillCountsAsPlaying()
{
    SmfBuilder smf(0, TestSongs::ppq);
    const int t = smf.addTrack();
    smf.noteOn(t, 0, 0, 60, 100);   // never released
    smf.endOfTrack(t, quint32(2.5 * TestSongs::second));
    SongEngine engine(offline());
    QVERIFY(engine.open(song("end.mid", smf.build())));
    QVERIFY(engine.play());
    audio->pullMs(2000);
    QVERIFY(audio->pullMs(100) > audible);
    audio->pullMs(3000);
    QCOMPARE(engine.positionMs(), 2500);
    QVERIFY(engine.isPlaying());
    audio->pullMs(3000);
    QVERIFY(audio->pullMs(200) < silent);   // the held note was released at the end
    QVERIFY(engine.seekTo(1000));             // and the song can be played again
    audio->pullMs(500);
    QCOMPARE(engine.positionMs(), 1500);
}

void TestSongEngine::openWhileOpenFails()
{
    SongEngine engine(offline());
    QVERIFY(engine.open(song("first.mid", TestSongs::quiet(12))));
    QVERIFY(engine.play());
    audio->pullMs(1000);
    OfflineAudioOutput *first = audio;
    QVERIFY(!engine.open(song("second.mid", TestSongs::quiet(99))));
    QVERIFY(!engine.openImage(TestSongs::quiet(99)));
    QCOMPARE(audio, first);   // no second output was made
    QCOMPARE(lengthSeconds(engine), 12);
    QVERIFY(engine.isPlaying());
    QCOMPARE(positionSeconds(engine), 1);
}

void TestSongEngine::stopCloseAndTheirFailures()
{
    SongEngine engine(offline());
    QVERIFY(!engine.close());
    QVERIFY(!engine.open(dir.filePath("missing.mid")));
    QVERIFY(!engine.open(song("bad.mid", "MThd but nothing else")));
    QVERIFY(!engine.isOpen());

    QVERIFY(engine.open(song("stop.mid", TestSongs::quiet(10))));
    QVERIFY(!engine.stop());   // not playing
    QVERIFY(engine.play());
    audio->pullMs(4000);
    QVERIFY(engine.stop());
    QVERIFY(engine.isOpen() && !engine.isPlaying() && !engine.isPaused());
    QCOMPARE(engine.positionMs(), 0);
    QVERIFY(engine.close());
    QVERIFY(!engine.isOpen());
    QCOMPARE(positionSeconds(engine), -1);
    QVERIFY(engine.open(song("again.mid", TestSongs::quiet(3))));   // reopens after Close
}

void TestSongEngine::noAudioDeviceOrSoundFontFailsQuietly()
{
    {
        SongEngine engine(offline(true));
        QVERIFY(!engine.open(song("nodevice.mid", TestSongs::quiet(3))));
        QVERIFY(!engine.isOpen());
        QVERIFY(!engine.play());
        QVERIFY(!engine.errorText().isEmpty());
    }
    {
        SongEngine::Options options = offline();
        options.synth.soundFont = dir.filePath("none.sf2");
        SongEngine engine(options);
        QVERIFY(!engine.open(song("nofont.mid", TestSongs::quiet(3))));
        QVERIFY(engine.errorText().contains("none.sf2"));
    }
    {
        // The real driver on a machine without sound: fails at once, or plays if a device exists
        SongEngine engine;
        QElapsedTimer clock;
        clock.start();
        if (engine.open(song("real.mid", TestSongs::quiet(1))))
            QVERIFY(engine.close());
        QVERIFY(clock.elapsed() < 5000);
    }
}

void TestSongEngine::soundStopsOnStopPauseSeekAndClose()
{
    // Notes held on four channels, the drum channel among them, from 0 s to 8 s
    SmfBuilder smf(0, TestSongs::ppq);
    const int t = smf.addTrack();
    smf.programChange(t, 0, 3, 48);   // strings: a long sustain and release
    for (int channel : {0, 3, 9, 15})
        smf.note(t, 0, 8 * TestSongs::second, channel, channel == 9 ? 49 : 60, 110);
    smf.endOfTrack(t, 20 * TestSongs::second);
    SongEngine engine(offline());
    QVERIFY(engine.open(song("held.mid", smf.build())));

    QVERIFY(engine.play());
    QVERIFY(audio->pullMs(500) > audible);
    QVERIFY(engine.pause());
    QVERIFY(audio->pull(64) < silent);   // silent at once: no release tail, no reverb

    QVERIFY(engine.play());
    QVERIFY(audio->pullMs(500) > audible);
    QVERIFY(engine.stop());
    QVERIFY(audio->pull(64) < silent);

    QVERIFY(engine.play());
    QVERIFY(audio->pullMs(500) > audible);
    QVERIFY(engine.seekTo(9000));   // past the notes
    QVERIFY(audio->pullMs(1000) < silent);

    QVERIFY(engine.seekTo(2000));   // into the notes: they started earlier and are not replayed
    QVERIFY(audio->pullMs(1000) < silent);

    QVERIFY(engine.seekTo(0));
    QVERIFY(audio->pullMs(500) > audible);
    QVERIFY(engine.close());   // the output is gone with the song
    QVERIFY(engine.renderer() != nullptr);
    float left[256], right[256];
    engine.renderer()->render(left, right, 256);   // the synth itself holds no voice
    QVERIFY(*std::max_element(std::begin(left), std::end(left)) < silent);
}

void TestSongEngine::noteStartsOnTime()
{
    // 60 BPM for one beat, then 150 BPM: the note at beat 2.5 sounds at 1000 + 1.5 * 400 = 1600 ms
    SmfBuilder smf(0, 480);
    const int t = smf.addTrack();
    smf.tempoBpm(t, 0, 60);
    smf.tempoBpm(t, 480, 150);
    smf.note(t, 1200, 240, 0, 72, 120);
    smf.endOfTrack(t, 4800);
    SongEngine engine(offline());
    QVERIFY(engine.open(song("onset.mid", smf.build())));
    QVERIFY(engine.play());
    const int rate = engine.renderer()->sampleRate();
    const int expected = 1600 * rate / 1000;
    int first = -1;
    for (int frame = 0; first < 0 && frame < 3 * rate; frame += 64) {
        audio->pull(64);
        const auto &samples = audio->lastAudio();
        for (int i = 0; i < 64 && first < 0; ++i)
            if (std::fabs(samples[std::size_t(2 * i)]) > silent)
                first = frame + i;
    }
    QVERIFY(first >= 0);
    QVERIFY2(std::abs(first - expected) <= rate * 2 / 1000,
             qPrintable(QString("onset at frame %1, expected %2").arg(first).arg(expected)));
}

void TestSongEngine::playsThroughAPrivateJackServer()
{
    // A real audio driver needs a device; JACK's dummy back end is one that every machine can run.
    // The sound servers are pointed at nothing, so the usual order comes to JACK, which runs at
    // a rate of its own.
    JackRig jack(256, 48000);
    if (!jack.start())
        QSKIP(qPrintable("no private JACK server: " + jack.problem()));
    const QByteArray oldDriver = qgetenv("ZORVIK_AUDIO_DRIVER");
    qputenv("PULSE_SERVER", "unix:" + dir.filePath("no-pulse").toUtf8());
    qputenv("PIPEWIRE_REMOTE", dir.filePath("no-pipewire").toUtf8());
    qunsetenv("ZORVIK_AUDIO_DRIVER");
    auto cleanup = qScopeGuard([&] {
        qputenv("ZORVIK_AUDIO_DRIVER", oldDriver);
        qunsetenv("PULSE_SERVER");
        qunsetenv("PIPEWIRE_REMOTE");
    });

    SongEngine engine;
    const QString path = song("jack.mid", TestSongs::oneNote(0, 5, 10));
    QElapsedTimer wait;
    wait.start();
    while (jack.running() && !engine.open(path) && wait.elapsed() < 10000)
        QTest::qWait(200);   // until the server is up, unless it gave up
    if (!engine.isOpen())
        QSKIP("the private JACK server did not start");
    QCOMPARE(engine.audioDriverInUse(), QString("jack"));
    QCOMPARE(engine.renderer()->sampleRate(), 48000);

    QVERIFY(engine.play());
    QElapsedTimer played;
    played.start();
#ifdef ZORVIK_HAVE_JACK
    QTRY_COMPARE(playerConnections(), QStringList({"system:playback_1", "system:playback_2"}));
#endif
    QTest::qWait(1000);
    const qint64 position = engine.positionMs();
    QVERIFY2(std::abs(position - played.elapsed()) < 500, qPrintable(QString::number(position)));
    QVERIFY(engine.pause());
    const qint64 paused = engine.positionMs();
    QTest::qWait(300);
    QCOMPARE(engine.positionMs(), paused);
    QVERIFY(engine.close());

    // The command line plays through the same engine, until Ctrl+C.
    QProcess control;
    control.start(QStringLiteral(ZORVIK_CTL_PATH), {"play", path});
    QVERIFY(control.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += control.readAllStandardError()).contains("Ctrl+C stops"), 10000);
#ifdef ZORVIK_HAVE_JACK
    QTRY_COMPARE_WITH_TIMEOUT(playerConnections(), QStringList({"system:playback_1", "system:playback_2"}), 10000);
#else
    QTest::qWait(1000);
#endif
    ::kill(pid_t(control.processId()), SIGINT);
    QVERIFY(control.waitForFinished(10000));
    QCOMPARE(control.exitStatus(), QProcess::NormalExit);
    QCOMPARE(control.exitCode(), 0);
    said += control.readAllStandardError();
    QVERIFY2(said.contains("playing jack.mid (00:10) through JACK") && said.contains("stopped at"), said.constData());
}

QTEST_GUILESS_MAIN(TestSongEngine)
#include "tst_SongEngine.moc"
