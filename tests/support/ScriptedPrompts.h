#pragma once

#include "core/base/PromptService.h"

#include <QList>

// A PromptService that answers from a script and records every prompt: for tests and for
// headless tools. An empty script answers Ok / Yes.
class ScriptedPrompts : public PromptService
{
public:
    Answer ask(const Prompt &prompt) override;

    void queue(Answer answer) { script.append(answer); }

    QList<Prompt> asked;
    QList<Answer> script;
};
