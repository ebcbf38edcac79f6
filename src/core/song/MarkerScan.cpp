#include "core/song/MarkerScan.h"

#include <QStringDecoder>

namespace {

QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

} // namespace

QStringList MarkerScan::markers(const QByteArray &file)
{
    QStringList texts;
    const qsizetype size = file.size();
    qsizetype i = 0;
    while (i + 1 < size) {
        if (static_cast<unsigned char>(file.at(i)) != 0xFF) {
            ++i;
            continue;
        }
        if (file.at(i + 1) != 0x06) {
            i += 2;   // a 0xFF and the byte after it are passed over together
            continue;
        }
        i += 2;
        qsizetype length = 0;
        for (int k = 0; k < 4 && i < size; ++k) {
            const auto byte = static_cast<unsigned char>(file.at(i++));
            length = (length << 7) | (byte & 0x7F);
            if (!(byte & 0x80))
                break;
        }
        const qsizetype available = std::min(length, size - i);
        texts.append(decodeText(file.mid(i, available)));
        i += available;
    }
    return texts;
}

QStringList MarkerScan::lines(const QByteArray &file)
{
    QStringList result{QString::fromLatin1(heading), QString::fromLatin1(spacer)};
    result.append(markers(file));
    return result;
}
