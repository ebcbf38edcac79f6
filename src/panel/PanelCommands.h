#pragma once

#include <QObject>
#include <QString>

class FileLibrary;
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
    PanelCommands(QWidget *window, PanelEditor &panel, FileLibrary &library, TransferDialog &transfer,
                  MidiSystem &midi, PromptService &prompts);

    void saveAndSend();
    void resetToDefaults();
    // fileName: a name in the template folder, extension included.
    void loadTemplate(const QString &fileName);
    void receiveAndLoad();

    // Writes the current settings as <name>.syx; false (with a message shown) when it could not.
    bool saveTemplate(const QString &name);
    void sendTemplate();

private:
    bool askYesNo(const QString &text, const QString &caption);
    void applyTemplate(const QByteArray &bytes, const QString &name);

    QWidget *window;
    PanelEditor &panel;
    FileLibrary &library;
    TransferDialog &transfer;
    MidiSystem &midi;
    PromptService &prompts;
};
