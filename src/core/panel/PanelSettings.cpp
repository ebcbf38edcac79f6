#include "core/panel/PanelSettings.h"

#include "core/panel/NameLists.h"
#include "core/protocol/SevenBitCodec.h"
#include "core/protocol/TransferHeader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int knobDefaultNumbers[8] = {73, 75, 72, 74, 71, 76, 77, 78};
constexpr int padDefaultNumbers[8] = {48, 52, 54, 58, 55, 57, 60, 61};
const char *const padDefaultLabels[8] = {"C2", "E2", "F#2", "A#2", "G2", "A2", "C3", "C#3"};

constexpr int padFlagsOffset = 1;
constexpr int pedalFlagOffset = 2;
constexpr int knobGroupsOffset = 3;
constexpr int padGroupsOffset = 51;
constexpr int joystickGroupsOffset = 99;
constexpr int groupSize = 6;
constexpr std::uint8_t pedalNoteFlag = 0x08;

QString threeDigits(int value)
{
    return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
}

int groupOffset(int slot)
{
    if (PanelSettings::isKnob(slot))
        return knobGroupsOffset + groupSize * slot;
    if (PanelSettings::isPad(slot))
        return padGroupsOffset + groupSize * (slot - PanelSettings::Pad1);
    return joystickGroupsOffset + groupSize * (slot - PanelSettings::JoystickUp);
}

// A label's first character at 'A' or above means the control sends a note.
bool holdsNoteName(char first)
{
    return static_cast<unsigned char>(first) >= 0x41;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

PanelSettings::PanelSettings()
{
    noteNames.build(NameLists::notes());
    for (auto &record : records)
        record.fill('0');
    storeDefaultBoxes();
}

PanelSettings::FieldPlace PanelSettings::place(Field field)
{
    switch (field) {
    case Field::Channel: return {0, 3};
    case Field::Label: return {3, 4};
    case Field::Msb: return {7, 3};
    case Field::Lsb: return {10, 3};
    case Field::RangeHigh: return {13, 3};
    case Field::RangeLow: return {16, 3};
    case Field::Number: return {19, 3};
    }
    return {0, 3};
}

char *PanelSettings::fieldChars(int slot, Field field)
{
    return records[static_cast<std::size_t>(slot)].data() + place(field).offset;
}

const char *PanelSettings::fieldChars(int slot, Field field) const
{
    return records[static_cast<std::size_t>(slot)].data() + place(field).offset;
}

QString PanelSettings::defaultBoxText(int slot, Field field)
{
    const bool knobOrPad = isKnob(slot) || isPad(slot);
    switch (field) {
    case Field::Channel:
        return knobOrPad ? QStringLiteral("001") : QStringLiteral("---");
    case Field::Label:
        // Pads show their notes by name; every other control shows its number.
        if (isPad(slot))
            return QLatin1String(padDefaultLabels[slot - Pad1]);
        return defaultBoxText(slot, Field::Number);
    case Field::Msb:
    case Field::Lsb:
        return QStringLiteral("000");
    case Field::RangeHigh:
        return slot == JoystickLeft ? QStringLiteral("063") : QStringLiteral("127");
    case Field::RangeLow:
        return (slot == JoystickDown || slot == JoystickRight) ? QStringLiteral("064") : QStringLiteral("000");
    case Field::Number:
        if (isKnob(slot))
            return threeDigits(knobDefaultNumbers[slot - Knob1]);
        if (isPad(slot))
            return threeDigits(padDefaultNumbers[slot - Pad1]);
        switch (slot) {
        case JoystickUp: return QStringLiteral("001");
        case JoystickDown: return QStringLiteral("074");
        case Pedal: return QStringLiteral("064");
        default: return QStringLiteral("-PB");
        }
    }
    return {};
}

void PanelSettings::setDefaults()
{
    for (int slot = 0; slot < slotCount; ++slot) {
        const QByteArray text = defaultBoxText(slot, Field::Number).toLatin1();
        std::memcpy(fieldChars(slot, Field::Number), text.constData(), 3);
    }
}

void PanelSettings::storeDefaultBoxes()
{
    for (int slot = 0; slot < slotCount; ++slot) {
        for (int f = 0; f < boxFieldCount; ++f) {
            const auto field = static_cast<Field>(f);
            storeField(slot, field, defaultBoxText(slot, field));
        }
    }
    setDefaults();
}

void PanelSettings::storeField(int slot, Field field, const QString &text)
{
    if (slot < 0 || slot >= slotCount)
        return;
    const QByteArray chars = text.toLatin1();
    const int width = place(field).width;
    if (chars.size() < 2)
        return;
    char *target = fieldChars(slot, field);
    for (int i = 0; i < width; ++i)
        target[i] = i < chars.size() ? chars.at(i) : '9';
}

QString PanelSettings::fieldText(int slot, Field field) const
{
    if (slot < 0 || slot >= slotCount)
        return {};
    const char *chars = fieldChars(slot, field);
    if (field != Field::Label)
        return QString::fromLatin1(chars, 3);
    // '9' fills short labels, but it is also a digit: a controller number such as "079" keeps
    // all three digits; note names ("C399") and "-PB9" lose their filling.
    int length = 4;
    if (chars[3] == '9') {
        if (isDigit(chars[0]) && isDigit(chars[1]) && isDigit(chars[2]))
            length = 3;
        else
            length = chars[2] == '9' ? 2 : 3;
    }
    return QString::fromLatin1(chars, length);
}

void PanelSettings::setAssignment(int slot, const QString &entryText)
{
    if (slot < 0 || slot >= slotCount)
        return;
    const QByteArray chars = entryText.left(3).toLatin1();
    if (chars.size() < 3)
        return;
    std::memcpy(fieldChars(slot, Field::Number), chars.constData(), 3);
}

QByteArray PanelSettings::record(int slot) const
{
    const auto &r = records[static_cast<std::size_t>(slot)];
    return QByteArray(r.data(), recordSize);
}

QByteArray PanelSettings::recordBlock() const
{
    QByteArray block;
    block.reserve(slotCount * recordSize);
    for (const auto &r : records)
        block.append(r.data(), recordSize);
    return block;
}

void PanelSettings::setRecordBlock(const QByteArray &block)
{
    if (block.size() != slotCount * recordSize)
        return;
    for (int slot = 0; slot < slotCount; ++slot)
        std::memcpy(records[static_cast<std::size_t>(slot)].data(), block.constData() + slot * recordSize, recordSize);
}

std::uint8_t PanelSettings::digitsToByte(const char *digits)
{
    const int value = 100 * (static_cast<unsigned char>(digits[0]) - 48)
                      + 10 * (static_cast<unsigned char>(digits[1]) - 48)
                      + (static_cast<unsigned char>(digits[2]) - 48);
    // Modulo 256 on the two's-complement value, so "---" gives 0xB3 as the instrument expects.
    return static_cast<std::uint8_t>(static_cast<unsigned>(value) & 0xFFu);
}

void PanelSettings::byteToDigits(std::uint8_t value, char *digits)
{
    digits[0] = static_cast<char>('0' + value / 100);
    digits[1] = static_cast<char>('0' + (value / 10) % 10);
    digits[2] = static_cast<char>('0' + value % 10);
}

void PanelSettings::writeGroup(int slot, std::uint8_t *group) const
{
    constexpr Field order[groupSize] = {Field::Channel, Field::Number, Field::Msb,
                                        Field::Lsb, Field::RangeHigh, Field::RangeLow};
    for (int i = 0; i < groupSize; ++i)
        group[i] = digitsToByte(fieldChars(slot, order[i]));
}

QByteArray PanelSettings::buildTemplateRaw()
{
    raw[0] = 0x00;
    for (int slot = 0; slot < slotCount; ++slot)
        writeGroup(slot, raw.data() + groupOffset(slot));

    std::uint8_t padFlags = 0;
    for (int k = 0; k < padCount; ++k) {
        if (holdsNoteName(fieldChars(Pad1 + k, Field::Label)[0]))
            padFlags |= static_cast<std::uint8_t>(0x80u >> k);
    }
    raw[padFlagsOffset] = padFlags;
    raw[pedalFlagOffset] = holdsNoteName(fieldChars(Pedal, Field::Label)[0]) ? pedalNoteFlag : 0x00;
    return QByteArray(reinterpret_cast<const char *>(raw.data()), templateRawSize);
}

QByteArray PanelSettings::buildTemplateSysEx()
{
    const QByteArray rawBytes = buildTemplateRaw();
    QByteArray message(templateSysExSize, Qt::Uninitialized);
    auto *out = reinterpret_cast<std::uint8_t *>(message.data());
    TransferHeader::write(out, TransferHeader::TemplateImage, TransferHeader::noNumber, 0x00, 0x01);
    SevenBitCodec::packInto(raw.data(), templateRawSize, out + TransferHeader::size);
    out[templateSysExSize - 1] = 0xF7;
    return message;
}

void PanelSettings::readGroup(int slot, const std::uint8_t *group, bool noteName)
{
    byteToDigits(group[0], fieldChars(slot, Field::Channel));
    byteToDigits(group[1], fieldChars(slot, Field::Number));
    byteToDigits(group[2], fieldChars(slot, Field::Msb));
    byteToDigits(group[3], fieldChars(slot, Field::Lsb));
    byteToDigits(group[4], fieldChars(slot, Field::RangeHigh));
    byteToDigits(group[5], fieldChars(slot, Field::RangeLow));

    char *label = fieldChars(slot, Field::Label);
    const bool padOrPedal = isPad(slot) || slot == Pedal;
    if (noteName && group[1] < NoteNameTable::size) {
        std::memcpy(label, noteNames.entry(group[1]).data(), 4);
        return;
    }
    byteToDigits(group[1], label);
    // Pads and the pedal drop an old note name's fourth character; a flagged number beyond the
    // note range shows as its three digits.
    if (padOrPedal)
        label[3] = '9';
}

bool PanelSettings::applyTemplateSysEx(const std::uint8_t *bytes, std::size_t length)
{
    if (bytes == nullptr || length < static_cast<std::size_t>(minimumSysExSize))
        return false;
    const QByteArray body = SevenBitCodec::Unpack(bytes + TransferHeader::size, length - minimumSysExSize);
    const auto used = std::min<std::size_t>(static_cast<std::size_t>(body.size()), templateRawSize);
    std::memcpy(raw.data(), body.constData(), used);

    for (int slot = 0; slot < slotCount; ++slot) {
        bool noteName = false;
        if (isPad(slot))
            noteName = (raw[padFlagsOffset] & (0x80u >> (slot - Pad1))) != 0;
        else if (slot == Pedal)
            noteName = raw[pedalFlagOffset] == pedalNoteFlag;
        readGroup(slot, raw.data() + groupOffset(slot), noteName);
    }
    return true;
}

bool PanelSettings::startsLikeTemplate(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.constData());
    return bytes.size() >= minimumSysExSize && data[0] == 0xF0
           && TransferHeader::matches(data, static_cast<std::size_t>(bytes.size()), TransferHeader::TemplateImage);
}

bool PanelSettings::applyTemplateSysEx(const QByteArray &bytes)
{
    return applyTemplateSysEx(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                              static_cast<std::size_t>(bytes.size()));
}
