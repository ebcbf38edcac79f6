#pragma once

#include <QObject>

// Which sound output the player tries, and what it says when none starts.
class SoundOutputTest : public QObject
{
    Q_OBJECT

private slots:
    void usualOrderAmongThoseOffered_data();
    void usualOrderAmongThoseOffered();
    void namedDriverIsTheOnlyOneTried();
    void nameFromArgumentsOrEnvironment();
    void failureMessageNamesWhatWasTried();
    void outputOfAnotherRateKeepsTheSongsTime();
};
