#include "devices/sim/SimulatorConsole.h"

#include "devices/sim/VirtualPortSimulator.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

void SimulatorConsole::holdStandardInput()
{
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
        ::open("/dev/null", O_RDONLY);
}

SimulatorConsole::SimulatorConsole(VirtualPortSimulator &sim, bool quiet, QObject *parent)
    : QObject(parent), out(stdout), chunk(64 * 1024, Qt::Uninitialized),
      commands(sim.simulator(), [&sim] { return sim.receivedCount(); })
{
    if (!quiet) {
        connect(&sim, &VirtualPortSimulator::received, this, [this](const QByteArray &m) {
            say(QStringLiteral("recv ") + QString::fromLatin1(m.toHex(' ').toUpper()));
        });
        connect(&sim, &VirtualPortSimulator::sent, this, [this](const QByteArray &m) {
            say(QStringLiteral("sent ") + QString::fromLatin1(m.toHex(' ').toUpper()));
        });
        connect(&sim.simulator(), &InstrumentSimulator::happened, this, [this](const QString &text) {
            say(QStringLiteral("log ") + text);
        });
    }
    connect(&lines, &CommandLineSplitter::line, this, [this](const QByteArray &line) {
        if (const QString answer = commands.run(line); !answer.isEmpty())
            say(answer);
    });
    connect(&lines, &CommandLineSplitter::tooLong, this, [this] {
        say(QStringLiteral("error: line too long (more than %1 bytes); it is dropped").arg(CommandLineSplitter::maxLine));
    });
    connect(&commands, &SimulatorCommands::quitRequested, this, &SimulatorConsole::quitRequested);
}

void SimulatorConsole::start()
{
    // A background job that reads its terminal gets an error instead of being stopped.
    std::signal(SIGTTIN, SIG_IGN);
    input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(input, &QSocketNotifier::activated, this, &SimulatorConsole::readInput);
    say(QStringLiteral("ready"));
}

void SimulatorConsole::say(const QString &line)
{
    out << line << Qt::endl;
}

void SimulatorConsole::readInput()
{
    const ssize_t n = ::read(STDIN_FILENO, chunk.data(), size_t(chunk.size()));
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        // The end of the commands is not the end of the instrument: a script's
        // "zorvik-sim --jack &" has no input at all.
        input->setEnabled(false);
        return;
    }
    lines.feed(QByteArrayView(chunk.constData(), n));
}
