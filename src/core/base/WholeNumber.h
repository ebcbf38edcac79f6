#pragma once

#include <QString>

#include <optional>

// A whole number within [minimum, maximum] as typed in an option or a command, or nothing: for
// words that are no number, numbers out of the range and numbers too large for an int alike.
std::optional<int> wholeNumber(const QString &text, int minimum, int maximum);
