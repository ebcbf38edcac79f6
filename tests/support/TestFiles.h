#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTest>

// Reading and writing the files a test prepares and checks.
namespace TestFiles {

// Whole or not at all: a test that cannot lay out its files fails there, not later.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Empty when the file cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The template the instrument holds from the factory, as it dumps it.
inline QByteArray goldenTemplate()
{
    return readFile(QStringLiteral(ZORVIK_TEST_DATA "/default-template.syx"));
}

} // namespace TestFiles
