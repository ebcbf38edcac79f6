#pragma once

#include "core/base/LibraryLocation.h"
#include "core/transfer/DumpReceiver.h"

#include <QDialog>

class PercentProgress;
class PromptService;
class QLabel;
class QLineEdit;
class QPushButton;

// "Receive data": waits for one template dump from the instrument, then saves it as a .syx file
// in the library or hands it to the panel.
class ReceiveDialog : public QDialog
{
    Q_OBJECT

public:
    // What listening uses: the ports, the input in use and the input capture (DumpReceiver);
    // library: where Save puts the .syx file.
    ReceiveDialog(MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture, const LibraryLocation &library,
                  PromptService &prompts, QWidget *parent = nullptr);

    // Opens the input; false when it cannot be opened (the dialog then closes at once).
    bool setUp();
    // Runs the dialog; returns the dump the user chose to load onto the panel, or nothing.
    std::optional<QByteArray> run();

    bool loadRequested() const { return load; }
    QByteArray dumpToLoad() const { return loadBytes; }

    QLineEdit *fileNameEdit() const { return fileName; }
    QLineEdit *countEdit() const { return count; }
    QLabel *statusText() const { return status; }
    QPushButton *receiveButton() const { return receiveAgain; }
    QPushButton *loadButton() const { return loadNow; }
    QPushButton *saveButton() const { return save; }
    QPushButton *compareButton() const { return compareNow; }
    DumpReceiver &receiver() { return dumpReceiver; }

    static QString initialStatus();

signals:
    // "Compare": the dump as Load would take it, to be compared with the panel.
    void compareRequested(const QByteArray &dump);

protected:
    void done(int result) override;

private:
    void onReceived(const QByteArray &dump);
    void onReceiveAgain();
    void onSave();
    void onLoad();
    QByteArray bytesToWrite() const;
    void enableAfterDump(bool on);

    const LibraryLocation location;
    PromptService &prompts;
    DumpReceiver dumpReceiver;
    QLabel *status;
    QLineEdit *fileName;
    QLineEdit *count;
    PercentProgress *bar;
    QPushButton *receiveAgain;
    QPushButton *loadNow;
    QPushButton *save;
    QPushButton *compareNow;
    QPushButton *exit;
    bool load = false;
    QByteArray loadBytes;
};
