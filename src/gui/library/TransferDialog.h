#pragma once

#include "core/transfer/TransferDriver.h"
#include "gui/library/TransferDialogModel.h"

#include <QDialog>

class PercentProgress;
class QLabel;
class QPushButton;
class QSpinBox;

// "UpDataHex": sends the file image the library or the panel prepared, with a progress bar the
// instrument paces. A thin view over TransferDriver, in the words of TransferDialogModel; one
// dialog lives as long as the main window and is set up afresh at every opening.
class TransferDialog : public QDialog
{
    Q_OBJECT

public:
    static inline const QString stopQuestion = QStringLiteral(
        "Stop sending? The instrument keeps only part of the file; a firmware update must then be sent again.");

    // What the transfer uses: the ports, the devices in use and the input capture (TransferDriver).
    TransferDialog(MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture, PromptService &prompts,
                   QWidget *parent = nullptr);

    // Sets the dialog up for an image and runs it modally.
    int run(FileKind kind, QByteArray image);
    void prepare(FileKind kind, QByteArray image);

    // Whether the image reached the instrument whole since the dialog was set up for it.
    bool delivered() const { return imageDelivered; }

    TransferDriver &driver() { return transfer; }
    QPushButton *sendButton() const { return sendBtn; }
    QPushButton *closeButton() const { return closeBtn; }
    QSpinBox *numberBox() const { return number; }
    QLabel *statusLine() const { return status; }
    PercentProgress *progress() const { return bar; }

public slots:
    void reject() override;

protected:
    void done(int result) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void refresh();
    // True unless a transfer is running and the user chose to let it go on.
    bool mayStop();

    PromptService &prompts;
    TransferDriver transfer;
    TransferDialogModel shown;
    QLabel *status;
    PercentProgress *bar;
    QLabel *numberLabel;
    QSpinBox *number;
    QPushButton *sendBtn;
    QPushButton *closeBtn;
    bool imageDelivered = false;
};
