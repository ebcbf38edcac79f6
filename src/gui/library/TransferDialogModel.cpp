#include "gui/library/TransferDialogModel.h"

QString TransferDialogModel::openingStatus()
{
    return QStringLiteral("Click the  \" Send \" button to send file!");
}

QString TransferDialogModel::sendingStatus(FileKind kind)
{
    switch (kind) {
    case FileKind::Song: return QStringLiteral("Sending Midi song, please waitting.......");
    case FileKind::Csf: return QStringLiteral("Sending Csf file, please waitting.......");
    case FileKind::Firmware: return QStringLiteral("Updatint the device ROM, please waitting.......");
    default: return {};
    }
}

QString TransferDialogModel::readyWaitStatus()
{
    return QStringLiteral("Waiting for the instrument to get ready, this can take up to a minute.......");
}

QString TransferDialogModel::timeoutStatus()
{
    return QStringLiteral("The instrument stopped answering. Check it and click Send to try again.");
}

QString TransferDialogModel::waitingStatus()
{
    return QStringLiteral("Waiting for another transfer to finish.......");
}

void TransferDialogModel::update(const TransferSession &session)
{
    using What = TransferOutcome::What;
    const TransferOutcome &outcome = session.outcome();
    switch (outcome.what) {
    case What::Opened:
        status = openingStatus();
        closeText = QStringLiteral("Cancel");
        sendOn = closeOn = true;
        break;
    case What::Refused:
        break;
    case What::TemplateSent:
        status = QStringLiteral("Succeed in sending, you can exit or send again!");
        closeText = QStringLiteral("Ok");
        sendOn = closeOn = true;
        break;
    case What::TemplateFailed:
    case What::NoOutputDevice:
        // Send stays off until the dialog is opened again; what the device said was told.
        sendOn = false;
        break;
    case What::Announced:
        // A firmware update may first erase the instrument's memory: the user is told what the
        // longer wait is for.
        if (session.fileKind() == FileKind::Firmware)
            status = readyWaitStatus();
        sendOn = closeOn = false;
        break;
    case What::Sending:
        status = sendingStatus(session.fileKind());
        break;
    case What::Finished:
        status = QStringLiteral("Succeed in sending, you can exit!");
        // The case tells how the image ended: "OK" after a full last block, "Ok" after a short one.
        closeText = session.lastBlockLength() != 0 ? QStringLiteral("Ok") : QStringLiteral("OK");
        sendOn = closeOn = true;
        break;
    case What::BlockFailed:
        status = outcome.failureText() + QStringLiteral(" Check the device and click Send to try again.");
        sendOn = closeOn = true;
        break;
    case What::DeviceUnavailable:
        status = outcome.failureText();
        sendOn = closeOn = true;
        break;
    case What::TimedOut:
        status = timeoutStatus();
        sendOn = closeOn = true;
        break;
    case What::WaitingForDevice:
        status = waitingStatus();
        sendOn = false;
        closeOn = true;
        break;
    case What::RepeatPending:
        closeText = QStringLiteral("Cancel");
        break;
    case What::Stopped:
        sendOn = closeOn = true;
        break;
    }
}
