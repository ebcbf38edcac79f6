#pragma once

#include <QString>
#include <QStringList>

// The editor's command line: --library DIR and --audio-driver NAME (and --help). Parsed here
// rather than in main so that every option the editor reads is declared, and tested.
class EditorOptions
{
public:
    enum class Outcome { Run, ShowHelp, Refused };

    // arguments as QCoreApplication::arguments() gives them, the program's name first.
    static EditorOptions parse(const QStringList &arguments);

    Outcome outcome = Outcome::Run;
    QString library;       // empty: the usual choice of library folder
    QString audioDriver;   // empty: ZORVIK_AUDIO_DRIVER, else the first output that starts
    QString text;          // the usage for ShowHelp, the reason (one line) for Refused
};
