// The panel's Load with bad .syx files: missing, unreadable, empty, huge, truncated, of the wrong
// kind, named to leave the folder, or a pipe or a device. Each is refused with a message and the
// panel keeps what the user had on it. Names that are unusual but harmless (a ':') work
// everywhere, from the library's menu to the file name prompt.
#include "core/midi/MidiSystem.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/library/FileLibrary.h"
#include "gui/widgets/SkinButton.h"
#include "gui/panel/PanelCommands.h"
#include "gui/panel/PanelEditor.h"
#include "support/EditorRig.h"
#include "support/ModalDriver.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <sys/stat.h>

using TestFiles::goldenTemplate;

using Field = PanelSettings::Field;

namespace {

QByteArray smallSong()
{
    QByteArray song("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60", 14);
    const QByteArray track("\x00\x90\x3C\x64\x60\x80\x3C\x00\x00\xFF\x2F\x00", 12);
    return song + QByteArray("MTrk\x00\x00\x00", 7) + char(track.size()) + track;
}

} // namespace

class TestBadInputPanel : public QObject, EditorRig
{
    Q_OBJECT

private:
    QLineEdit *pad1Msb() { return workspace->panel().box(PanelSettings::Pad1, Field::Msb); }

    // As a person does: double-click the entry, then pick the item of the menu that shows by
    // its underlined letter.
    void chooseFromMenu(const QString &entry, Qt::Key letter)
    {
        QListWidget *files = workspace->library().fileList();
        QListWidgetItem *item = files->findItems(entry, Qt::MatchExactly).value(0);
        QVERIFY2(item, qPrintable(entry));
        files->scrollToItem(item);
        const QPoint at = files->visualItemRect(item).center();
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, [&poll, letter] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                poll.stop();
                QTest::keyClick(menu, letter);
            }
        });
        poll.start();
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(!poll.isActive());
    }

private slots:
    void init()
    {
        QVERIFY(openEditor(false));
        pad1Msb()->setText(QStringLiteral("055"));
    }
    void cleanup() { closeEditor(); }

    void badTemplateFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");   // written unless the row makes its own file
        QTest::addColumn<QString>("message");
        const QByteArray syx = goldenTemplate();
        QByteArray otherCommand = syx;
        otherCommand[7] = 0x04;
        QTest::newRow("missing") << "absent.syx" << QByteArray() << "The file has mangled!";
        QTest::newRow("unreadable") << "folder.syx" << QByteArray() << "The file has mangled!";
        QTest::newRow("empty") << "empty.syx" << QByteArray()
                               << "\"empty.syx\" is not a template: it holds only 0 bytes. The panel is unchanged.";
        QTest::newRow("huge") << "huge.syx" << QByteArray()
                              << "\"huge.syx\" is not a template: it is far too large. The panel is unchanged.";
        QTest::newRow("truncated header") << "cut.syx" << syx.left(10)
                                          << "\"cut.syx\" is not a template: it holds only 10 bytes. The panel is unchanged.";
        QTest::newRow("body cut") << "cut.syx" << syx.left(100)
                                  << "\"cut.syx\" is not a template: it was cut off after 100 bytes. The panel is unchanged.";
        QTest::newRow("short, framed and ended") << "short.syx" << QByteArray::fromHex("F0002063000100030018000189010203040506F7")
                                                 << "\"short.syx\" is not a template: it holds 20 bytes; a template holds "
                                                    "162. The panel is unchanged.";
        QTest::newRow("song renamed") << "song.syx" << smallSong()
                                      << "\"song.syx\" is not a template: it does not start like one. The panel is unchanged.";
        QTest::newRow("other command") << "fw.syx" << otherCommand
                                       << "\"fw.syx\" is not a template: it does not start like one. The panel is unchanged.";
        QTest::newRow("noise") << "noise.syx" << QByteArray(162, '\x55')
                               << "\"noise.syx\" is not a template: it does not start like one. The panel is unchanged.";
        QTest::newRow("leaves the folder") << "../bin/t.syx" << QByteArray() << "The file has mangled!";
        QTest::newRow("pipe") << "pipe.syx" << QByteArray() << "The file has mangled!";
        QTest::newRow("endless device") << "zero.syx" << QByteArray() << "The file has mangled!";
    }
    void badTemplateFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = data.path(QStringLiteral("syx/")) + name;
        if (name == QStringLiteral("folder.syx")) {
            QVERIFY(QDir().mkpath(path));
        } else if (name == QStringLiteral("huge.syx")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(100 * 1024 * 1024));   // sparse
        } else if (name == QStringLiteral("../bin/t.syx")) {
            QFile file(data.path(QStringLiteral("bin/t.syx")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(goldenTemplate());
        } else if (name == QStringLiteral("pipe.syx")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (name == QStringLiteral("zero.syx")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        } else if (name != QStringLiteral("absent.syx")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        workspace->commands().loadTemplate(name);
        QVERIFY(!prompts->asked.isEmpty());
        QCOMPARE(prompts->asked.last().text, message);
        QCOMPARE(pad1Msb()->text(), QStringLiteral("055"));
        if (name == QStringLiteral("huge.syx"))
            QVERIFY(QFile::remove(path));
    }

    // ':' is a plain character on Linux: such a file is listed, loaded and sent, and a name
    // typed with one is saved. Names no command takes (a backslash) are not listed at all.
    void namesWithAColonWork()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QFile file(data.path(QStringLiteral("syx/live:set 1.syx")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(goldenTemplate());
        file.close();
        QFile odd(data.path(QStringLiteral("syx/back\\slash.syx")));
        QVERIFY(odd.open(QIODevice::WriteOnly));
        odd.write(goldenTemplate());
        odd.close();
        FileLibrary &library = workspace->library();
        library.showKind(FileKind::Template);
        QListWidget *files = library.fileList();
        QVERIFY(!files->findItems(QStringLiteral("live:set 1.syx"), Qt::MatchExactly).isEmpty());
        QVERIFY(files->findItems(QStringLiteral("back\\slash.syx"), Qt::MatchExactly).isEmpty());

        chooseFromMenu(QStringLiteral("live:set 1.syx"), Qt::Key_L);   // &Load
        QVERIFY(prompts->asked.isEmpty());
        QCOMPARE(pad1Msb()->text(), QStringLiteral("000"));   // the template's value

        prompts->queue(PromptService::Answer::No);
        chooseFromMenu(QStringLiteral("live:set 1.syx"), Qt::Key_S);   // &Send
        QCOMPARE(prompts->asked.size(), 1);
        QCOMPARE(prompts->asked.last().text, QStringLiteral("This file will be sent to midi device. Are you sure?\r\n"));

        prompts->queue(PromptService::Answer::Yes);   // "Save the current setting?"
        prompts->queue(PromptService::Answer::No);    // "Send the setting to Zorvik now?"
        ModalDriver::next([](QDialog *prompt) {
            auto *edit = prompt->findChild<QLineEdit *>(QStringLiteral("name"));
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("take:2"));
            QTest::mouseClick(prompt->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QTest::mouseClick(window->button(SkinLayout::Button::Save), Qt::LeftButton);
        QVERIFY(ModalDriver::idle());
        QCOMPARE(prompts->asked.size(), 3);
        QVERIFY(QFile::exists(data.path(QStringLiteral("syx/take:2.syx"))));
        QVERIFY(!files->findItems(QStringLiteral("take:2.syx"), Qt::MatchExactly).isEmpty());
    }
};

QTEST_MAIN(TestBadInputPanel)
#include "tst_BadInputPanel.moc"
