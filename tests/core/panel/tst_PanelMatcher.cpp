#include "core/panel/PanelMatcher.h"
#include "core/panel/PanelState.h"

#include <QTest>

using Field = PanelSettings::Field;

namespace {

int slotNamed(const QString &name)
{
    static const QHash<QString, int> names{{"up", PanelSettings::JoystickUp},       {"down", PanelSettings::JoystickDown},
                                           {"left", PanelSettings::JoystickLeft},   {"right", PanelSettings::JoystickRight},
                                           {"pedal", PanelSettings::Pedal}};
    if (name.startsWith(QLatin1String("knob")))
        return PanelSettings::Knob1 + name.mid(4).toInt() - 1;
    if (name.startsWith(QLatin1String("pad")))
        return PanelSettings::Pad1 + name.mid(3).toInt() - 1;
    return names.value(name, -1);
}

// The panel at start (default boxes and assignments), then the edits: "pad1 cc 036" puts a text
// into a box (ch, cc, high, low), "pad1 number 036" assigns a number, as a drop does.
PanelState panelWith(const QStringList &edits)
{
    static const QHash<QString, Field> fields{{"ch", Field::Channel},
                                              {"cc", Field::Label},
                                              {"high", Field::RangeHigh},
                                              {"low", Field::RangeLow}};
    PanelSettings settings;
    PanelState state;
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f)
            state.setBoxText(slot, static_cast<Field>(f), PanelSettings::defaultBoxText(slot, static_cast<Field>(f)));
    }
    for (const QString &edit : edits) {
        const QStringList words = edit.split(' ');
        const int slot = slotNamed(words.at(0));
        if (words.at(1) == QLatin1String("number"))
            settings.setAssignment(slot, words.at(2));
        else
            state.setBoxText(slot, fields.value(words.at(1)), words.at(2));
    }
    state.setRecords(settings.recordBlock());
    return state;
}

// "2=100 16=64": slot 2 shows 100, slot 16 shows 64.
QList<PanelMatcher::Hit> hitsFrom(const QString &text)
{
    QList<PanelMatcher::Hit> hits;
    for (const QString &pair : text.split(' ', Qt::SkipEmptyParts))
        hits.append({pair.section('=', 0, 0).toInt(), pair.section('=', 1, 1).toInt()});
    return hits;
}

QString textOf(const QList<PanelMatcher::Hit> &hits)
{
    QStringList pairs;
    for (const auto &hit : hits)
        pairs << QStringLiteral("%1=%2").arg(hit.slot).arg(hit.value);
    return pairs.join(' ');
}

} // namespace

class TestPanelMatcher : public QObject
{
    Q_OBJECT

private slots:
    // Slots: knobs 0-7, pads 8-15, joystick up 16, down 17, left 18, right 19, pedal 20. At
    // start the knobs send controllers 73 75 72 74 71 76 77 78 and the pads notes 48 52 54 58 55
    // 57 60 61, all on channel 1; Up sends controller 1 (range 127-0), Down 74 (127-64), Left and
    // Right "-PB", the pedal controller 64.
    void messagesLightTheirControls_data()
    {
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("data1");
        QTest::addColumn<int>("data2");
        QTest::addColumn<QString>("hits");
        const auto row = [](const char *name, QStringList edits, int status, int data1, int data2, const char *hits) {
            QTest::newRow(name) << edits << status << data1 << data2 << QString::fromLatin1(hits);
        };
        row("knob 3 controller", {}, 0xB0, 72, 100, "2=100");
        row("knob at zero", {}, 0xB0, 72, 0, "2=0");
        row("wrong channel", {}, 0xB1, 72, 100, "");
        row("CH box 016 is status B", {"knob1 ch 016"}, 0xBF, 73, 5, "0=5");
        row("CH box shows 5", {"knob1 ch 5"}, 0xB4, 73, 5, "0=5");
        row("CH box outside 1-16", {"knob1 ch 017"}, 0xB0, 73, 5, "");
        row("CH box 000", {"knob1 ch 000"}, 0xB0, 73, 5, "");
        row("pad note-on", {}, 0x90, 60, 99, "14=99");
        row("pad note-on velocity 0", {}, 0x90, 60, 0, "");
        row("pad note-off", {}, 0x80, 60, 64, "");
        row("pad on another channel", {}, 0x91, 60, 99, "");
        row("pad on its own channel", {"pad7 ch 010"}, 0x99, 60, 99, "14=99");
        // A pad whose CC box was typed to digits sends its number as a controller, as a save does.
        row("pad typed to controller", {"pad1 cc 036"}, 0xB0, 48, 77, "8=77");
        row("typed pad leaves its note", {"pad1 cc 036"}, 0x90, 48, 77, "");
        row("pad dropped a controller", {"pad3 cc 064", "pad3 number 064", "pad3 ch 005"}, 0xB4, 64, 1, "10=1 20=1");
        row("joystick up on any channel", {}, 0xB5, 1, 90, "16=90");
        row("down inside its zone", {}, 0xB0, 74, 127, "3=127 17=127");
        row("down below its zone", {}, 0xB0, 74, 30, "3=30");
        row("down at the start of its zone", {}, 0xB2, 74, 64, "17=0");
        row("down halfway", {}, 0xB2, 74, 96, "17=65");
        // Up and Down on one controller: 64-127 up, 0-63 down, resting where they meet.
        const QStringList shared{"up high 127", "up low 064", "down cc 001", "down number 001", "down high 063",
                                 "down low 000"};
        row("shared controller, full up", shared, 0xB0, 1, 127, "16=127");
        row("shared controller, rest above", shared, 0xB0, 1, 64, "16=0");
        row("shared controller, rest below", shared, 0xB0, 1, 63, "17=0");
        row("shared controller, full down", shared, 0xB0, 1, 0, "17=127");
        row("bend all the way down", {}, 0xE0, 0x00, 0x00, "18=127");
        row("bend halfway down", {}, 0xE3, 0x00, 0x20, "18=64");
        row("bend all the way up", {}, 0xE0, 0x7F, 0x7F, "19=127");
        row("bend one step up", {}, 0xE0, 0x01, 0x40, "19=0");
        row("bend at the centre", {}, 0xE0, 0x00, 0x40, "18=0 19=0");
        row("bend without a -PB direction below", {"left cc 074", "left number 074"}, 0xE0, 0x00, 0x00, "");
        row("controller 38 is not -PB", {}, 0xB0, 38, 10, "");
        row("pedal controller", {}, 0xB9, 64, 127, "20=127");
        row("pedal up", {}, 0xB0, 64, 0, "20=0");
        row("pedal note with pad 7", {"pedal cc C3", "pedal number 060"}, 0x90, 60, 100, "14=100 20=100");
        row("two knobs on one controller", {"knob2 number 073"}, 0xB0, 73, 10, "0=10 1=10");
        row("controller nobody sends", {}, 0xB0, 10, 10, "");
        row("program change", {}, 0xC0, 72, 0, "");
        row("aftertouch", {}, 0xA0, 60, 10, "");
        row("clock", {}, 0xF8, 0, 0, "");
    }
    void messagesLightTheirControls()
    {
        QFETCH(QStringList, edits);
        QFETCH(int, status);
        QFETCH(int, data1);
        QFETCH(int, data2);
        QFETCH(QString, hits);
        const PanelMatcher matcher(panelWith(edits));
        QCOMPARE(textOf(matcher.match(quint8(status), quint8(data1), quint8(data2))), textOf(hitsFrom(hits)));
    }

    // A box that holds no number assigns nothing and never matches.
    void unreadableBoxesAssignNothing()
    {
        const PanelMatcher matcher(panelWith({"knob1 ch ", "pad1 ch abc", "pad2 number 200"}));
        QCOMPARE(matcher.assignment(PanelSettings::Knob1).sends, PanelMatcher::Sends::Nothing);
        QCOMPARE(matcher.assignment(PanelSettings::Pad1).sends, PanelMatcher::Sends::Nothing);
        QCOMPARE(matcher.assignment(PanelSettings::Pad1 + 1).sends, PanelMatcher::Sends::Nothing);
        QCOMPARE(matcher.assignment(PanelSettings::JoystickLeft).sends, PanelMatcher::Sends::PitchBend);
        QCOMPARE(matcher.assignment(PanelSettings::Pedal).channel, PanelMatcher::anyChannel);
        for (int status : {0x80, 0x90, 0xB0, 0xE0})
            for (int data : {0, 48, 73, 127})
                for (const auto &hit : matcher.match(quint8(status), quint8(data), 100))
                    QVERIFY(hit.slot != PanelSettings::Knob1 && hit.slot != PanelSettings::Pad1
                            && hit.slot != PanelSettings::Pad1 + 1);
    }
};

QTEST_APPLESS_MAIN(TestPanelMatcher)
#include "tst_PanelMatcher.moc"
