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

using R = SkinResources;

// Several pictures may share one file: the eight knobs all look alike, and so do the pads.
constexpr std::array entries{
    Entry{R::Cursor_Drag, "cursor-drag.svg", {1, 1}},
    Entry{R::AppIcon, "zorvik-halden.svg", {}},
    Entry{R::VertexBall, "vertex-ball.svg", {}},
    Entry{R::SlotBoxBackground, "box.svg", {}},
    Entry{R::Skin, "skin.svg", {}},
    Entry{R::AboutNormal, "bar-about.svg", {}}, Entry{R::AboutHover, "bar-about-hover.svg", {}},
    Entry{R::SaveHover, "bar-save-hover.svg", {}}, Entry{R::SaveNormal, "bar-save.svg", {}},
    Entry{R::DefaultHover, "bar-default-hover.svg", {}}, Entry{R::DefaultNormal, "bar-default.svg", {}},
    Entry{R::CurveHover, "bar-curve-hover.svg", {}}, Entry{R::CurveNormal, "bar-curve.svg", {}},
    Entry{R::DeviceNormal, "bar-device.svg", {}}, Entry{R::DeviceHover, "bar-device-hover.svg", {}},
    Entry{R::HelpHover, "bar-help-hover.svg", {}}, Entry{R::HelpNormal, "bar-help.svg", {}},
    Entry{R::WebHover, "bar-web-hover.svg", {}}, Entry{R::WebNormal, "bar-web.svg", {}},
    Entry{R::MinimiseNormal, "window-min.svg", {}},
    Entry{R::CloseHover, "window-close-hover.svg", {}}, Entry{R::CloseNormal, "window-close.svg", {}},
    Entry{R::ReceiveHover, "bar-receive-hover.svg", {}}, Entry{R::ReceiveNormal, "bar-receive.svg", {}},
    Entry{R::MinimiseHover, "window-min-hover.svg", {}},
    Entry{R::StepDownHover, "step-down-hover.svg", {}}, Entry{R::StepDownNormal, "step-down.svg", {}},
    Entry{R::StepUpHover, "step-up-hover.svg", {}}, Entry{R::StepUpNormal, "step-up.svg", {}},
    Entry{R::ModeController, "mode-controller.svg", {}}, Entry{R::ModeNote, "mode-note.svg", {}},
    Entry{R::ChannelBoxBackground, "channel-box.svg", {}},
    Entry{R::Joystick, "joystick.svg", {}},
    Entry{R::JoystickUp, "joystick-up.svg", {}}, Entry{R::JoystickDown, "joystick-down.svg", {}},
    Entry{R::Knob1, "knob.svg", {}}, Entry{R::Knob2, "knob.svg", {}}, Entry{R::Knob3, "knob.svg", {}},
    Entry{R::Knob4, "knob.svg", {}}, Entry{R::Knob5, "knob.svg", {}}, Entry{R::Knob6, "knob.svg", {}},
    Entry{R::Knob7, "knob.svg", {}}, Entry{R::Knob8, "knob.svg", {}},
    Entry{R::KnobLit1, "knob-lit.svg", {}}, Entry{R::KnobLit2, "knob-lit.svg", {}},
    Entry{R::KnobLit3, "knob-lit.svg", {}}, Entry{R::KnobLit4, "knob-lit.svg", {}},
    Entry{R::KnobLit5, "knob-lit.svg", {}}, Entry{R::KnobLit6, "knob-lit.svg", {}},
    Entry{R::KnobLit7, "knob-lit.svg", {}}, Entry{R::KnobLit8, "knob-lit.svg", {}},
    Entry{R::Pad1, "pad.svg", {}}, Entry{R::Pad2, "pad.svg", {}}, Entry{R::Pad3, "pad.svg", {}},
    Entry{R::Pad4, "pad.svg", {}}, Entry{R::Pad5, "pad.svg", {}}, Entry{R::Pad6, "pad.svg", {}},
    Entry{R::Pad8, "pad.svg", {}},
    Entry{R::PadLit1, "pad-lit.svg", {}}, Entry{R::PadLit2, "pad-lit.svg", {}},
    Entry{R::PadLit3, "pad-lit.svg", {}}, Entry{R::PadLit4, "pad-lit.svg", {}},
    Entry{R::PadLit5, "pad-lit.svg", {}}, Entry{R::PadLit6, "pad-lit.svg", {}},
    Entry{R::PadLit7, "pad-lit.svg", {}}, Entry{R::PadLit8, "pad-lit.svg", {}},
    Entry{R::Pad7, "pad.svg", {}},
    Entry{R::PedalLit, "pedal-lit.svg", {}}, Entry{R::Pedal, "pedal.svg", {}},
    Entry{R::JoystickBoth, "joystick-both.svg", {}},
    Entry{R::Cursor_Hand, "cursor-hand.svg", {9, 2}},
};

const Entry *find(int id)
{
    for (const Entry &entry : entries)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

constexpr std::array knobPlain{R::Knob1, R::Knob2, R::Knob3, R::Knob4, R::Knob5, R::Knob6, R::Knob7, R::Knob8};
constexpr std::array knobLit{R::KnobLit1, R::KnobLit2, R::KnobLit3, R::KnobLit4,
                             R::KnobLit5, R::KnobLit6, R::KnobLit7, R::KnobLit8};
constexpr std::array padPlain{R::Pad1, R::Pad2, R::Pad3, R::Pad4, R::Pad5, R::Pad6, R::Pad7, R::Pad8};
constexpr std::array padLit{R::PadLit1, R::PadLit2, R::PadLit3, R::PadLit4,
                            R::PadLit5, R::PadLit6, R::PadLit7, R::PadLit8};

} // namespace

int SkinResources::knobPicture(int index, bool lit)
{
    if (index < 0 || index >= 8)
        return 0;
    return (lit ? knobLit : knobPlain)[static_cast<size_t>(index)];
}

int SkinResources::padPicture(int index, bool lit)
{
    if (index < 0 || index >= 8)
        return 0;
    return (lit ? padLit : padPlain)[static_cast<size_t>(index)];
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
