#pragma once

#include "core/panel/NoteNameTable.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

// What the instrument's 21 assignable controls send, held as decimal text the way the panel's
// boxes show it, and its 162-byte template SysEx image (also the .syx file format and the dump
// the instrument sends back).
class PanelSettings
{
public:
    static constexpr int slotCount = 21;
    static constexpr int knobCount = 8;
    static constexpr int padCount = 8;
    static constexpr int recordSize = 22;
    static constexpr int templateRawSize = 129;
    static constexpr int templateSysExSize = 162;
    static constexpr int minimumSysExSize = 14;   // header and F7: the least a template can be

    enum Slot : int {
        Knob1 = 0,
        Pad1 = 8,
        JoystickUp = 16,
        JoystickDown = 17,
        JoystickLeft = 18,
        JoystickRight = 19,
        Pedal = 20,
    };

    // The six box fields in box order, then the assignment that has no box.
    enum class Field { Channel, Label, Msb, Lsb, RangeHigh, RangeLow, Number };
    static constexpr int boxFieldCount = 6;

    PanelSettings();

    // The default `number` of every slot.
    void setDefaults();
    // The whole start-up state: every default box text stored, then setDefaults().
    void storeDefaultBoxes();

    // Copies one box text into a field: n or more characters give the first n; 2..n-1 characters
    // are filled up with '9'; 0 or 1 character leave the field as it was.
    void storeField(int slot, Field field, const QString &text);
    // The text a box shows for a field.
    QString fieldText(int slot, Field field) const;
    // The first three characters of a name-list entry become the slot's `number`.
    void setAssignment(int slot, const QString &entryText);

    QByteArray record(int slot) const;
    // All 21 records as one block of 21 x 22 characters, to keep and put back whole (undo).
    // A block of another size changes nothing.
    QByteArray recordBlock() const;
    void setRecordBlock(const QByteArray &block);

    QByteArray buildTemplateRaw();
    QByteArray buildTemplateSysEx();

    // Parses a template message of at least 14 bytes; a shorter one changes nothing and
    // returns false. Slots beyond a short body keep the bytes of the template last built or parsed.
    bool applyTemplateSysEx(const std::uint8_t *bytes, std::size_t length);
    bool applyTemplateSysEx(const QByteArray &bytes);

    // True when the bytes begin with a template message's frame: F0, the instrument's 20 63 at
    // bytes 2 and 3, and the template command 03 at byte 7. Anything else (a song or firmware
    // renamed .syx) is neither loaded onto the panel nor sent as a template.
    static bool startsLikeTemplate(const QByteArray &bytes);

    static QString defaultBoxText(int slot, Field field);
    static bool isKnob(int slot) { return slot >= Knob1 && slot < Knob1 + knobCount; }
    static bool isPad(int slot) { return slot >= Pad1 && slot < Pad1 + padCount; }
    // Whether loading a template changes this box: the joystick's left and right boxes keep
    // their texts, and so do the joystick's and the pedal's channel boxes.
    static bool loadSetsBox(int slot, Field field)
    {
        if (slot == JoystickLeft || slot == JoystickRight)
            return false;
        return field != Field::Channel || !(slot >= JoystickUp && slot <= Pedal);
    }

    static std::uint8_t digitsToByte(const char *digits);
    static void byteToDigits(std::uint8_t value, char *digits);

private:
    struct FieldPlace
    {
        int offset;
        int width;
    };
    static FieldPlace place(Field field);

    char *fieldChars(int slot, Field field);
    const char *fieldChars(int slot, Field field) const;
    void writeGroup(int slot, std::uint8_t *group) const;
    void readGroup(int slot, const std::uint8_t *group, bool noteName);

    std::array<std::array<char, recordSize>, slotCount> records{};
    std::array<std::uint8_t, templateRawSize> raw{};
    NoteNameTable noteNames;
};
