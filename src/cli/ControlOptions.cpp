#include "cli/ControlOptions.h"

#include "core/base/WholeNumber.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

// The longest wait a timer can hold, in whole seconds.
constexpr int maxTimeoutSeconds = std::numeric_limits<int>::max() / 1000;

// Every option, declared once: the parser and the usage text both read this list.
QList<QCommandLineOption> optionList()
{
    return {
        {{QStringLiteral("out")}, QStringLiteral("the MIDI output device"), QStringLiteral("PORT")},
        {{QStringLiteral("in")}, QStringLiteral("the MIDI input device"), QStringLiteral("PORT")},
        {{QStringLiteral("jack")}, QStringLiteral("use JACK's ports instead of the ALSA sequencer's")},
        {{QStringLiteral("number")},
         QStringLiteral("where the instrument keeps a song (1-16) or a template (1-8); 1 by default"),
         QStringLiteral("N")},
        {{QStringLiteral("timeout")},
         QStringLiteral("how long to wait for the instrument, 1 to %1; %2 by default")
             .arg(maxTimeoutSeconds)
             .arg(ControlOptions::defaultTimeoutSeconds),
         QStringLiteral("SECONDS")},
        {{QStringLiteral("quiet")}, QStringLiteral("no summary line and no progress bar")},
        {{QStringLiteral("merge")},
         QStringLiteral("send: a song of several tracks (format 1) is merged into one first; the file is not changed")},
        {{QStringLiteral("audio-driver")},
         QStringLiteral("play: one of FluidSynth's audio drivers (pipewire, pulseaudio, jack, alsa); "
                        "ZORVIK_AUDIO_DRIVER too; else the first that starts"),
         QStringLiteral("NAME")},
        {{QStringLiteral("library")},
         QStringLiteral("the library folder; a plain FILE name not in the current directory is looked for there"),
         QStringLiteral("DIR")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("print this usage and exit")},
    };
}

QCommandLineOption declaredOption(const QList<QCommandLineOption> &list, const char *name)
{
    for (const QCommandLineOption &candidate : list) {
        if (candidate.names().contains(QLatin1String(name)))
            return candidate;
    }
    qFatal("zorvikctl: option %s is not declared", name);
}

} // namespace

ControlOptions ControlOptions::parse(const QStringList &arguments)
{
    ControlOptions options;
    const QList<QCommandLineOption> declaredOptions = optionList();
    const auto option = [&declaredOptions](const char *name) { return declaredOption(declaredOptions, name); };
    // An argument that starts with a dash and is no option is most likely a file's name: the
    // parser would take it for a row of one-letter options ("Unknown options: x, ., s, y, x.").
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2)
            continue;
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        const auto declared = std::find_if(declaredOptions.begin(), declaredOptions.end(),
                                           [&name](const QCommandLineOption &o) { return o.names().contains(name); });
        if (declared == declaredOptions.end()) {
            const auto command = std::find_if(arguments.begin(), arguments.begin() + i,
                                              [](const QString &a) { return !a.startsWith(QLatin1Char('-')); });
            options.error = argument.startsWith(QLatin1String("--"))
                                ? QStringLiteral("unknown option %1; zorvikctl --help lists the options").arg(argument)
                                : QStringLiteral("unknown option %1; a file name that starts with a dash goes after --, "
                                                 "as in: zorvikctl %2 -- %1")
                                      .arg(argument, command != arguments.begin() + i ? *command : QStringLiteral("send"));
            return options;
        }
        if (!declared->valueName().isEmpty() && !argument.contains(QLatin1Char('=')))
            ++i;   // its value, which may start with a dash (--out -1)
    }
    QCommandLineParser parser;
    parser.addOptions(declaredOptions);
    if (!parser.parse(QStringList{QStringLiteral("zorvikctl")} + arguments)) {
        options.error = parser.errorText();
        return options;
    }
    options.help = parser.isSet(option("help"));
    options.jack = parser.isSet(option("jack"));
    options.quiet = parser.isSet(option("quiet"));
    options.merge = parser.isSet(option("merge"));
    // An empty name is what an unset shell variable gives: never taken for the default device.
    for (const char *name : {"out", "in"}) {
        if (!parser.isSet(option(name)))
            continue;
        const QString value = parser.value(option(name));
        if (value.isEmpty()) {
            options.error = QStringLiteral("--%1 needs a device number or name, not an empty one").arg(QLatin1String(name));
            return options;
        }
        (QLatin1String(name) == QLatin1String("out") ? options.out : options.in) = value;
    }
    options.audioDriver = parser.value(option("audio-driver"));
    if (parser.isSet(option("library"))) {
        options.library = parser.value(option("library"));
        if (options.library.isEmpty()) {
            options.error = QStringLiteral("--library needs a folder");
            return options;
        }
    }
    if (parser.isSet(option("number"))) {
        options.number = wholeNumber(parser.value(option("number")), 1, std::numeric_limits<int>::max());
        if (!options.number) {
            options.error = QStringLiteral("--number takes a whole number from 1");
            return options;
        }
    }
    if (parser.isSet(option("timeout"))) {
        const auto seconds = wholeNumber(parser.value(option("timeout")), 1, maxTimeoutSeconds);
        if (!seconds) {
            options.error = QStringLiteral("--timeout takes a whole number of seconds from 1 to %1").arg(maxTimeoutSeconds);
            return options;
        }
        options.timeoutSeconds = *seconds;
    }
    QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty())
        options.command = positional.takeFirst();
    if (!positional.isEmpty())
        options.file = positional.takeFirst();
    if (!positional.isEmpty())
        options.error = QStringLiteral("unexpected argument %1").arg(positional.first());
    return options;
}

QString ControlOptions::usage()
{
    QString text = QStringLiteral(
        "usage: zorvikctl ports [--jack]\n"
        "       zorvikctl send FILE [--number N] [--merge] [--out PORT] [--in PORT] [--jack] [--timeout SECONDS] [--quiet]\n"
        "       zorvikctl receive FILE.syx [--in PORT] [--jack] [--timeout SECONDS] [--quiet]\n"
        "       zorvikctl curve FILE.crv [--out PORT] [--jack] [--quiet]\n"
        "       zorvikctl play FILE [--audio-driver NAME]\n"
        "The kind of FILE comes from its extension: .mid song, .syx template, .csf song file, .bin firmware.\n"
        "PORT is a device number, a name as 'zorvikctl ports' lists them, or a part of a name that only one\n"
        "device has (an exact name wins); by default the instrument, an output and an input of one device\n"
        "with \"Zorvik\" in their names. The built-in simulator is used only when named (--out -1 --in 0).\n"
        "Ctrl+C, SIGTERM or SIGHUP stop between two messages (exit 130, 143, 129); a second one at once.\n"
        "play plays a .mid or .csf song on the computer until its end or Ctrl+C.\n"
        "Given only --out or only --in, the device of the same name serves the other direction.\n"
        "On success one summary line goes to standard output; errors are one line on standard error.\n"
        "Options:\n");
    const QList<QCommandLineOption> declaredOptions = optionList();
    QStringList left;
    int width = 0;
    for (const QCommandLineOption &candidate : declaredOptions) {
        QStringList names;
        for (const QString &name : candidate.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString entry = names.join(QStringLiteral(", "));
        if (!candidate.valueName().isEmpty())
            entry += QLatin1Char(' ') + candidate.valueName();
        left << entry;
        width = std::max(width, int(entry.size()));
    }
    for (int i = 0; i < left.size(); ++i)
        text += QStringLiteral("  %1  %2\n").arg(left.at(i), -width).arg(declaredOptions.at(i).description());
    text += QStringLiteral("  %1  %2\n").arg(QStringLiteral("--"), -width).arg(QStringLiteral("what follows is not an option"));
    text += QStringLiteral("Exit codes: 0 done, 1 usage, 2 file or dump refused, 3 device error, 4 instrument silent, "
                           "5 save or write failed.\n");
    return text;
}

FileKind ControlOptions::kind() const
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("mid"))
        return FileKind::Song;
    if (suffix == QLatin1String("syx"))
        return FileKind::Template;
    if (suffix == QLatin1String("csf"))
        return FileKind::Csf;
    if (suffix == QLatin1String("bin"))
        return FileKind::Firmware;
    return FileKind::None;
}
