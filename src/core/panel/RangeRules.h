#pragma once

#include <QString>

#include <optional>

// The rules of the panel's numeric boxes, without the boxes: reading a value from a box text,
// the check made when the user leaves a box, the mouse wheel's step, and the Channel box's step
// buttons. MSB, LSB and RANGE boxes hold 000-127 in three digits, the Channel box 01-16 in two.
class RangeRules
{
public:
    enum class Kind { Value, Channel };

    struct Leave
    {
        QString text;        // what the box shows afterwards
        QString message;     // shown after the box was corrected; empty for none
    };

    static int width(Kind kind) { return kind == Kind::Value ? 3 : 2; }

    // -1 for an empty text; nothing when the text is longer than the box's width once the
    // leading zeros beyond it are dropped ("00127" reads 127, "1275" nothing).
    static std::optional<int> read(const QString &text, Kind kind);
    static QString write(int value, Kind kind);

    // A text too long for the box (typed so; the box keeps what the user types) is out of
    // range, unless leading zeros made it so.
    static Leave leave(const QString &text, Kind kind);
    // Turning the wheel away from the user lowers the value; the value wraps around.
    // Nothing when the text is longer than the box's width.
    static std::optional<QString> wheel(const QString &text, Kind kind, int delta);
    // The Channel box's step buttons (+1 or -1), wrapping 16 -> 01 and 01 (or empty) -> 16.
    static std::optional<QString> stepChannel(const QString &text, int step);
};
