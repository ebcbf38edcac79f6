#include "core/curve/CurveSysEx.h"

#include "core/base/PromptService.h"
#include "core/midi/SysExSender.h"
#include "core/protocol/TransferHeader.h"

std::vector<std::uint8_t> CurveSysEx::build(const VelocityMap &map)
{
    std::vector<std::uint8_t> message(size);
    TransferHeader::write(message.data(), TransferHeader::VelocityCurve, number, 0x00, 0x01);
    for (std::size_t s = 0; s < mapEntries; ++s)
        message[mapOffset + s] = static_cast<std::uint8_t>(map[s] & 0xFF);
    message[size - 1] = 0xF7;
    return message;
}

bool CurveSysEx::send(SysExSender &sender, PromptService &prompts, const VelocityMap &map)
{
    const std::vector<std::uint8_t> message = build(map);
    const SendResult result = sender.send(message.data(), static_cast<std::uint32_t>(message.size()));
    if (result == SendResult::DeviceNotOpened) {
        // The system's reason (a USB instrument without permission, say) goes below the words.
        const QString why = sender.problem();
        prompts.inform(QStringLiteral("Open the device is err, please set device!")
                       + (why.isEmpty() ? QString() : QStringLiteral("\n\n") + why));
    }
    else if (result == SendResult::MessageRefused)
        prompts.inform(QStringLiteral("Send the longMSG is err!"));
    return result == SendResult::Sent;
}
