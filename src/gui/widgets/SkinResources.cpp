#include "gui/widgets/SkinResources.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <array>
#include <cmath>

// Outside any namespace, as the resource initialiser requires; it keeps the artwork linked in
// although it lives in a static library.
static void initArtwork()
{
    Q_INIT_RESOURCE(zorvik);
}

namespace {

struct Entry
{
    int id;
    const char *file;
    QPoint hotSpot;   // cursors only
};

// Several numbers may share one file: the eight knobs all look alike, and so do the pads.
constexpr std::array entries{
    Entry{106, "cursor-drag.svg", {1, 1}},
    Entry{128, "zorvik-halden.svg", {}},
    Entry{174, "vertex-ball.svg", {}},
    Entry{199, "box.svg", {}},
    Entry{203, "skin.svg", {}},
    Entry{205, "bar-about.svg", {}}, Entry{206, "bar-about-hover.svg", {}},
    Entry{207, "bar-save-hover.svg", {}}, Entry{208, "bar-save.svg", {}},
    Entry{209, "bar-default-hover.svg", {}}, Entry{210, "bar-default.svg", {}},
    Entry{211, "bar-curve-hover.svg", {}}, Entry{212, "bar-curve.svg", {}},
    Entry{213, "bar-device.svg", {}}, Entry{214, "bar-device-hover.svg", {}},
    Entry{215, "bar-help-hover.svg", {}}, Entry{216, "bar-help.svg", {}},
    Entry{217, "bar-web-hover.svg", {}}, Entry{218, "bar-web.svg", {}},
    Entry{220, "window-min.svg", {}},
    Entry{221, "window-close-hover.svg", {}}, Entry{222, "window-close.svg", {}},
    Entry{223, "bar-receive-hover.svg", {}}, Entry{224, "bar-receive.svg", {}},
    Entry{227, "window-min-hover.svg", {}},
    Entry{228, "step-down-hover.svg", {}}, Entry{229, "step-down.svg", {}},
    Entry{230, "step-up-hover.svg", {}}, Entry{231, "step-up.svg", {}},
    Entry{232, "mode-controller.svg", {}}, Entry{233, "mode-note.svg", {}},
    Entry{234, "channel-box.svg", {}},
    Entry{235, "joystick.svg", {}},
    Entry{241, "joystick-up.svg", {}}, Entry{242, "joystick-down.svg", {}},
    Entry{248, "knob.svg", {}}, Entry{249, "knob.svg", {}}, Entry{250, "knob.svg", {}},
    Entry{252, "knob.svg", {}}, Entry{253, "knob.svg", {}}, Entry{254, "knob.svg", {}},
    Entry{255, "knob.svg", {}}, Entry{256, "knob.svg", {}},
    Entry{257, "knob-lit.svg", {}}, Entry{258, "knob-lit.svg", {}}, Entry{259, "knob-lit.svg", {}},
    Entry{260, "knob-lit.svg", {}}, Entry{261, "knob-lit.svg", {}}, Entry{262, "knob-lit.svg", {}},
    Entry{263, "knob-lit.svg", {}}, Entry{264, "knob-lit.svg", {}},
    Entry{265, "pad.svg", {}}, Entry{266, "pad.svg", {}}, Entry{267, "pad.svg", {}},
    Entry{268, "pad.svg", {}}, Entry{269, "pad.svg", {}}, Entry{270, "pad.svg", {}},
    Entry{272, "pad.svg", {}},
    Entry{273, "pad-lit.svg", {}}, Entry{274, "pad-lit.svg", {}}, Entry{275, "pad-lit.svg", {}},
    Entry{276, "pad-lit.svg", {}}, Entry{277, "pad-lit.svg", {}}, Entry{278, "pad-lit.svg", {}},
    Entry{279, "pad-lit.svg", {}}, Entry{280, "pad-lit.svg", {}},
    Entry{281, "pad.svg", {}},
    Entry{282, "pedal-lit.svg", {}}, Entry{283, "pedal.svg", {}},
    Entry{285, "joystick-both.svg", {}},
    Entry{1021, "cursor-hand.svg", {9, 2}},
};

const Entry *find(int id)
{
    for (const Entry &entry : entries)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

constexpr std::array knobPlain{248, 249, 250, 252, 253, 254, 255, 256};
constexpr std::array padPlain{265, 266, 267, 268, 269, 270, 281, 272};

} // namespace

int SkinResources::knobPicture(int index, bool lit)
{
    if (index < 0 || index >= 8)
        return 0;
    return lit ? 257 + index : knobPlain[static_cast<size_t>(index)];
}

int SkinResources::padPicture(int index, bool lit)
{
    if (index < 0 || index >= 8)
        return 0;
    return lit ? 273 + index : padPlain[static_cast<size_t>(index)];
}

QString SkinResources::path(int id)
{
    const Entry *entry = find(id);
    return entry ? QStringLiteral(":/art/") + QLatin1String(entry->file) : QString();
}

QSize SkinResources::size(int id)
{
    const QString file = path(id);
    if (file.isEmpty())
        return {};
    initArtwork();
    QSvgRenderer renderer(file);
    return renderer.isValid() ? renderer.defaultSize() : QSize();
}

QPixmap SkinResources::pixmap(int id, qreal devicePixelRatio)
{
    const QString file = path(id);
    if (file.isEmpty())
        return {};
    initArtwork();
    if (devicePixelRatio <= 0)
        devicePixelRatio = 1.0;
    const QString key = QStringLiteral("zorvik-art-%1@%2").arg(id).arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;

    QSvgRenderer renderer(file);
    if (!renderer.isValid())
        return {};
    const QSize logical = renderer.defaultSize();
    QImage image(qCeil(logical.width() * devicePixelRatio), qCeil(logical.height() * devicePixelRatio),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    QPixmap result = QPixmap::fromImage(image);
    QPixmapCache::insert(key, result);
    return result;
}

QIcon SkinResources::icon()
{
    QIcon icon;
    for (qreal ratio : {1.0, 2.0})
        icon.addPixmap(pixmap(AppIcon, ratio));
    return icon;
}

QCursor SkinResources::cursor(int id, qreal devicePixelRatio)
{
    const Entry *entry = find(id);
    const QPixmap picture = pixmap(id, devicePixelRatio);
    if (!entry || picture.isNull())
        return QCursor(Qt::ArrowCursor);
    return QCursor(picture, entry->hotSpot.x(), entry->hotSpot.y());
}

QList<int> SkinResources::ids()
{
    QList<int> result;
    for (const Entry &entry : entries)
        result.append(entry.id);
    return result;
}
