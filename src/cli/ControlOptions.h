#pragma once

#include "core/base/FileKind.h"

#include <QString>

#include <optional>

// zorvikctl's command line: every option is declared once, and both the parser and the usage
// text read that list. A refused command line leaves `error` set and the rest unspecified.
class ControlOptions
{
public:
    static constexpr int defaultTimeoutSeconds = 60;

    static ControlOptions parse(const QStringList &arguments);
    static QString usage();

    // The kind of FILE, from its extension; None for one zorvikctl does not send.
    FileKind kind() const;

    QString command;
    QString file;
    std::optional<QString> out;
    std::optional<QString> in;
    std::optional<int> number;
    int timeoutSeconds = defaultTimeoutSeconds;
    bool jack = false;
    bool quiet = false;
    bool merge = false;
    bool help = false;
    QString library;
    QString audioDriver;
    QString error;
};
