#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class InstrumentSimulator;

// zorvik-sim's commands, one a line: dump | note KEY VELOCITY | cc CH NUMBER VALUE | bend CH
// VALUE | status | fault NAME VALUE | quit. A command with a missing, bad or extra word does
// nothing and is answered with its usage and what was given.
class SimulatorCommands : public QObject
{
    Q_OBJECT

public:
    // `received` says how many whole messages the simulator's ports took in, for status.
    SimulatorCommands(InstrumentSimulator &simulator, std::function<qint64()> received, QObject *parent = nullptr);

    // Runs one line (without its newline). Its answer, one line without the newline, or empty
    // for a command that answers nothing (the simulator's messages speak for it) and a blank line.
    QString run(const QByteArray &line);

signals:
    void quitRequested();

private:
    InstrumentSimulator &engine;
    std::function<qint64()> receivedCount;
};
