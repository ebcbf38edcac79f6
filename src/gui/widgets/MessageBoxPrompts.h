#pragma once

#include "core/base/PromptService.h"

class QWidget;

// The interactive PromptService: a modal message box over the active window.
class MessageBoxPrompts : public PromptService
{
public:
    Answer ask(const Prompt &prompt) override;
};
