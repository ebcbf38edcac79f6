#include "support/ScriptedPrompts.h"

PromptService::Answer ScriptedPrompts::ask(const Prompt &prompt)
{
    asked.append(prompt);
    if (!script.isEmpty())
        return script.takeFirst();
    switch (prompt.buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Answer::Yes;
    case Buttons::Ok:
    case Buttons::OkCancel:
        break;
    }
    return Answer::Ok;
}
