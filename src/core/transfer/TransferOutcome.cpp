#include "core/transfer/TransferOutcome.h"

QString TransferOutcome::blockFailedText(int block)
{
    return QStringLiteral("Block %1 could not be sent, so the transfer has stopped.").arg(block + 1);
}

QString TransferOutcome::failureText() const
{
    switch (what) {
    case What::BlockFailed: return blockFailedText(block);
    case What::DeviceUnavailable: return why;
    default: return {};
    }
}
