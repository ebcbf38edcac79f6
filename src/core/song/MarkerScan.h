#pragma once

#include <QByteArray>
#include <QStringList>

// The marker texts of a song: every FF 06 in the file, read as a plain byte stream without
// regard to chunks, is a marker whose length follows and whose text follows that.
class MarkerScan
{
public:
    static constexpr auto heading = "The markers:";
    static constexpr auto spacer = "   ";

    // The marker texts in file order. Lengths are read as variable-length quantities, as the file
    // format stores them (one byte for texts under 128 bytes); a text cut off by the end of the
    // file gives what is there, and the scan never reads past the end.
    static QStringList markers(const QByteArray &file);

    // The lines the marker list shows: the heading, the spacer, then the markers.
    static QStringList lines(const QByteArray &file);
};
