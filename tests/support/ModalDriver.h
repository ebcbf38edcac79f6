#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QQueue>
#include <QTimer>

#include <functional>

// Acts on modal dialogs as they show, one queued action per dialog, in order: tests drive real
// dialogs this way, without a person and without sleeping. Each action runs inside the dialog's
// own event loop.
class ModalDriver
{
public:
    using Action = std::function<void(QDialog *)>;

    static void next(Action action)
    {
        instance().actions.enqueue(std::move(action));
        instance().timer.start();
    }

    static bool idle() { return instance().actions.isEmpty(); }

private:
    ModalDriver()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
    }

    static ModalDriver &instance()
    {
        static ModalDriver driver;
        return driver;
    }

    void poll()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog == handled)
            return;
        handled = dialog;
        // A long-lived dialog (the transfer window) may show again later: new work then.
        QObject::connect(dialog, &QDialog::finished, dialog, [this] { handled = nullptr; },
                         Qt::SingleShotConnection);
        const Action action = actions.dequeue();
        if (actions.isEmpty())
            timer.stop();
        action(dialog);
    }

    QQueue<Action> actions;
    QTimer timer;
    QPointer<QDialog> handled;
};
