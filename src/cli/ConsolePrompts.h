#pragma once

#include "core/base/PromptService.h"

#include <QString>

// The PromptService of the command line: every message goes to standard error as one line;
// questions are answered No, since a script cannot be asked.
class ConsolePrompts : public PromptService
{
public:
    explicit ConsolePrompts(QString programName) : program(std::move(programName)) {}

    Answer ask(const Prompt &prompt) override;

    // The last message shown, so a command can tell whether a reason was already given.
    QString lastMessage;

private:
    QString program;
};
