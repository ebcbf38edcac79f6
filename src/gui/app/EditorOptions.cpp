#include "gui/app/EditorOptions.h"

#include <QCommandLineParser>

EditorOptions EditorOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Editor and librarian for the Zorvik MIDI controllers."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption library(QStringLiteral("library"),
                                     QStringLiteral("Use DIR as the library folder (the one that holds mid/ syx/ "
                                                    "csf/ bin/ Curve/)."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption audioDriver(QStringLiteral("audio-driver"),
                                         QStringLiteral("Play songs through FluidSynth's audio driver NAME (pipewire, "
                                                        "pulseaudio, jack, alsa); ZORVIK_AUDIO_DRIVER too; else the "
                                                        "first that starts."),
                                         QStringLiteral("NAME"));
    parser.addOptions({help, library, audioDriver});

    EditorOptions options;
    const auto refuse = [&options](const QString &why) {
        options.outcome = Outcome::Refused;
        options.text = why;
        return options;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (parser.isSet(help)) {
        options.outcome = Outcome::ShowHelp;
        // Parsed before the application object exists, the parser does not know the program's
        // name: the usage line names it.
        const QString text = parser.helpText();
        options.text = QStringLiteral("Usage: zorvik-halden [options]") + text.mid(text.indexOf(QLatin1Char('\n')));
        return options;
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().constFirst()));
    // An empty value is what an unset shell variable gives: refused rather than taken as "none".
    if (parser.isSet(library) && parser.value(library).isEmpty())
        return refuse(QStringLiteral("--library needs a folder"));
    if (parser.isSet(audioDriver) && parser.value(audioDriver).trimmed().isEmpty())
        return refuse(QStringLiteral("--audio-driver needs a driver's name"));
    options.library = parser.value(library);
    options.audioDriver = parser.value(audioDriver).trimmed();
    return options;
}
