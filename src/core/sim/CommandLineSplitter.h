#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

// Bytes as they arrive on a stream, cut at newlines into lines of at most maxLine bytes. The
// bytes of a longer line are dropped up to its newline and said once (tooLong()), so endless
// input without a newline costs neither memory nor time: only the bytes just fed are searched
// for the newline. Bytes after the last newline wait for the next feed.
class CommandLineSplitter : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype maxLine = 4096;

    using QObject::QObject;

    void feed(QByteArrayView bytes);

signals:
    // A whole line, without its newline.
    void line(const QByteArray &line);
    // A line grew past maxLine: it is being dropped.
    void tooLong();

private:
    QByteArray pending;
    bool dropping = false;
};
