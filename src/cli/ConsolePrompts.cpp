#include "cli/ConsolePrompts.h"

#include <cstdio>

PromptService::Answer ConsolePrompts::ask(const Prompt &prompt)
{
    // One line per message, whatever line breaks the text carries.
    QString text = prompt.text.simplified();
    lastMessage = text;
    std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(text));
    switch (prompt.buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Answer::No;
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}
