#include "core/panel/NameLists.h"

namespace {

QStringList makeControllerNames()
{
    return {
    QStringLiteral("000 Bank Select"),
    QStringLiteral("001 Modulation wheel"),
    QStringLiteral("002 Breath controller"),
    QStringLiteral("003 Undefined"),
    QStringLiteral("004 Foot controller"),
    QStringLiteral("005 Portamento time"),
    QStringLiteral("006 Data Entry"),
    QStringLiteral("007 Channel Volume"),
    QStringLiteral("008 Balance"),
    QStringLiteral("009 Undefined"),
    QStringLiteral("010 Pan"),
    QStringLiteral("011 Expression"),
    QStringLiteral("012 Effect control 1"),
    QStringLiteral("013 Effect control 2"),
    QStringLiteral("014 Undefined"),
    QStringLiteral("015 Undefined"),
    QStringLiteral("016 General Controller #1"),
    QStringLiteral("017 General Controller #2"),
    QStringLiteral("018 General Controller #3"),
    QStringLiteral("019 General Controller #4"),
    QStringLiteral("020 Undefined"),
    QStringLiteral("021 Undefined"),
    QStringLiteral("022 Undefined"),
    QStringLiteral("023 Undefined"),
    QStringLiteral("024 Undefined"),
    QStringLiteral("025 Undefined"),
    QStringLiteral("026 Undefined"),
    QStringLiteral("027 Undefined"),
    QStringLiteral("028 Undefined"),
    QStringLiteral("029 Undefined"),
    QStringLiteral("030 Undefined"),
    QStringLiteral("031 Undefined"),
    QStringLiteral("032 Bank Select"),
    QStringLiteral("033 Modulation wheel"),
    QStringLiteral("034 Breath controller"),
    QStringLiteral("035 Undefined"),
    QStringLiteral("036 Foot controller"),
    QStringLiteral("037 Portamento time"),
    QStringLiteral("038 Data entry"),
    QStringLiteral("039 Channel Volume"),
    QStringLiteral("040 Balance"),
    QStringLiteral("041 Undefined"),
    QStringLiteral("042 Pan"),
    QStringLiteral("043 Expression"),
    QStringLiteral("044 Effect control 1"),
    QStringLiteral("045 Effect control 2"),
    QStringLiteral("046 Undefined"),
    QStringLiteral("047 Undefined"),
    QStringLiteral("048 General Controller #1"),
    QStringLiteral("049 General Controller #2"),
    QStringLiteral("050 General Controller #3"),
    QStringLiteral("051 General Controller #4"),
    QStringLiteral("052 Undefined"),
    QStringLiteral("053 Undefined"),
    QStringLiteral("054 Undefined"),
    QStringLiteral("055 Undefined"),
    QStringLiteral("056 Undefined"),
    QStringLiteral("057 Undefined"),
    QStringLiteral("058 Undefined"),
    QStringLiteral("059 Undefined"),
    QStringLiteral("060 Undefined"),
    QStringLiteral("061 Undefined"),
    QStringLiteral("062 Undefined"),
    QStringLiteral("063 Undefined"),
    QStringLiteral("064 Damper pedal(Sustain)"),
    QStringLiteral("065 Portamento pedal"),
    QStringLiteral("066 Sustenuto pedal"),
    QStringLiteral("067 Soft pedal"),
    QStringLiteral("068 Legato Footswitch"),
    QStringLiteral("069 Hold 2"),
    QStringLiteral("070 Sound Variation"),
    QStringLiteral("071 Timbre/Harmonic"),
    QStringLiteral("072 Release Time"),
    QStringLiteral("073 Attack Time"),
    QStringLiteral("074 Brightness"),
    QStringLiteral("075 Decay Time"),
    QStringLiteral("076 Vibrato Rate"),
    QStringLiteral("077 Vibrato Depth"),
    QStringLiteral("078 Vibrato Delay"),
    QStringLiteral("079 Sound Cont. 10"),
    QStringLiteral("080 General Controller #5"),
    QStringLiteral("081 General Controller #6"),
    QStringLiteral("082 General Controller #7"),
    QStringLiteral("083 General Controller #8"),
    QStringLiteral("084 Portamento Control"),
    QStringLiteral("085 Undefined"),
    QStringLiteral("086 Undefined"),
    QStringLiteral("087 Undefined"),
    QStringLiteral("088 Undefined"),
    QStringLiteral("089 Undefined"),
    QStringLiteral("090 Undefined"),
    QStringLiteral("091 Reverb Send Level"),
    QStringLiteral("092 Tremolo Depth"),
    QStringLiteral("093 Chorus Send Level"),
    QStringLiteral("094 Celeste/Detune Depth"),
    QStringLiteral("095 Phaser Depth"),
    QStringLiteral("096 Data entry +1"),
    QStringLiteral("097 Data entry -1"),
    QStringLiteral("098 NRPN LSB"),
    QStringLiteral("099 NRPN MSB"),
    QStringLiteral("100 RPN LSB"),
    QStringLiteral("101 RPN MSB"),
    QStringLiteral("102 Undefined"),
    QStringLiteral("103 Undefined"),
    QStringLiteral("104 Undefined"),
    QStringLiteral("105 Undefined"),
    QStringLiteral("106 Undefined"),
    QStringLiteral("107 Undefined"),
    QStringLiteral("108 Undefined"),
    QStringLiteral("109 Undefined"),
    QStringLiteral("110 Undefined"),
    QStringLiteral("111 Undefined"),
    QStringLiteral("112 Undefined"),
    QStringLiteral("113 Undefined"),
    QStringLiteral("114 Undefined"),
    QStringLiteral("115 Undefined"),
    QStringLiteral("116 Undefined"),
    QStringLiteral("117 Undefined"),
    QStringLiteral("118 Undefined"),
    QStringLiteral("119 Undefined"),
    QStringLiteral("120 All Soumd Off"),
    QStringLiteral("121 Reset All Controllers"),
    QStringLiteral("122 Local control on/off"),
    QStringLiteral("123 All notes off"),
    QStringLiteral("124 Omni mode off"),
    QStringLiteral("125 Omni mode on"),
    QStringLiteral("126 Poly mode off"),
    QStringLiteral("127 Poly mode on")    };
}

QStringList makeNoteNames()
{
    static const char *const letters[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    QStringList names;
    names.reserve(128);
    for (int n = 0; n < 128; ++n) {
        names.append(QStringLiteral("%1 %2%3")
                         .arg(n, 3, 10, QLatin1Char('0'))
                         .arg(QLatin1String(letters[n % 12]))
                         .arg(n / 12 - 2));
    }
    return names;
}

} // namespace

const QStringList &NameLists::controllers()
{
    static const QStringList names = makeControllerNames();
    return names;
}

const QStringList &NameLists::notes()
{
    static const QStringList names = makeNoteNames();
    return names;
}

QString NameLists::entryNumber(const QString &entry)
{
    return entry.left(3);
}

QString NameLists::entryName(const QString &entry)
{
    return entry.mid(4);
}
