#include "gui/widgets/FilenamePrompt.h"
#include "gui/widgets/MessageBoxPrompts.h"
#include "support/FreshLibrary.h"
#include "support/ModalDriver.h"
#include "support/ScriptedPrompts.h"

#include <QGlyphRun>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextLayout>
#include <QFile>
#include <QLineEdit>
#include <QTest>

namespace {

void answerWith(const QString &name)
{
    ModalDriver::next([name](QDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("name"))->setText(name);
        dialog->accept();
    });
}

// The characters of text that the font, with the fonts the system falls back on, draws as the
// empty "missing" box.
QString missingGlyphs(const QString &text, const QFont &font)
{
    QString missing;
    for (const QChar c : text) {
        QTextLayout layout(QString(c), font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun &run : layout.glyphRuns())
            if (run.glyphIndexes().contains(0u))
                missing += c;
    }
    return missing;
}

} // namespace

class TestFilenamePrompt : public QObject
{
    Q_OBJECT

private:
    FreshLibrary data;

private slots:
    void initTestCase()
    {
        QVERIFY(data.isReady());
        QFile file(data.path(QStringLiteral("syx/live.syx")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void newNameIsAccepted()
    {
        ScriptedPrompts prompts;
        answerWith(QStringLiteral("abc"));
        QCOMPARE(FilenamePrompt::ask(prompts, nullptr, data.location(), DataPaths::Folder::Syx, QStringLiteral(".syx")),
                 std::optional<QString>(QStringLiteral("abc")));
        QVERIFY(prompts.asked.isEmpty());
    }

    void cancelGivesNothing()
    {
        ScriptedPrompts prompts;
        ModalDriver::next([](QDialog *dialog) { dialog->reject(); });
        QCOMPARE(FilenamePrompt::ask(prompts, nullptr, data.location(), DataPaths::Folder::Syx, QStringLiteral(".syx")),
                 std::nullopt);
    }

    // Names that would leave the folder take the empty-name path: a message, then a fresh prompt.
    void unsafeNamesAskAgain_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("parent") << QStringLiteral("../evil");
        QTest::newRow("absolute") << QStringLiteral("/tmp/evil");
        QTest::newRow("hidden") << QStringLiteral(".hidden");
    }
    void unsafeNamesAskAgain()
    {
        QFETCH(QString, name);
        ScriptedPrompts prompts;
        answerWith(name);
        QString shownAgain;
        ModalDriver::next([&shownAgain](QDialog *dialog) {
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("name"));
            shownAgain = edit->text();
            edit->setText(QStringLiteral("good"));
            dialog->accept();
        });
        const auto result = FilenamePrompt::ask(prompts, nullptr, data.location(),
                                                DataPaths::Folder::Syx, QStringLiteral(".syx"));
        QCOMPARE(result, std::optional<QString>(QStringLiteral("good")));
        // The prompt comes back with what was typed, not with the default name.
        QCOMPARE(shownAgain, name);
        QVERIFY(!prompts.asked.isEmpty());
        QCOMPARE(prompts.asked.first().text, QStringLiteral("Please enter the file name."));
        QCOMPARE(prompts.asked.first().caption, QStringLiteral("Zorvik Halden"));
    }

    // A name typed with its extension is taken without it, in any case of the letters; the
    // existing-file check then looks at the name the file really gets.
    void typedExtensionIsNotDoubled_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("name");
        QTest::newRow("crv") << "Linear.crv" << ".crv" << "Linear";
        QTest::newRow("syx upper case") << "abc.SYX" << ".syx" << "abc";
        QTest::newRow("other extension kept") << "abc.crv" << ".syx" << "abc.crv";
        QTest::newRow("twice typed") << "x.crv.crv" << ".crv" << "x.crv";
    }
    void typedExtensionIsNotDoubled()
    {
        QFETCH(QString, typed);
        QFETCH(QString, extension);
        QFETCH(QString, name);
        ScriptedPrompts prompts;
        answerWith(typed);
        const auto folder = extension == QStringLiteral(".crv") ? DataPaths::Folder::Curve : DataPaths::Folder::Syx;
        QCOMPARE(FilenamePrompt::ask(prompts, nullptr, data.location(), folder, extension),
                 std::optional<QString>(name));
        QVERIFY(prompts.asked.isEmpty());

        // "live.syx" exists: typing it with the extension asks before replacing it.
        prompts.queue(PromptService::Answer::Yes);
        answerWith(QStringLiteral("live.syx"));
        QCOMPARE(FilenamePrompt::ask(prompts, nullptr, data.location(), DataPaths::Folder::Syx, QStringLiteral(".syx")),
                 std::optional<QString>(QStringLiteral("live")));
        QCOMPARE(prompts.asked.size(), 1);
    }

    // The question's full-width question mark is kept where a font draws it, and written as '?'
    // where none does; never an empty box.
    void replaceQuestionShowsEveryCharacter()
    {
        MessageBoxPrompts boxes;
        answerWith(QStringLiteral("live"));
        QString shown;
        QString missing;
        ModalDriver::next([&shown, &missing](QDialog *dialog) {
            auto *label = dialog->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            shown = label->text();
            missing = missingGlyphs(shown, label->font());
            const QString folder = qEnvironmentVariable("ZORVIK_SCREENSHOTS");
            if (!folder.isEmpty()) {
                QTest::qWait(50);
                dialog->grab().save(folder + QStringLiteral("/replace-question.png"));
            }
            static_cast<QMessageBox *>(dialog)->button(QMessageBox::No)->click();
        });
        ModalDriver::next([](QDialog *dialog) { dialog->reject(); });   // the prompt again
        QCOMPARE(FilenamePrompt::ask(boxes, nullptr, data.location(), DataPaths::Folder::Syx, QStringLiteral(".syx")),
                 std::nullopt);
        QVERIFY2(missing.isEmpty(), qPrintable(shown));
        QVERIFY2(shown == QStringLiteral("The file have existed, Replace it\uFF1F")
                     || shown == QStringLiteral("The file have existed, Replace it?"),
                 qPrintable(shown));
    }

    void existingFileAsksToReplace()
    {
        ScriptedPrompts prompts;
        prompts.queue(PromptService::Answer::No);
        answerWith(QStringLiteral("live"));
        QString shownAgain;
        ModalDriver::next([&shownAgain](QDialog *dialog) {
            // The prompt comes back with the name that was not to replace the file.
            shownAgain = dialog->findChild<QLineEdit *>(QStringLiteral("name"))->text();
            dialog->reject();
        });
        QCOMPARE(FilenamePrompt::ask(prompts, nullptr, data.location(), DataPaths::Folder::Syx, QStringLiteral(".syx")),
                 std::nullopt);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(shownAgain, QStringLiteral("live"));
        QCOMPARE(prompts.asked.first().text, QStringLiteral("The file have existed, Replace it\uFF1F"));

        prompts.queue(PromptService::Answer::Yes);
        answerWith(QStringLiteral("live"));
        QCOMPARE(FilenamePrompt::ask(prompts, nullptr, data.location(), DataPaths::Folder::Syx, QStringLiteral(".syx")),
                 std::optional<QString>(QStringLiteral("live")));
        // Curves look in their own folder: no .syx question for a curve name.
        ScriptedPrompts curvePrompts;
        answerWith(QStringLiteral("live"));
        QCOMPARE(FilenamePrompt::ask(curvePrompts, nullptr, data.location(),
                                     DataPaths::Folder::Curve, QStringLiteral(".crv")),
                 std::optional<QString>(QStringLiteral("live")));
        QVERIFY(curvePrompts.asked.isEmpty());
    }
};

QTEST_MAIN(TestFilenamePrompt)
#include "tst_FilenamePrompt.moc"
