#pragma once

#include "core/transfer/TransferSession.h"

#include <QString>

// What the transfer dialog shows besides the progress bar: its status line, the close button's
// caption, and which of its buttons may be pressed. It follows the transfer's outcomes: update()
// after every change puts the latest into the dialog's words. A step that changes nothing on
// screen (a template the device refused, a block sent mid-way) leaves what was shown.
class TransferDialogModel
{
public:
    void update(const TransferSession &session);

    QString statusText() const { return status; }
    QString closeCaption() const { return closeText; }
    bool sendEnabled() const { return sendOn; }
    bool closeEnabled() const { return closeOn; }

    static QString openingStatus();
    static QString sendingStatus(FileKind kind);
    static QString readyWaitStatus();
    static QString timeoutStatus();
    static QString waitingStatus();

private:
    QString status = openingStatus();
    QString closeText = QStringLiteral("Cancel");
    bool sendOn = true;
    bool closeOn = true;
};
