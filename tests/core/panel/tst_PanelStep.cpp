#include "core/panel/PanelState.h"
#include "core/panel/PanelStep.h"

#include <QTest>

using Field = PanelSettings::Field;
using Change = PanelState::Change;
using Kind = PanelStep::Kind;

namespace {

// The panel at start: the default box texts, the Channel box at "01", nothing marked.
PanelState startState()
{
    PanelState state;
    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f)
            state.setBoxText(slot, static_cast<Field>(f), PanelSettings::defaultBoxText(slot, static_cast<Field>(f)));
    }
    state.setChannelText(QStringLiteral("01"));
    state.setRecords(PanelSettings().recordBlock());
    return state;
}

} // namespace

class TestPanelStep : public QObject
{
    Q_OBJECT

private slots:
    void texts_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, Kind kind, int slot, Field field, const char *subject, const char *text) {
            QTest::newRow(name) << int(kind) << slot << int(field) << QString::fromUtf8(subject)
                                << QString::fromUtf8(text);
        };
        row("typed", Kind::Edit, PanelSettings::Knob1 + 2, Field::Msb, "", "Knob 3 MSB");
        row("pad channel", Kind::Edit, PanelSettings::Pad1 + 7, Field::Channel, "", "Pad 8 CH");
        row("pedal cc", Kind::Edit, PanelSettings::Pedal, Field::Label, "", "Pedal CC");
        row("range", Kind::Edit, PanelSettings::JoystickDown, Field::RangeLow, "", "Joystick Down RANGE low");
        row("channel box", Kind::Edit, PanelState::channelBox, Field::Channel, "", "Channel box");
        row("assignment", Kind::Assignment, PanelSettings::Pad1 + 2, Field::Number, "064 Damper pedal(Sustain)",
            "Assignment of 064 Damper pedal(Sustain) to Pad 3");
        row("joystick", Kind::Assignment, PanelSettings::JoystickUp, Field::Number, "011 Expression",
            "Assignment of 011 Expression to Joystick Up");
        row("default", Kind::Default, PanelState::channelBox, Field::Channel, "", "Default");
        row("load", Kind::Load, PanelState::channelBox, Field::Channel, "live.syx", "Load of live.syx");
        row("receive", Kind::Receive, PanelState::channelBox, Field::Channel, "The received data",
            "Load of the received dump");
    }
    void texts()
    {
        QFETCH(int, kind);
        QFETCH(int, slot);
        QFETCH(int, field);
        QFETCH(QString, subject);
        QFETCH(QString, text);
        const PanelStep step(static_cast<Kind>(kind), {slot, static_cast<Field>(field), subject}, startState(),
                             startState());
        QCOMPARE(step.text(), text);
    }

    void changesNameWhatTheUserSees()
    {
        const PanelState before = startState();

        // A typed value: one box.
        PanelState typed = before;
        typed.setBoxText(PanelSettings::Knob1 + 2, Field::Msb, QStringLiteral("042"));
        const PanelStep edit = PanelStep::edit(PanelSettings::Knob1 + 2, Field::Msb, before, typed);
        QVERIFY(edit.changesAnything());
        QCOMPARE(edit.changes(), QList<Change>({{PanelSettings::Knob1 + 2, Field::Msb, "000", "042"}}));

        // A drop: the CH and CC boxes and the assignment no box shows, in that order.
        PanelSettings assigned;
        assigned.setAssignment(PanelSettings::Pad1 + 2, QStringLiteral("064 Damper pedal(Sustain)"));
        PanelState dropped = before;
        dropped.setBoxText(PanelSettings::Pad1 + 2, Field::Channel, QStringLiteral("005"));
        dropped.setBoxText(PanelSettings::Pad1 + 2, Field::Label, QStringLiteral("064"));
        dropped.setRecords(assigned.recordBlock());
        auto marks = dropped.marks();
        marks[PanelSettings::Pad1 + 2] = true;
        dropped.setMarks(marks);
        dropped.setChannelText(QStringLiteral("05"));
        const PanelStep drop =
            PanelStep::assignment(PanelSettings::Pad1 + 2, QStringLiteral("064 Damper pedal(Sustain)"), before, dropped);
        QCOMPARE(drop.changes(), QList<Change>({{PanelSettings::Pad1 + 2, Field::Channel, "001", "005"},
                                                {PanelSettings::Pad1 + 2, Field::Label, "F#2", "064"},
                                                {PanelSettings::Pad1 + 2, Field::Number, "054", "064"},
                                                {PanelState::channelBox, Field::Channel, "01", "05"}}));
        QCOMPARE(dropped.number(PanelSettings::Pad1 + 2), QStringLiteral("064"));
        QCOMPARE(before.number(PanelSettings::JoystickLeft), QStringLiteral("-PB"));

        // Default from a panel whose texts already are the defaults: only the marks go, and that
        // is a change the user sees (the pictures), though no text changes.
        PanelState onlyMarked = before;
        onlyMarked.setMarks(marks);
        const PanelStep reset(Kind::Default, {}, onlyMarked, before);
        QVERIFY(reset.changesAnything());
        QVERIFY(reset.changes().isEmpty());

        // Record fields that only follow the boxes at the next save are no change of their own;
        // a burst turned back to where it started is none either.
        PanelSettings stored;
        stored.storeField(PanelSettings::Knob1, Field::Msb, QStringLiteral("099"));
        PanelState sameLook = before;
        sameLook.setRecords(stored.recordBlock());
        QVERIFY(!PanelStep::edit(PanelSettings::Knob1, Field::Msb, before, sameLook).changesAnything());
        PanelStep burst = PanelStep::edit(PanelSettings::Knob1 + 2, Field::Msb, before, typed);
        burst.extendTo(before);
        QVERIFY(!burst.changesAnything());
    }

    // Undo puts the records back whole, so the next save writes the bytes it wrote before,
    // even where a box holds too little to be copied into its field.
    void recordsGoBackWhole()
    {
        PanelSettings settings;
        settings.storeField(PanelSettings::Pad1, Field::Label, QStringLiteral("064"));
        settings.setAssignment(PanelSettings::Pad1, QStringLiteral("064"));
        const QByteArray saved = settings.recordBlock();
        const QByteArray template1 = settings.buildTemplateSysEx();
        QCOMPARE(saved.size(), PanelSettings::slotCount * PanelSettings::recordSize);

        QVERIFY(settings.applyTemplateSysEx(PanelSettings().buildTemplateSysEx()));
        QVERIFY(settings.buildTemplateSysEx() != template1);
        settings.setRecordBlock(saved);
        QCOMPARE(settings.buildTemplateSysEx(), template1);

        // A block of another size is no set of records.
        settings.setRecordBlock(saved.left(100));
        QCOMPARE(settings.recordBlock(), saved);
    }
};

QTEST_APPLESS_MAIN(TestPanelStep)
#include "tst_PanelStep.moc"
