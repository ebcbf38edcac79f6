#pragma once

#include "core/panel/PanelStep.h"

#include <QObject>
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

    PanelCommands(QWidget *window, PanelEditor &panel, FileLibrary &library, TransferDialog &transfer,
                  MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture, PromptService &prompts);

    void saveAndSend();
    void resetToDefaults();
    // fileName: a name in the template folder, extension included.
    void loadTemplate(const QString &fileName);
    void receiveAndLoad();
    // Before the program ends: the box being edited is checked, and a panel with changes that
    // were neither saved, sent nor loaded asks first. False keeps the program running.
    bool mayQuit();

    // Writes the current settings as <name>.syx; false (with a message shown) when it could not.
    bool saveTemplate(const QString &name);
    void sendTemplate();

private:
    bool askYesNo(const QString &text, const QString &caption);
    // False (with a message shown) when the bytes are no template; the panel is then unchanged.
    // A template taken becomes one step of the panel's undo.
    bool applyTemplate(const QByteArray &bytes, const QString &name, PanelStep::Kind step);

    QWidget *window;
    PanelEditor &panel;
    FileLibrary &library;
    TransferDialog &transfer;
    // What receiving uses (ReceiveDialog).
    MidiSystem &ports;
    DeviceSelection &devices;
    MidiInCapture &capture;
    PromptService &prompts;
};
