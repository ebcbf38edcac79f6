#include "gui/panel/ChannelEdit.h"

#include "gui/widgets/SkinResources.h"

ChannelEdit::ChannelEdit(PromptService &promptService, QWidget *parent)
    : ValueEdit(promptService, RangeRules::Kind::Channel, SkinResources::ChannelBoxBackground, QColor(15, 80, 210), parent)
{
}
