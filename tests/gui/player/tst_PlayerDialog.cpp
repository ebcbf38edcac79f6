#include "devices/audio/AudioOutput.h"
#include "devices/audio/OfflineAudioOutput.h"
#include "devices/audio/SongRenderer.h"
#include "gui/player/PlayerDialog.h"
#include "support/FreshLibrary.h"
#include "support/ScriptedPrompts.h"
#include "support/TestSongs.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QObject>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QThread>

#include <memory>

class PlayerDialog;
class OfflineAudioOutput;
class ScriptedPrompts;

// The player window over a data folder of generated songs, its engine rendered offline.
class TestPlayerDialog : public QObject
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
    void songGoneFromTheFolderIsNamed();
    void listFollowsTheFolder();
    void withTheRealAudioDriverNothingHangs();

private:
    PlayerDialog *makePlayer(PlayerMode mode, int startIndex);
    QString selected(PlayerDialog &player) const;
    QString midPath(const QString &name) const { return data.file(DataPaths::Folder::Mid, name); }

    FreshLibrary data;
    ScriptedPrompts *prompts = nullptr;
    OfflineAudioOutput *audio = nullptr;
};

namespace {

// The song's length in whole seconds, rounded down, as the status line shows it.
int lengthSeconds(const SongEngine &engine)
{
    return int(engine.lengthMs() / 1000);
}

void mouse(QWidget *widget, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Where the slider's handle is drawn, and where its left edge lies for a value.
QStyleOptionSlider sliderOption(const QSlider *slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.tickPosition = slider->tickPosition();
    option.tickInterval = slider->tickInterval();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.subControls = QStyle::SC_All;
    return option;
}

QRect handleRect(const QSlider *slider)
{
    const QStyleOptionSlider option = sliderOption(slider);
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
}

int handleLeftFor(const QSlider *slider, int value)
{
    const QStyleOptionSlider option = sliderOption(slider);
    const QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
    const int span = groove.width() - handleRect(slider).width();
    return groove.x() + QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), value, span);
}

} // namespace

void TestPlayerDialog::initTestCase()
{
    if (SongRenderer::findSoundFont().isEmpty())
        QSKIP("no General MIDI soundfont installed");
    QVERIFY(data.isReady());
    // Written oldest first, so the list shows them newest first: c, b, a
    for (const auto &[name, seconds] : {std::pair{"a-100s.mid", 100.0}, {"b-200s.mid", 200.0}, {"c-400s.mid", 400.0}}) {
        QVERIFY(TestSongs::write(midPath(name), TestSongs::quiet(seconds)));
        QThread::msleep(20);
    }
    QVERIFY(TestSongs::write(data.file(DataPaths::Folder::Csf, "song.csf"),
                             QByteArray("ZCSF-HEAD") + TestSongs::quiet(42) + "STYLE"));
    QVERIFY(TestSongs::write(data.file(DataPaths::Folder::Csf, "broken.csf"), "ZCSF-HEAD only"));
    prompts = new ScriptedPrompts;
}

void TestPlayerDialog::cleanupTestCase()
{
    delete prompts;
}

PlayerDialog *TestPlayerDialog::makePlayer(PlayerMode mode, int startIndex)
{
    SongEngine::Options options;
    options.output = [this] {
        auto output = std::make_unique<OfflineAudioOutput>();
        audio = output.get();
        return output;
    };
    return new PlayerDialog(data.location(), *prompts, PlayerInputs{mode, startIndex}, options);
}

QString TestPlayerDialog::selected(PlayerDialog &player) const
{
    const QListWidgetItem *item = player.songList()->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void TestPlayerDialog::opensWithTheStartIndexSelected()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 1));
    QCOMPARE(player->windowTitle(), QString("Midiplay"));
    QCOMPARE(player->songList()->count(), 3);
    QCOMPARE(player->songList()->item(0)->text(), QString("c-400s.mid"));
    QCOMPARE(selected(*player), QString("b-200s.mid"));
    QCOMPARE(player->positionSlider()->maximum(), 200);
    QCOMPARE(player->positionSlider()->pageStep(), 5);
    QCOMPARE(player->positionSlider()->tickInterval(), 10);
    QVERIFY(!player->statusLine()->isEnabled());
    QCOMPARE(player->palette().color(QPalette::Window), QColor(247, 251, 220));
    QCOMPARE(player->songList()->palette().color(QPalette::Text), QColor(210, 184, 130));

    std::unique_ptr<PlayerDialog> outside(makePlayer(PlayerMode::MidiSongs, 3));
    QCOMPARE(selected(*outside), QString());
}

void TestPlayerDialog::statusLineShowsElapsedAndTotal()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 1));   // the 200 s song
    QTest::mouseClick(player->playButton(), Qt::LeftButton);
    QVERIFY(player->engine().isPlaying());
    QVERIFY(player->isTimerRunning());
    QVERIFY(player->statusLine()->isEnabled());
    player->engine().seekTo(65000);
    audio->pullMs(300);
    player->tick();
    QCOMPARE(player->statusLine()->text(), QString("Play Status:   01:05 / 03:20"));
    QCOMPARE(player->positionSlider()->value(), 65);   // 65 s / (200 s * 0.005)
}

void TestPlayerDialog::sliderReleaseSeeksByTheFactor_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("expectedSeconds");
    QTest::newRow("100 s song") << 2 << 50;
    QTest::newRow("400 s song") << 0 << 200;
}

void TestPlayerDialog::sliderReleaseSeeksByTheFactor()
{
    QFETCH(int, row);
    QFETCH(int, expectedSeconds);
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, row));
    player->play();
    player->positionSlider()->setValue(100);
    emit player->positionSlider()->sliderReleased();
    QCOMPARE(player->engine().positionMs(), qint64(expectedSeconds) * 1000);
    QVERIFY(player->engine().isPlaying());

    // A paused song stays paused at the new place
    player->pause();
    player->positionSlider()->setValue(20);
    emit player->positionSlider()->sliderReleased();
    QCOMPARE(player->engine().positionMs(), qint64(expectedSeconds) * 1000 / 5);
    QVERIFY(player->engine().isPaused());
}

void TestPlayerDialog::heldSliderIsLeftAlone()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 1));   // the 200 s song: a second per step
    player->show();
    QVERIFY(QTest::qWaitForWindowExposed(player.get()));
    QTest::mouseClick(player->playButton(), Qt::LeftButton);
    audio->pullMs(3000);
    player->tick();
    QSlider *slider = player->positionSlider();
    QCOMPARE(slider->value(), 3);

    // The user takes the handle, drags it to the middle and holds it there while the timer ticks.
    const QPoint grip = handleRect(slider).center();
    mouse(slider, QEvent::MouseButtonPress, grip);
    QVERIFY(slider->isSliderDown());
    const QPoint held = grip + QPoint(handleLeftFor(slider, 100) - handleRect(slider).left(), 0);
    mouse(slider, QEvent::MouseMove, held);
    const int chosen = slider->value();   // a pixel may span more than one step
    QVERIFY2(qAbs(chosen - 100) <= 2, qPrintable(QString::number(chosen)));
    audio->pullMs(1000);
    player->tick();
    QCOMPARE(slider->value(), chosen);
    QCOMPARE(player->statusLine()->text(), QString("Play Status:   00:04 / 03:20"));
    mouse(slider, QEvent::MouseButtonRelease, held);
    QCOMPARE(player->engine().positionMs(), qint64(chosen) * 1000);

    // Let go, the slider follows the song again.
    audio->pullMs(2000);
    player->tick();
    QCOMPARE(slider->value(), chosen + 2);
}

void TestPlayerDialog::nextWithoutSelectionPlaysTheFirstEntry()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, -1));
    QCOMPARE(selected(*player), QString());
    QTest::mouseClick(player->nextButton(), Qt::LeftButton);
    QCOMPARE(selected(*player), QString("c-400s.mid"));
    QCOMPARE(lengthSeconds(player->engine()), 400);
    QVERIFY(player->engine().isPlaying());
    QTest::mouseClick(player->nextButton(), Qt::LeftButton);
    QCOMPARE(lengthSeconds(player->engine()), 200);
}

void TestPlayerDialog::previousOnFirstAndNextOnLastDoNothing()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 0));
    QTest::mouseClick(player->previousButton(), Qt::LeftButton);
    QVERIFY(!player->engine().isOpen());
    QCOMPARE(selected(*player), QString("c-400s.mid"));

    std::unique_ptr<PlayerDialog> last(makePlayer(PlayerMode::MidiSongs, 2));
    QTest::mouseClick(last->nextButton(), Qt::LeftButton);
    QVERIFY(!last->engine().isOpen());
    QTest::mouseClick(last->previousButton(), Qt::LeftButton);
    QCOMPARE(selected(*last), QString("b-200s.mid"));
    QVERIFY(last->engine().isPlaying());
}

void TestPlayerDialog::pauseSelectAnotherPlayResumesThePausedSong()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 2));   // the 100 s song
    player->play();
    audio->pullMs(12400);
    QTest::mouseClick(player->pauseButton(), Qt::LeftButton);
    QVERIFY(!player->isTimerRunning());
    player->songList()->setCurrentRow(0);   // the 400 s song
    QTest::mouseClick(player->playButton(), Qt::LeftButton);
    QCOMPARE(lengthSeconds(player->engine()), 100);
    QCOMPARE(player->engine().positionMs(), 12000);
    QVERIFY(player->engine().isPlaying() && !player->engine().isPaused());
    QVERIFY(player->isTimerRunning());

    // A double click closes the current song and plays the selected one
    emit player->songList()->itemDoubleClicked(player->songList()->item(0));
    QCOMPARE(lengthSeconds(player->engine()), 400);
    QCOMPARE(player->engine().positionMs(), 0);
}

void TestPlayerDialog::playWithoutSelectionStopsTheSong()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 1));
    player->play();
    QVERIFY(player->engine().isOpen());
    player->songList()->clearSelection();
    player->play();
    QVERIFY(!player->engine().isOpen());
    QVERIFY(!player->isTimerRunning());
}

void TestPlayerDialog::stopClosesAndGreysTheStatusLine()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 1));
    player->play();
    audio->pullMs(3000);
    player->tick();
    QCOMPARE(player->positionSlider()->value(), 3);
    QTest::mouseClick(player->backButton(), Qt::LeftButton);   // within the first 8 s: stays
    QCOMPARE(player->engine().positionMs(), 3000);
    QTest::mouseClick(player->forwardButton(), Qt::LeftButton);
    QCOMPARE(player->engine().positionMs(), 11000);
    QTest::mouseClick(player->stopButton(), Qt::LeftButton);
    QVERIFY(!player->engine().isOpen());
    QVERIFY(!player->statusLine()->isEnabled());
    QCOMPARE(player->statusLine()->text(), QString("Play Status:   00:03 / 03:20"));   // kept
    QCOMPARE(player->positionSlider()->value(), 0);
    QVERIFY(!player->isTimerRunning());
    player->tick();   // with nothing open the timer changes nothing
    QCOMPARE(player->statusLine()->text(), QString("Play Status:   00:03 / 03:20"));

    player->play();
    player->reject();   // closing the window closes the song
    QVERIFY(!player->engine().isOpen());
}

void TestPlayerDialog::csfSongsPlayTheirSongImage()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::CsfSongs, -1));
    QCOMPARE(player->songList()->count(), 2);
    const int good = player->songList()->item(0)->text() == "song.csf" ? 0 : 1;
    player->songList()->setCurrentRow(1 - good);
    player->play();   // no song inside: nothing happens, no message
    QVERIFY(!player->engine().isOpen());
    QVERIFY(prompts->asked.isEmpty());
    player->songList()->setCurrentRow(good);
    player->play();
    QCOMPARE(lengthSeconds(player->engine()), 42);
    QVERIFY(player->engine().isPlaying());
}

void TestPlayerDialog::tooManyFilesAreNotListed()
{
    const QString folder = data.folder(DataPaths::Folder::Mid);
    for (int i = 0; i < 297; ++i)
        QVERIFY(TestSongs::write(folder + QString("many%1.mid").arg(i), "x"));
    {
        std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 0));   // 300 files
        QCOMPARE(player->songList()->count(), 0);
        QCOMPARE(prompts->asked.size(), 1);
        QCOMPARE(prompts->asked.first().text, QString("The file name is excess!"));
    }
    QVERIFY(QFile::remove(folder + "many0.mid"));
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 0));   // 299 files
    QCOMPARE(player->songList()->count(), 299);
    for (int i = 1; i < 297; ++i)
        QFile::remove(folder + QString("many%1.mid").arg(i));
    prompts->asked.clear();
}

void TestPlayerDialog::withoutSoundPlaySaysWhyOnce()
{
    struct NoSound : AudioOutput
    {
        bool start(SongRenderer &) override { return false; }
        void stop() override {}
        QString errorText() const override { return QStringLiteral("No sound output could be started. Tried: JACK"); }
    };
    SongEngine::Options options;
    options.output = [] { return std::make_unique<NoSound>(); };
    PlayerDialog player(data.location(), *prompts, PlayerInputs{PlayerMode::MidiSongs, 1}, options);
    prompts->asked.clear();
    QTest::mouseClick(player.playButton(), Qt::LeftButton);
    QCOMPARE(prompts->asked.size(), 1);
    QCOMPARE(prompts->asked.at(0).text, QString("No sound output could be started. Tried: JACK"));
    QCOMPARE(prompts->asked.at(0).icon, PromptService::Icon::Warning);
    // The song's length comes from the file all the same.
    QVERIFY(player.statusLine()->isEnabled());
    QCOMPARE(player.statusLine()->text(), QString("Play Status:   00:00 / 03:20"));
    QVERIFY(!player.engine().isOpen());

    // Everything else goes on working: one message per Play, none for a song that cannot be read.
    QTest::mouseClick(player.nextButton(), Qt::LeftButton);
    QCOMPARE(prompts->asked.size(), 2);
    QCOMPARE(player.statusLine()->text(), QString("Play Status:   00:00 / 01:40"));
    QTest::mouseClick(player.stopButton(), Qt::LeftButton);
    QVERIFY(!player.statusLine()->isEnabled());
    PlayerDialog csf(data.location(), *prompts, PlayerInputs{PlayerMode::CsfSongs, 0}, options);
    csf.songList()->setCurrentItem(csf.songList()->findItems("broken.csf", Qt::MatchExactly).value(0));
    csf.play();
    QCOMPARE(prompts->asked.size(), 2);
    prompts->asked.clear();
}

void TestPlayerDialog::songGoneFromTheFolderIsNamed()
{
    struct NoSound : AudioOutput
    {
        bool start(SongRenderer &) override { return false; }
        void stop() override {}
        QString errorText() const override { return QStringLiteral("No sound output could be started. Tried: JACK"); }
    };
    const QString away = data.outside("b-200s.mid");
    for (const bool withSound : {true, false}) {
        SongEngine::Options options;
        if (withSound) {
            options.output = [this] {
                auto output = std::make_unique<OfflineAudioOutput>();
                audio = output.get();
                return output;
            };
        } else {
            options.output = [] { return std::make_unique<NoSound>(); };
        }
        PlayerDialog player(data.location(), *prompts, PlayerInputs{PlayerMode::MidiSongs, 1}, options);
        prompts->asked.clear();
        QTest::mouseClick(player.playButton(), Qt::LeftButton);
        if (withSound) {
            audio->pullMs(36000);
            player.tick();
            QCOMPARE(player.statusLine()->text(), QString("Play Status:   00:36 / 03:20"));
        }
        // Given the song moved out of the folder while it played, when Stop then Play are pressed
        // before the list caught up, then the player says so, shows no song and lists the folder.
        QVERIFY(QFile::rename(midPath("b-200s.mid"), away));
        QTest::mouseClick(player.stopButton(), Qt::LeftButton);
        prompts->asked.clear();
        QTest::mouseClick(player.playButton(), Qt::LeftButton);
        QCOMPARE(prompts->asked.size(), 1);
        QCOMPARE(prompts->asked.at(0).text,
                 QString("\"b-200s.mid\" is no longer in the library: it was renamed, moved or deleted."));
        QCOMPARE(prompts->asked.at(0).icon, PromptService::Icon::Warning);
        QCOMPARE(player.statusLine()->text(), QString("Play Status:   00:00 / 00:00"));
        QVERIFY(!player.statusLine()->isEnabled());
        QVERIFY(!player.isTimerRunning());
        QVERIFY(!player.engine().isOpen());
        QCOMPARE(player.songList()->count(), 2);
        QVERIFY(player.songList()->findItems("b-200s.mid", Qt::MatchExactly).isEmpty());
        QCOMPARE(selected(player), QString());
        const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS");
        if (!shots.isEmpty() && withSound) {
            player.show();
            QVERIFY(player.grab().save(shots + "/midiplayer-song-gone.png"));
        }
        QVERIFY(QFile::rename(away, midPath("b-200s.mid")));
    }
    prompts->asked.clear();
}

void TestPlayerDialog::listFollowsTheFolder()
{
    std::unique_ptr<PlayerDialog> player(makePlayer(PlayerMode::MidiSongs, 2));
    QCOMPARE(selected(*player), QString("a-100s.mid"));
    const QString away = data.outside("c-400s.mid");
    QVERIFY(QFile::rename(midPath("c-400s.mid"), away));
    QTRY_COMPARE(player->songList()->count(), 2);
    QCOMPARE(player->songList()->item(0)->text(), QString("b-200s.mid"));
    QCOMPARE(selected(*player), QString("a-100s.mid"));   // the selection stays with its song
    QVERIFY(QFile::rename(away, midPath("c-400s.mid")));
    QTRY_COMPARE(player->songList()->count(), 3);
    QCOMPARE(selected(*player), QString("a-100s.mid"));
    QVERIFY(prompts->asked.isEmpty());
}

void TestPlayerDialog::withTheRealAudioDriverNothingHangs()
{
    // On a machine without sound the song cannot be heard: Play says so, once, and quickly.
    PlayerDialog player(data.location(), *prompts, PlayerInputs{PlayerMode::MidiSongs, 0});
    prompts->asked.clear();
    QElapsedTimer clock;
    clock.start();
    player.play();
    player.tick();
    player.stop();
    QVERIFY(clock.elapsed() < 5000);
    if (player.engine().soundUnavailable()) {
        QCOMPARE(prompts->asked.size(), 1);
        QVERIFY2(prompts->asked.at(0).text.startsWith("No sound output could be started"),
                 qPrintable(prompts->asked.at(0).text));
        QCOMPARE(player.statusLine()->text(), QString("Play Status:   00:00 / 06:40"));
    } else {
        QVERIFY(prompts->asked.isEmpty());
    }
    prompts->asked.clear();
}

QTEST_MAIN(TestPlayerDialog)
#include "tst_PlayerDialog.moc"
