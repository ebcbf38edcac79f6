#include "devices/audio/AudioDriverChoice.h"

#include <fluidsynth.h>

const QStringList AudioDriverChoice::preferredOrder{QStringLiteral("pipewire"), QStringLiteral("pulseaudio"),
                                                    QStringLiteral("jack"), QStringLiteral("alsa")};

namespace {

void collect(void *data, const char *, const char *option)
{
    const QString name = QString::fromUtf8(option);
    if (name != QLatin1String("file"))
        static_cast<QStringList *>(data)->append(name);
}

} // namespace

QStringList AudioDriverChoice::offered()
{
    QStringList names;
    fluid_settings_t *settings = new_fluid_settings();
    if (!settings)
        return names;
    fluid_settings_foreach_option(settings, "audio.driver", &names, collect);
    delete_fluid_settings(settings);
    return names;
}

QString AudioDriverChoice::wanted(const QString &given)
{
    // FluidSynth's names are all lower case.
    const QString name = given.trimmed().toLower();
    if (!name.isEmpty())
        return name;
    return qEnvironmentVariable(environmentVariable).trimmed().toLower();
}

QStringList AudioDriverChoice::plan(const QStringList &offered, const QString &wanted, QString *problem)
{
    QStringList drivers;
    if (!wanted.isEmpty()) {
        if (offered.contains(wanted))
            drivers.append(wanted);
        else if (problem)
            *problem = QStringLiteral("The audio driver \"%1\" is not available. This FluidSynth offers: %2.")
                           .arg(wanted, offered.isEmpty() ? QStringLiteral("none") : offered.join(QStringLiteral(", ")));
        return drivers;
    }
    for (const QString &name : preferredOrder)
        if (offered.contains(name))
            drivers.append(name);
    if (drivers.isEmpty() && problem)
        *problem = QStringLiteral("This FluidSynth offers none of the sound outputs the player uses "
                                  "(PipeWire, PulseAudio, JACK, ALSA).");
    return drivers;
}

QString AudioDriverChoice::displayName(const QString &driver)
{
    static const QList<std::pair<QString, QString>> names{
        {QStringLiteral("pipewire"), QStringLiteral("PipeWire")},
        {QStringLiteral("pulseaudio"), QStringLiteral("PulseAudio")},
        {QStringLiteral("jack"), QStringLiteral("JACK")},
        {QStringLiteral("alsa"), QStringLiteral("ALSA")},
    };
    for (const auto &[name, shown] : names)
        if (name == driver)
            return shown;
    return driver;
}

QString AudioDriverChoice::failureMessage(const QList<Attempt> &attempts)
{
    QStringList lines{QStringLiteral("No sound output could be started, so the song cannot be heard."), QString(),
                      QStringLiteral("Tried:")};
    for (const Attempt &attempt : attempts)
        lines.append(QStringLiteral("%1: %2").arg(displayName(attempt.driver), attempt.reason));
    lines.append(QString());
    lines.append(QStringLiteral("Start a sound server, or name an output with --audio-driver or %1 (%2).")
                     .arg(QLatin1String(environmentVariable), preferredOrder.join(QStringLiteral(", "))));
    return lines.join(QLatin1Char('\n'));
}
