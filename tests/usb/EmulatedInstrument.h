#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// The emulated USB instrument (zorvik-usb-instrument), a process of its own, for the checks the
// USB rig runs inside its virtual machine: commands go to its standard input, and its log lines
// come back on its standard output. Needs ZORVIK_USB_INSTRUMENT_PATH.
class EmulatedInstrument
{
public:
    ~EmulatedInstrument() { stop(); }

    bool start(const QStringList &arguments = {})
    {
        stop();
        lines.clear();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, [this] {
            while (process.canReadLine())
                lines.append(QString::fromUtf8(process.readLine()).trimmed());
        });
        process.start(QStringLiteral(ZORVIK_USB_INSTRUMENT_PATH), arguments);
        return !await(QStringLiteral("plugged"), 10000).isEmpty();
    }

    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        command(QStringLiteral("quit"));
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(2000);
        QObject::disconnect(&process, nullptr, nullptr, nullptr);
    }

    void command(const QString &line) { process.write(line.toUtf8() + '\n'); }

    // The first line from `from` on that starts with `prefix`; empty when none came in time.
    QString await(const QString &prefix, int ms, int from = 0)
    {
        QString found;
        (void)QTest::qWaitFor([&] {
            for (int i = from; i < lines.size(); ++i) {
                if (lines.at(i).startsWith(prefix)) {
                    found = lines.at(i);
                    return true;
                }
            }
            return false;
        }, ms);
        return found;
    }

    // Asks and waits for the answer.
    QString ask(const QString &question, const QString &answerPrefix)
    {
        const int from = int(lines.size());
        command(question);
        return await(answerPrefix, 5000, from);
    }

    int mark() const { return int(lines.size()); }
    QStringList since(int from) const { return lines.mid(from); }

private:
    QProcess process;
    QStringList lines;
};
