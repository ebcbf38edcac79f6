#include "core/midi/InstrumentFinder.h"

#include <QRegularExpression>

bool InstrumentFinder::isInstrument(const QString &portName)
{
    return portName.contains(QLatin1String("Zorvik"), Qt::CaseInsensitive);
}

QString InstrumentFinder::deviceOf(const QString &portName)
{
    static const QRegularExpression address(QStringLiteral(" \\d+:\\d+$"));
    static const QRegularExpression renamedClient(QStringLiteral("^([^:]*)-\\d\\d:"));
    QString name = portName;
    name.remove(address);
    name.replace(renamedClient, QStringLiteral("\\1:"));
    return name;
}

InstrumentFinder::Choice InstrumentFinder::find(const QList<MidiSystem::Device> &outputs,
                                                const QList<MidiSystem::Device> &inputs)
{
    QList<MidiSystem::Device> outs;
    QList<MidiSystem::Device> ins;
    for (const auto &device : outputs)
        if (!device.id.isBuiltIn() && isInstrument(device.name))
            outs.append(device);
    for (const auto &device : inputs)
        if (!device.id.isBuiltIn() && isInstrument(device.name))
            ins.append(device);

    Choice choice;
    // Pairs in the order of the outputs; each input serves one pair.
    QList<bool> taken(ins.size(), false);
    for (const auto &out : outs) {
        const QString device = deviceOf(out.name);
        for (qsizetype i = 0; i < ins.size(); ++i) {
            if (taken.at(i) || deviceOf(ins.at(i).name) != device)
                continue;
            taken[i] = true;
            if (++choice.instruments == 1) {
                choice.output = out.id;
                choice.outputName = out.name;
                choice.input = ins.at(i).id;
                choice.inputName = ins.at(i).name;
            }
            break;
        }
    }
    if (choice.instruments > 0)
        return choice;
    // No device with both: what there is, each side on its own.
    if (!outs.isEmpty()) {
        choice.output = outs.first().id;
        choice.outputName = outs.first().name;
    }
    if (!ins.isEmpty()) {
        choice.input = ins.first().id;
        choice.inputName = ins.first().name;
    }
    return choice;
}

QString InstrumentFinder::choiceNote(const Choice &choice, const QString &how)
{
    if (choice.instruments < 2)
        return {};
    return QStringLiteral("%1 instruments found; using %2 (MIDI Out) and %3 (MIDI In); %4")
        .arg(choice.instruments)
        .arg(choice.outputName, choice.inputName, how);
}
