#include "cli/CommandOutput.h"

#include "cli/ControlCommands.h"
#include "core/midi/MidiPortBackend.h"
#include "core/midi/MidiSystem.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

void CommandOutput::fail(const QString &reason)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(program()), qPrintable(reason));
}

int CommandOutput::finish()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return ControlCommands::Done;
    const int error = errno;
    std::clearerr(stdout);
    fail(QStringLiteral("cannot write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
    return ControlCommands::SaveFailed;
}

int CommandOutput::summarize(bool quiet, const QString &line)
{
    if (quiet)
        return ControlCommands::Done;
    std::printf("%s\n", qPrintable(line));
    return finish();
}

int CommandOutput::deviceError(MidiSystem &midi)
{
    const QString why = midi.systemPorts().problem();
    if (!why.isEmpty())
        fail(why);
    return ControlCommands::DeviceError;
}

QString CommandOutput::seconds(const QElapsedTimer &clock)
{
    return QStringLiteral("%1 s").arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1);
}

QString CommandOutput::shown(const QString &name)
{
    const bool plain = std::none_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    if (plain)
        return name;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : name) {
        if (c == QLatin1Char('\n'))
            quoted += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            quoted += QStringLiteral("\\t");
        else if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            quoted += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}
