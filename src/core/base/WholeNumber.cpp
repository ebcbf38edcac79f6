#include "core/base/WholeNumber.h"

std::optional<int> wholeNumber(const QString &text, int minimum, int maximum)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok || n < minimum || n > maximum)
        return std::nullopt;
    return int(n);
}
