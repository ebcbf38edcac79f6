#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>

#include <functional>

class PromptService;

// A static text that looks and acts like a web link: coloured, underlined, a hand cursor,
// the address as tool tip, and a click that opens the address with the desktop's handler.
class HyperLinkLabel : public QLabel
{
    Q_OBJECT

public:
    // How the label reaches the desktop. Results follow the shell's convention: above 32 is
    // success, 32 or less is the reason it failed (see errorText). Tests put fakes here.
    struct Launcher
    {
        std::function<int(const QUrl &)> open;                 // the desktop's URL handler
        std::function<int(const QString &command)> runBrowser; // the fallback browser command
    };

    static const QColor linkColour;
    static const QColor visitedColour;
    // The browser the desktop names as default; tried when the URL handler fails.
    static const QString fallbackBrowser;

    HyperLinkLabel(PromptService &prompts, QWidget *parent = nullptr);
    HyperLinkLabel(PromptService &prompts, const QString &text, QWidget *parent = nullptr);

    void setLink(const QString &address);
    QString link() const { return address; }
    bool isVisited() const { return visited; }
    void setUnderline(bool on);
    void setFitToText(bool on);
    void setLauncher(Launcher opener) { launcher = std::move(opener); }
    static Launcher desktopLauncher();

    // The message for a failed open, after "Unable to open hyperlink:\n\n".
    static QString errorText(int result);

    // Opens the address as a click does: the desktop first, then the fallback browser.
    // Returns the result of the last attempt.
    int openLink();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setUp();
    void applyLook();
    void fitToText();

    PromptService &prompts;
    QString address;
    bool visited = false;
    bool underline = true;
    bool fit = true;
    Launcher launcher;
};
