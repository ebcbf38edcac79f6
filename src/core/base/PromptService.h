#pragma once

#include <QString>

#include <optional>

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
        // The answer Enter gives; none: the first of the buttons (Ok or Yes). Esc always
        // gives No, or Cancel where there is one.
        std::optional<Answer> defaultAnswer = std::nullopt;
    };

    virtual ~PromptService() = default;

    virtual Answer ask(const Prompt &prompt) = 0;

    // Shorthands for the common cases.
    void inform(const QString &text, const QString &caption = {}, Icon icon = Icon::None)
    {
        ask({text, caption, icon, Buttons::Ok});
    }
    // A question whose Yes cannot be taken back (a delete) gives No as its default answer.
    bool confirm(const QString &text, const QString &caption = {}, Icon icon = Icon::Question,
                 Answer defaultAnswer = Answer::Yes)
    {
        return ask({text, caption, icon, Buttons::YesNo, defaultAnswer}) == Answer::Yes;
    }
};
