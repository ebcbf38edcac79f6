#include "gui/app/EditorOptions.h"
#include "gui/app/ZorvikApp.h"

#include <cstdio>

int main(int argc, char **argv)
{
    // The options first: --help and a refused option need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const EditorOptions options = EditorOptions::parse(arguments);
    switch (options.outcome) {
    case EditorOptions::Outcome::ShowHelp:
        std::printf("%s", qPrintable(options.text));
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    case EditorOptions::Outcome::Refused:
        std::fprintf(stderr, "zorvik-halden: %s\n", qPrintable(options.text));
        return 1;
    case EditorOptions::Outcome::Run:
        break;
    }
    ZorvikApp app(argc, argv);
    return app.run(options.library, options.audioDriver);
}
