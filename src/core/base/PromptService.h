#pragma once

#include <QString>

// Every message box of the program goes through a PromptService, so that tests can answer
// dialogs without a person. The GUI installs a message-box implementation; tests a scripted one.
class PromptService
{
public:
    enum class Icon { None, Information, Question, Warning, Stop };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Prompt
    {
        QString text;
        QString caption;   // empty: the application name ("zorvik-halden")
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    virtual ~PromptService() = default;

    virtual Answer ask(const Prompt &prompt) = 0;

    // Shorthands for the common cases.
    void inform(const QString &text, const QString &caption = {}, Icon icon = Icon::None)
    {
        ask({text, caption, icon, Buttons::Ok});
    }
    bool confirm(const QString &text, const QString &caption = {}, Icon icon = Icon::Question)
    {
        return ask({text, caption, icon, Buttons::YesNo}) == Answer::Yes;
    }
};
