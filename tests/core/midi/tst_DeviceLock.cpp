// One lock per device and user, found the same way by every process whatever its environment
// (XDG_RUNTIME_DIR set or not, as from a shell, sudo, cron or ssh); the kernel frees it when its
// holder ends, however it ends; a lock of another user's is named as such.
#include "core/midi/DeviceLock.h"

#include <QCoreApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TestDeviceLock : public QObject
{
    Q_OBJECT

private slots:
    void deviceLockIsTheUsersAndEndsWithItsHolder_data()
    {
        QTest::addColumn<bool>("otherUser");
        QTest::newRow("this user") << false;
        QTest::newRow("another user") << true;
    }
    void deviceLockIsTheUsersAndEndsWithItsHolder()
    {
        QFETCH(bool, otherUser);
        if (qEnvironmentVariableIsSet("ZORVIK_HOLD_DEVICE_LOCK")) {   // the holder itself
            // Binds the lock's name as it was given: another user's process can take any name.
            const QByteArray name = qgetenv("ZORVIK_HOLD_DEVICE_LOCK");
            sockaddr_un where{};
            where.sun_family = AF_UNIX;
            std::memcpy(where.sun_path + 1, name.constData(), size_t(name.size()));
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::bind(fd, reinterpret_cast<sockaddr *>(&where), socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()))) != 0
                || ::listen(fd, 1) != 0)
                std::_Exit(2);
            std::printf("held\n");
            std::fflush(stdout);
            char byte = 0;
            while (::read(STDIN_FILENO, &byte, 1) == 1) {
            }
            std::_Exit(0);
        }
        if (otherUser && getuid() != 0)
            QSKIP("only root can start a process of another user");
        const QString key = QStringLiteral("jack:test-%1\nsynth:midi_in").arg(QCoreApplication::applicationPid());
        QTemporaryDir runtime;
        QProcess holder;   // holds the lock while its input is open
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZORVIK_HOLD_DEVICE_LOCK"), DeviceLock::name(key));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        holder.setProcessEnvironment(environment);
        if (otherUser)
            holder.setChildProcessModifier([] {
                [[maybe_unused]] const int ignored = ::setuid(65534);
            });
        holder.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("deviceLockIsTheUsersAndEndsWithItsHolder:")
                      + QString::fromLatin1(QTest::currentDataTag())});
        QVERIFY(holder.waitForStarted(5000));
        QByteArray said;   // after the test framework's own lines
        QTRY_VERIFY_WITH_TIMEOUT((said += holder.readAllStandardOutput()).contains("held\n"), 10000);

        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
        qunsetenv("XDG_RUNTIME_DIR");
        DeviceLock lock(key);
        QString error;
        QVERIFY(!lock.tryAcquire(&error));
        if (otherUser) {
            QVERIFY2(error.contains(QStringLiteral("of another user (uid 65534)")), qPrintable(error));
            QVERIFY2(error.contains(QStringLiteral("end that process to free the device")), qPrintable(error));
        } else {
            QVERIFY2(error.isEmpty(), qPrintable(error));   // only busy
        }
        holder.kill();   // a crash: the kernel frees the lock
        QVERIFY(holder.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(lock.tryAcquire(&error), 5000);
        DeviceLock second(key);
        QVERIFY(!second.tryAcquire());
        lock.release();
        QVERIFY(second.tryAcquire());
    }
};

QTEST_GUILESS_MAIN(TestDeviceLock)
#include "tst_DeviceLock.moc"
