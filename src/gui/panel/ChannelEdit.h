#pragma once

#include "gui/panel/ValueEdit.h"

// The Channel box: the channel a knob or pad gets when a name is dropped on it, 01-16.
class ChannelEdit : public ValueEdit
{
    Q_OBJECT

public:
    ChannelEdit(PromptService &prompts, QWidget *parent = nullptr);
};
