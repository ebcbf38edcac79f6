#include "gui/widgets/HyperLinkLabel.h"

#include "core/base/PromptService.h"
#include "gui/widgets/SkinResources.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QProcess>

const QColor HyperLinkLabel::linkColour = QColor(0, 0, 238);
const QColor HyperLinkLabel::visitedColour = QColor(85, 26, 139);
const QString HyperLinkLabel::fallbackBrowser = QStringLiteral("sensible-browser");

namespace {
constexpr int shellSuccess = 33;
constexpr int noAssociation = 31;
constexpr int fileNotFound = 2;
} // namespace

HyperLinkLabel::HyperLinkLabel(PromptService &promptService, QWidget *parent)
    : HyperLinkLabel(promptService, QString(), parent)
{
}

HyperLinkLabel::HyperLinkLabel(PromptService &promptService, const QString &text, QWidget *parent)
    : QLabel(text, parent)
    , prompts(promptService)
    , launcher(desktopLauncher())
{
    setUp();
}

HyperLinkLabel::Launcher HyperLinkLabel::desktopLauncher()
{
    Launcher result;
    // The desktop's handler tells only whether it worked; when it did not, the usual reason
    // is that nothing is registered for the address.
    result.open = [](const QUrl &url) { return QDesktopServices::openUrl(url) ? shellSuccess : noAssociation; };
    result.runBrowser = [](const QString &command) {
        QStringList parts = QProcess::splitCommand(command);
        if (parts.isEmpty())
            return fileNotFound;
        const QString program = parts.takeFirst();
        return QProcess::startDetached(program, parts) ? shellSuccess : fileNotFound;
    };
    return result;
}

void HyperLinkLabel::setUp()
{
    setTextInteractionFlags(Qt::NoTextInteraction);
    // A plain static text sits at the top left; callers may centre it.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (address.isEmpty())
        address = text();
    if (text().isEmpty())
        setText(address);
    setCursor(SkinResources::cursor(SkinResources::Cursor_Hand, devicePixelRatioF()));
    setToolTip(address);
    applyLook();
    fitToText();
}

void HyperLinkLabel::setLink(const QString &newAddress)
{
    address = newAddress;
    if (text().isEmpty())
        setText(address);
    fitToText();
    setToolTip(address);
    // Read out as what a click does; the name is the label's text.
    setAccessibleDescription(QStringLiteral("Opens %1 in the web browser").arg(address));
}

void HyperLinkLabel::setUnderline(bool on)
{
    underline = on;
    applyLook();
}

void HyperLinkLabel::setFitToText(bool on)
{
    fit = on;
    fitToText();
}

void HyperLinkLabel::applyLook()
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, visited ? visitedColour : linkColour);
    setPalette(pal);
    QFont f = font();
    f.setUnderline(underline);
    setFont(f);
    // Transparent: the parent's background shows around the letters.
    setAutoFillBackground(false);
}

void HyperLinkLabel::fitToText()
{
    if (!fit)
        return;
    const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text());
    QRect r = geometry();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        const int spare = r.height() - textSize.height();
        r.setTop(r.top() + spare / 2);
    }
    r.setHeight(textSize.height());
    if (align & Qt::AlignHCenter) {
        const int spare = r.width() - textSize.width();
        r.setLeft(r.left() + spare / 2);
        r.setWidth(textSize.width());
    } else if (align & Qt::AlignRight) {
        r.setLeft(r.right() + 1 - textSize.width());
    } else {
        r.setWidth(textSize.width());
    }
    setGeometry(r);
}

QString HyperLinkLabel::errorText(int result)
{
    switch (result) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE transactions\n"
                              "were being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(result);
    }
}

int HyperLinkLabel::openLink()
{
    int result = launcher.open ? launcher.open(QUrl::fromUserInput(address)) : noAssociation;
    if (result <= 32 && launcher.runBrowser)
        result = launcher.runBrowser(fallbackBrowser + QLatin1Char(' ') + address);
    if (result > 32) {
        visited = true;
        applyLook();
        update();
    } else {
        prompts.inform(QStringLiteral("Unable to open hyperlink:\n\n") + errorText(result), {},
                       PromptService::Icon::Warning);
    }
    return result;
}

void HyperLinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        openLink();
    QLabel::mouseReleaseEvent(event);
}

void HyperLinkLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange && fit)
        fitToText();
}
