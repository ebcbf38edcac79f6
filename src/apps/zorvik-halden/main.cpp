#include "gui/app/ZorvikApp.h"

#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char **argv)
{
    ZorvikApp app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Editor and librarian for the Zorvik MIDI controllers."));
    parser.addHelpOption();
    const QCommandLineOption library(QStringLiteral("library"),
                                     QStringLiteral("Use DIR as the library folder (the one that holds mid/ syx/ "
                                                    "csf/ bin/ Curve/)."),
                                     QStringLiteral("DIR"));
    parser.addOption(library);
    parser.process(app);
    if (parser.isSet(library) && parser.value(library).isEmpty()) {
        std::fprintf(stderr, "zorvik-halden: --library needs a folder\n");
        return 1;
    }
    return app.run(parser.value(library));
}
