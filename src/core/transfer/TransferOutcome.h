#pragma once

#include <QString>

// What the last step of a transfer came to: what happened, to which block, and why. The transfer
// dialog and zorvikctl each put it into their own words; the words they share come from here.
struct TransferOutcome
{
    enum class What {
        Opened,             // set up for an image; nothing sent yet
        Refused,            // the image cannot be sent (TransferSession::refusal); nothing went out
        TemplateSent,       // the template reached the device
        TemplateFailed,     // the template did not; the sender told the user why
        NoOutputDevice,     // the template found no output device: the transfer cannot go on
        Announced,          // the announcement went out; the instrument has yet to say it is ready
        Sending,            // the instrument is ready; a block goes out each time it asks
        Finished,           // the last block reached the device
        BlockFailed,        // `block` did not reach the device, or the device went away before it
        TimedOut,           // the instrument stopped answering
        WaitingForDevice,   // another transfer holds the output device
        DeviceUnavailable,  // the output device cannot be taken; `why` says why
        RepeatPending,      // a finished transfer is about to be sent again
        Stopped,            // the transfer was given up mid-way (the dialog closed)
    };

    What what = What::Opened;
    int block = -1;   // BlockFailed: the block, from 0
    QString why;      // DeviceUnavailable: the device's own words

    // Why a transfer that failed stopped, in the words the window and the command line share;
    // empty where there are none (each view says the rest its own way, and how to try again).
    QString failureText() const;
    static QString blockFailedText(int block);
};
