#pragma once

#include "core/base/LibraryLocation.h"
#include "core/panel/PanelStep.h"
#include "gui/panel/PanelComparisonWindow.h"

#include <QObject>
#include <QPointer>
#include <QString>

class DeviceSelection;
class FileLibrary;
class MidiInCapture;
class MidiSystem;

class PanelEditor;
class PromptService;
class QWidget;
class TransferDialog;

// The panel's commands: save the settings as a template and send them, reset to the defaults,
// load a template from the library, and receive the instrument's settings. Templates are built
// and parsed in memory; a save writes its file whole or not at all.
class PanelCommands : public QObject
{
    Q_OBJECT

public:
    static inline const QString quitQuestion = QStringLiteral("Quit without saving the panel?");

    // location: the library the templates are saved to and loaded from; library: its list.
    PanelCommands(QWidget *window, PanelEditor &panel, FileLibrary &library, TransferDialog &transfer,
                  MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture, const LibraryLocation &location,
                  PromptService &prompts);

    void saveAndSend();
    void resetToDefaults();
    // fileName: a name in the template folder, extension included.
    void loadTemplate(const QString &fileName);
    void receiveAndLoad();
    // "Compare with panel": marks what differs from a template in the library; nothing changes
    // until the user loads.
    void compareTemplate(const QString &fileName);
    // Before the program ends: the box being edited is checked, and a panel with changes that
    // were neither saved, sent nor loaded asks first. False keeps the program running.
    bool mayQuit();

    // Writes the current settings as <name>.syx; false (with a message shown) when it could not.
    bool saveTemplate(const QString &name);
    void sendTemplate();

    // The open comparison, if any.
    PanelComparisonWindow *comparisonWindow() const { return comparison; }

private:
    bool askYesNo(const QString &text, const QString &caption);
    // False (with a message shown) when the bytes are no template; the panel is then unchanged.
    // A template taken becomes one step of the panel's undo.
    bool applyTemplate(const QByteArray &bytes, const QString &name, PanelStep::Kind step);
    // A library template's bytes; false (with a message shown) when it cannot be read.
    bool readTemplateFile(const QString &fileName, QByteArray *bytes);
    // Opens the comparison window over `parent`; false (with a message shown) for no template.
    bool compare(const QByteArray &bytes, const QString &name, const QString &where, QWidget *parent);

    QWidget *window;
    PanelEditor &panel;
    FileLibrary &library;
    TransferDialog &transfer;
    // What receiving uses (ReceiveDialog).
    MidiSystem &ports;
    DeviceSelection &devices;
    MidiInCapture &capture;
    const LibraryLocation location;
    PromptService &prompts;
    QPointer<PanelComparisonWindow> comparison;
};
