#include "core/panel/TemplateCheck.h"

#include "core/panel/PanelSettings.h"
#include "core/protocol/TransferHeader.h"

#include <cstdint>

QString TemplateCheck::problem(const QByteArray &bytes)
{
    constexpr qsizetype marker = qsizetype(TransferHeader::size) - 1;   // the frame's 89
    const qsizetype size = bytes.size();
    const auto byte = [&bytes](qsizetype at) { return static_cast<std::uint8_t>(bytes.at(at)); };
    if (size < PanelSettings::minimumSysExSize)
        return QStringLiteral("it holds only %1 bytes.").arg(size);
    if (!PanelSettings::startsLikeTemplate(bytes) || byte(1) != 0x00
        || byte(marker) != 0x89)
        return QStringLiteral("it does not start like one.");
    if (byte(size - 1) != 0xF7)
        return QStringLiteral("it was cut off after %1 bytes.").arg(size);
    if (size != PanelSettings::templateSysExSize)
        return QStringLiteral("it holds %1 bytes; a template holds %2.").arg(size).arg(PanelSettings::templateSysExSize);
    // Between F0 and F7 only data bytes, but for the frame's own 89.
    for (qsizetype at = 1; at < size - 1; ++at) {
        if (at != marker && byte(at) >= 0x80)
            return QStringLiteral("its byte %1 (%2) is not a data byte.").arg(at).arg(byte(at), 2, 16, QLatin1Char('0'));
    }
    return {};
}
