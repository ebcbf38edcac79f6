#include "core/curve/CurveFile.h"

#include "core/base/DataPaths.h"
#include "core/base/SafeFile.h"

#include <QFileInfo>
#include <QtEndian>

#include <cstddef>

namespace {

constexpr int mapOffset = 0;
constexpr int sourcesOffset = 512;
constexpr int newsOffset = 540;

std::int32_t readInt(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

void writeInt(QByteArray &bytes, int offset, std::int32_t value)
{
    qToLittleEndian<qint32>(value, bytes.data() + offset);
}

bool isVelocity(std::int32_t value)
{
    return value >= 0 && value <= 127;
}

QString wrongSizeMessage(const QString &displayName, qint64 size)
{
    return QStringLiteral("\"%1\" is not a velocity curve file: it holds %2 bytes, a curve file holds %3.")
        .arg(displayName)
        .arg(size)
        .arg(CurveFile::fileSize);
}

} // namespace

CurveFile::Result CurveFile::parse(const QByteArray &bytes, const QString &displayName)
{
    Result result;
    if (bytes.size() != fileSize) {
        result.message = wrongSizeMessage(displayName, bytes.size());
        return result;
    }
    Contents &contents = result.contents;
    for (std::size_t s = 0; s < contents.map.size(); ++s)
        contents.map[s] = readInt(bytes, mapOffset + 4 * static_cast<int>(s));
    for (int k = 0; k < VelocityCurve::pointCount; ++k) {
        contents.curve.keySource[static_cast<std::size_t>(k)] = readInt(bytes, sourcesOffset + 4 * k);
        contents.curve.keyNew[static_cast<std::size_t>(k)] = readInt(bytes, newsOffset + 4 * k);
    }
    bool valid = true;
    for (const auto value : contents.map)
        valid = valid && isVelocity(value);
    for (int k = 0; k < VelocityCurve::pointCount; ++k) {
        valid = valid && isVelocity(contents.curve.keySource[static_cast<std::size_t>(k)])
                && isVelocity(contents.curve.keyNew[static_cast<std::size_t>(k)]);
    }
    if (!valid) {
        result.message = QStringLiteral("\"%1\" is damaged: it holds velocities outside 0 to 127.").arg(displayName);
        return result;
    }
    result.ok = true;
    return result;
}

CurveFile::Result CurveFile::load(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    // A curve file is small: a file of another size is refused from its size, without reading it
    // (and the message tells its real size, not the one byte too many a read would give).
    const SafeFile::ReadResult file = SafeFile::read(path, fileSize);
    Result result;
    switch (file.status) {
    case SafeFile::ReadResult::Status::CannotOpen:
        result.message = QStringLiteral("Cannot open the curve file \"%1\": %2").arg(name, file.error);
        return result;
    case SafeFile::ReadResult::Status::TooLarge:
        result.message = wrongSizeMessage(name, file.size);
        return result;
    case SafeFile::ReadResult::Status::Read:
        break;
    }
    return parse(file.bytes, name);
}

QByteArray CurveFile::serialize(const Contents &contents)
{
    QByteArray bytes(fileSize, '\0');
    for (std::size_t s = 0; s < contents.map.size(); ++s)
        writeInt(bytes, mapOffset + 4 * static_cast<int>(s), contents.map[s]);
    for (int k = 0; k < VelocityCurve::pointCount; ++k) {
        writeInt(bytes, sourcesOffset + 4 * k, contents.curve.keySource[static_cast<std::size_t>(k)]);
        writeInt(bytes, newsOffset + 4 * k, contents.curve.keyNew[static_cast<std::size_t>(k)]);
    }
    return bytes;
}

CurveFile::Result CurveFile::save(const QString &path, const Contents &contents)
{
    Result result;
    result.contents = contents;
    const QString reason = SafeFile::writeReason(path, serialize(contents));
    if (!reason.isEmpty()) {
        result.message = QStringLiteral("Cannot save the curve file \"%1\": %2")
                             .arg(DataPaths::shownName(QFileInfo(path).fileName()), reason);
        return result;
    }
    result.ok = true;
    return result;
}
