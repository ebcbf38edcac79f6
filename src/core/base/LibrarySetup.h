#pragma once

#include "core/base/LibraryLocation.h"

#include <QString>
#include <QStringList>

// Makes the library of a start ready to use. The user's own library is created on its first
// start with the five kind folders and filled with the demo library the program carries; a
// folder named with --library is only checked; "zorvik/" under the current directory is used as
// it is. Nothing that exists is ever overwritten.
class LibrarySetup
{
public:
    struct Result
    {
        bool created = false;   // the user's library was made by this start
        int filesCopied = 0;
        QString problem;        // empty when the library is ready; else one message for the user
    };

    static Result prepare(const LibraryLocation &location);

    // Copies every demo file that root (with its trailing separator) does not hold yet, making
    // the kind folders as needed. Existing files stay as they are.
    static Result copyDemo(const QString &root);

    // The demo library's files, relative to a library folder ("syx/Factory default.syx").
    static QStringList demoFiles();
    // Where the program carries them.
    static QString demoResource();
};
