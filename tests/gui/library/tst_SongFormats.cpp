#include "core/song/SmfMerge.h"
#include "gui/library/FileLibrary.h"
#include "gui/library/TransferDialog.h"
#include "support/EditorRig.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using TestFiles::readFile;
using TestFiles::writeFile;

namespace {

QByteArray format1(const char *name)
{
    return readFile(QStringLiteral(ZORVIK_TEST_DATA "/format1/") + QLatin1String(name));
}

} // namespace

// Songs of several tracks, as nearly every MIDI file is, reach the instrument merged into one;
// driven as a person does, through the library list's menu.
class TestSongFormats : public QObject, public EditorRig
{
    Q_OBJECT

    // Double click a song and choose an entry of its menu.
    void choose(const QString &song, const QString &entry)
    {
        QListWidget *list = workspace->library().fileList();
        const QList<QListWidgetItem *> found = list->findItems(song, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        QTimer::singleShot(50, [entry] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *action : menu->actions()) {
                if (action->text() == entry)
                    menu->setActiveAction(action);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
        const QPoint at = list->visualItemRect(found.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }

    void sendAndClose()
    {
        ModalDriver::next([this](QDialog *transfer) {
            QTest::mouseClick(transfer->findChild<QPushButton *>(QStringLiteral("send")), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(midi->simulator().lastTransfer().complete, 20000);
            QTest::mouseClick(transfer->findChild<QPushButton *>(QStringLiteral("close")), Qt::LeftButton);
        });
    }

private slots:
    void init()
    {
        QVERIFY(openEditor());
        writeFile(data.path(QStringLiteral("mid/later.mid")), format1("tempo-in-a-later-track.mid"));
        writeFile(data.path(QStringLiteral("mid/apart.mid")), format1("format-2.mid"));
        writeFile(data.path(QStringLiteral("mid/open.mid")), format1("track-without-end.mid"));
        workspace->library().refill();
    }
    void cleanup() { closeEditor(); }

    // Send: the refusal as it always was, then the way out; Yes sends the merged song, the file
    // in the library stays as it is; No sends nothing.
    void sendOffersTheMergedSong()
    {
        const QByteArray original = format1("tempo-in-a-later-track.mid");
        const QByteArray merged = SmfMerge::toFormatZero(original).file;
        QVERIFY(!merged.isEmpty());

        prompts->queue(PromptService::Answer::Ok);
        prompts->queue(PromptService::Answer::Yes);
        sendAndClose();
        choose(QStringLiteral("later.mid"), QStringLiteral("&Send"));
        QTRY_VERIFY(ModalDriver::idle());
        QCOMPARE(prompts->asked.size(), 2);
        QVERIFY(prompts->asked.at(0).text.contains(QStringLiteral("Trackmerge")));
        QCOMPARE(prompts->asked.at(1).text, QStringLiteral("Convert it to format 0 and send?"));
        QCOMPARE(prompts->asked.at(1).buttons, PromptService::Buttons::YesNo);
        QCOMPARE(midi->simulator().lastTransfer().command, 0x02);
        QCOMPARE(midi->simulator().lastTransfer().image, merged);
        QCOMPARE(readFile(data.path(QStringLiteral("mid/later.mid"))), original);

        const qsizetype before = midi->simulator().received().size();
        prompts->asked.clear();
        prompts->queue(PromptService::Answer::Ok);
        prompts->queue(PromptService::Answer::No);
        choose(QStringLiteral("later.mid"), QStringLiteral("&Send"));
        QCOMPARE(prompts->asked.size(), 2);
        QCOMPARE(midi->simulator().received().size(), before);
        QVERIFY(!workspace->transfer().isVisible());
    }

    // What cannot be merged is refused with the reason, and nothing is offered or sent.
    void unmergeableSongsSayWhy_data()
    {
        QTest::addColumn<QString>("song");
        QTest::addColumn<QString>("why");
        QTest::newRow("format 2") << "apart.mid"
                                  << "This song cannot be converted to format 0: it is of format 2: its tracks are "
                                     "separate songs, which cannot be played as one.";
        QTest::newRow("no End of Track") << "open.mid"
                                         << "This song cannot be converted to format 0: track 2 has no End of Track.";
    }
    void unmergeableSongsSayWhy()
    {
        QFETCH(QString, song);
        QFETCH(QString, why);
        choose(song, QStringLiteral("&Send"));
        QCOMPARE(prompts->asked.size(), 2);
        QVERIFY(prompts->asked.at(0).text.contains(QStringLiteral("Trackmerge")));
        QCOMPARE(prompts->asked.at(1).text, why);
        QVERIFY(midi->simulator().received().isEmpty());
    }

    // "Save as format 0" writes NAME-0.mid beside the song and selects it; a second save asks
    // before replacing, and No keeps what is there.
    void saveAsFormatZeroWritesBesideIt()
    {
        const QByteArray merged = SmfMerge::toFormatZero(format1("tempo-in-a-later-track.mid")).file;
        choose(QStringLiteral("later.mid"), QStringLiteral("Save as &format 0"));
        QVERIFY(prompts->asked.isEmpty());
        QCOMPARE(readFile(data.path(QStringLiteral("mid/later-0.mid"))), merged);
        QCOMPARE(workspace->library().selectedEntry(), QStringLiteral("later-0.mid"));

        writeFile(data.path(QStringLiteral("mid/later-0.mid")), "mine");
        prompts->queue(PromptService::Answer::No);
        choose(QStringLiteral("later.mid"), QStringLiteral("Save as &format 0"));
        QCOMPARE(prompts->asked.last().text, QStringLiteral("\"later-0.mid\" already exists. Replace it?"));
        QVERIFY(prompts->asked.last().defaultAnswer == PromptService::Answer::No);
        QCOMPARE(readFile(data.path(QStringLiteral("mid/later-0.mid"))), QByteArray("mine"));
        prompts->queue(PromptService::Answer::Yes);
        choose(QStringLiteral("later.mid"), QStringLiteral("Save as &format 0"));
        QCOMPARE(readFile(data.path(QStringLiteral("mid/later-0.mid"))), merged);

        // The merged song is of format 0: it is sent as it is, and not merged again.
        prompts->asked.clear();
        choose(QStringLiteral("later-0.mid"), QStringLiteral("Save as &format 0"));
        QCOMPARE(prompts->asked.size(), 1);
        QCOMPARE(prompts->asked.first().text,
                 QStringLiteral("\"later-0.mid\" is of format 0 already: the instrument takes it as it is."));
        QVERIFY(!QFile::exists(data.path(QStringLiteral("mid/later-0-0.mid"))));
        prompts->asked.clear();
        sendAndClose();
        choose(QStringLiteral("later-0.mid"), QStringLiteral("&Send"));
        QTRY_VERIFY(ModalDriver::idle());
        QCOMPARE(prompts->asked.size(), 1);   // the usual question only
        QCOMPARE(midi->simulator().lastTransfer().image, merged);

        // A song that cannot be merged leaves nothing behind.
        choose(QStringLiteral("apart.mid"), QStringLiteral("Save as &format 0"));
        QVERIFY(prompts->asked.last().text.startsWith(QStringLiteral("This song cannot be converted to format 0: it is of format 2")));
        QVERIFY(!QFile::exists(data.path(QStringLiteral("mid/apart-0.mid"))));
    }
};

QTEST_MAIN(TestSongFormats)
#include "tst_SongFormats.moc"
