#include "core/panel/NameLists.h"
#include "core/panel/PanelSettings.h"
#include "core/protocol/SevenBitCodec.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using TestFiles::goldenTemplate;

using Field = PanelSettings::Field;

namespace {

const char *const kDefaultRawHex = "00 FF 00 01 49 00 00 7F 00 01 4B 00 00 7F 00 01 48 00 00 7F 00 01 4A 00 00 7F 00 01 47 00 00 7F 00 01 4C 00 00 7F 00 01 4D 00 00 7F 00 01 4E 00 00 7F 00 01 30 00 00 7F 00 01 34 00 00 7F 00 01 36 00 00 7F 00 01 3A 00 00 7F 00 01 37 00 00 7F 00 01 39 00 00 7F 00 01 3C 00 00 7F 00 01 3D 00 00 7F 00 B3 01 00 00 7F 00 B3 4A 00 00 7F 40 B3 26 00 00 3F 00 B3 26 00 00 7F 40 B3 40 00 00 7F 00";

} // namespace

class TestPanelSettings : public QObject
{
    Q_OBJECT

private slots:
    void defaultsBuildTheFactoryTemplate()
    {
        PanelSettings settings;
        QCOMPARE(settings.buildTemplateRaw().toHex(' ').toUpper(), QByteArray(kDefaultRawHex));
        const QByteArray golden = goldenTemplate();
        QCOMPARE(golden.size(), PanelSettings::templateSysExSize);
        QCOMPARE(settings.buildTemplateSysEx(), golden);
    }

    void parseThenBuildIsIdentity()
    {
        PanelSettings settings;
        QVERIFY(settings.applyTemplateSysEx(goldenTemplate()));
        QCOMPARE(settings.buildTemplateSysEx(), goldenTemplate());
        // The joystick and pedal channel comes back as the byte's digits, not "---".
        QCOMPARE(settings.fieldText(PanelSettings::JoystickUp, Field::Channel), QStringLiteral("179"));
        QCOMPARE(settings.fieldText(PanelSettings::JoystickLeft, Field::Number), QStringLiteral("038"));
        QCOMPARE(settings.fieldText(PanelSettings::Pad1, Field::Label), QStringLiteral("C2"));
        QCOMPARE(settings.fieldText(PanelSettings::Pad1 + 3, Field::Label), QStringLiteral("A#2"));
        QCOMPARE(settings.fieldText(PanelSettings::Knob1, Field::Label), QStringLiteral("073"));

        // Random templates survive a parse and a build byte for byte (all but byte 0 of the raw
        // image, which the template always sends as 0, and the flag bits the labels recompute).
        auto *random = QRandomGenerator::global();
        for (int round = 0; round < 200; ++round) {
            QByteArray raw(PanelSettings::templateRawSize, Qt::Uninitialized);
            for (auto &c : raw)
                c = static_cast<char>(random->bounded(128));
            raw[0] = 0;
            raw[2] = random->bounded(2) ? 0x08 : 0x00;
            raw[1] = static_cast<char>(random->bounded(256));
            QByteArray message = goldenTemplate().left(13) + SevenBitCodec::Pack(raw) + QByteArray(1, '\xF7');
            PanelSettings parsed;
            QVERIFY(parsed.applyTemplateSysEx(message));
            QCOMPARE(parsed.buildTemplateSysEx(), message);
        }
    }

    void copyingRules()
    {
        PanelSettings settings;
        settings.storeField(PanelSettings::Knob1, Field::Msb, QStringLiteral("7"));
        QCOMPARE(settings.fieldText(PanelSettings::Knob1, Field::Msb), QStringLiteral("000"));
        settings.storeField(PanelSettings::Knob1, Field::Msb, QStringLiteral("77"));
        QCOMPARE(settings.fieldText(PanelSettings::Knob1, Field::Msb), QStringLiteral("779"));
        QCOMPARE(PanelSettings::digitsToByte("779"), 0x0B);
        settings.storeField(PanelSettings::Knob1, Field::Msb, QStringLiteral("12345"));
        QCOMPARE(settings.fieldText(PanelSettings::Knob1, Field::Msb), QStringLiteral("123"));
        settings.storeField(PanelSettings::Pad1, Field::Label, QStringLiteral("C3"));
        QCOMPARE(settings.record(PanelSettings::Pad1).mid(3, 4), QByteArray("C399"));
        QCOMPARE(settings.fieldText(PanelSettings::Pad1, Field::Label), QStringLiteral("C3"));
    }

    void labelsEndingInNineSurvive_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text : {"079", "119", "009", "064", "C3", "C#3", "A#-1", "C-2", "-PB", "G8", "1234"})
            QTest::newRow(text) << QString::fromLatin1(text);
    }
    void labelsEndingInNineSurvive()
    {
        QFETCH(QString, text);
        PanelSettings settings;
        settings.storeField(PanelSettings::Knob1 + 2, Field::Label, text);
        QCOMPARE(settings.fieldText(PanelSettings::Knob1 + 2, Field::Label), text);
    }

    void conversions()
    {
        QCOMPARE(PanelSettings::digitsToByte("000"), 0);
        QCOMPARE(PanelSettings::digitsToByte("255"), 255);
        QCOMPARE(PanelSettings::digitsToByte("---"), 0xB3);
        QCOMPARE(PanelSettings::digitsToByte("-PB"), 0x26);
        QCOMPARE(PanelSettings::digitsToByte("999"), 0xE7);
        char digits[3];
        PanelSettings::byteToDigits(0xB3, digits);
        QCOMPARE(QByteArray(digits, 3), QByteArray("179"));
    }

    void padFlagsFollowTheLabels()
    {
        PanelSettings settings;
        const int pad3 = PanelSettings::Pad1 + 2;
        settings.storeField(pad3, Field::Label, QStringLiteral("064"));
        QCOMPARE(static_cast<unsigned char>(settings.buildTemplateRaw().at(1)), 0xDF);
        settings.storeField(pad3, Field::Label, QStringLiteral("C#3"));
        QCOMPARE(static_cast<unsigned char>(settings.buildTemplateRaw().at(1)), 0xFF);
        settings.storeField(pad3, Field::Label, QStringLiteral("-PB"));
        QCOMPARE(static_cast<unsigned char>(settings.buildTemplateRaw().at(1)), 0xDF);
        settings.storeField(PanelSettings::Pedal, Field::Label, QStringLiteral("C3"));
        QCOMPARE(static_cast<unsigned char>(settings.buildTemplateRaw().at(2)), 0x08);
    }

    void parsedPadLabelsFollowTheFlag()
    {
        PanelSettings source;
        const int pad3 = PanelSettings::Pad1 + 2;
        source.setAssignment(pad3, QStringLiteral("060 C3"));
        source.storeField(pad3, Field::Label, QStringLiteral("C3"));
        PanelSettings parsed;
        parsed.applyTemplateSysEx(source.buildTemplateSysEx());
        QCOMPARE(parsed.fieldText(pad3, Field::Label), QStringLiteral("C3"));

        source.storeField(pad3, Field::Label, QStringLiteral("060"));
        parsed.applyTemplateSysEx(source.buildTemplateSysEx());
        QCOMPARE(parsed.fieldText(pad3, Field::Label), QStringLiteral("060"));

        // A flagged number beyond the note range shows its three digits.
        source.storeField(pad3, Field::Label, QStringLiteral("C3"));
        source.setAssignment(pad3, QStringLiteral("200"));
        parsed.applyTemplateSysEx(source.buildTemplateSysEx());
        QCOMPARE(parsed.fieldText(pad3, Field::Label), QStringLiteral("200"));
    }

    void shortMessages()
    {
        PanelSettings settings;
        const QByteArray before = settings.buildTemplateSysEx();
        QVERIFY(!settings.applyTemplateSysEx(before.left(13)));
        QCOMPARE(settings.buildTemplateSysEx(), before);

        // A truncated body rewrites what it holds; the rest keeps the last template's bytes.
        PanelSettings other;
        other.storeField(PanelSettings::Pedal, Field::Msb, QStringLiteral("100"));
        other.storeField(PanelSettings::Knob1, Field::Msb, QStringLiteral("099"));
        QByteArray message = other.buildTemplateSysEx();
        QByteArray truncated = message.left(13 + 16) + QByteArray(1, '\xF7');   // 14 raw bytes
        QVERIFY(settings.applyTemplateSysEx(truncated));
        QCOMPARE(settings.fieldText(PanelSettings::Knob1, Field::Msb), QStringLiteral("099"));
        QCOMPARE(settings.fieldText(PanelSettings::Pedal, Field::Msb), QStringLiteral("000"));

        // Bytes beyond a full template are ignored.
        QByteArray longer = message;
        longer.insert(161, QByteArray(40, '\x11'));
        QVERIFY(settings.applyTemplateSysEx(longer));
        QCOMPARE(settings.fieldText(PanelSettings::Pedal, Field::Msb), QStringLiteral("100"));
    }

    void nameLists()
    {
        QCOMPARE(NameLists::controllers().size(), 128);
        QCOMPARE(NameLists::notes().size(), 128);
        QCOMPARE(NameLists::notes().at(0), QStringLiteral("000 C-2"));
        QCOMPARE(NameLists::notes().at(60), QStringLiteral("060 C3"));
        QCOMPARE(NameLists::notes().at(127), QStringLiteral("127 G8"));
        QStringList sorted = NameLists::notes();
        sorted.sort();
        QCOMPARE(sorted, NameLists::notes());
        NoteNameTable table;
        table.build(NameLists::notes());
        QCOMPARE(QByteArray(table.entry(60).data(), 4), QByteArray("C399"));
        QCOMPARE(QByteArray(table.entry(1).data(), 4), QByteArray("C#-2"));
    }
};

QTEST_APPLESS_MAIN(TestPanelSettings)
#include "tst_PanelSettings.moc"
