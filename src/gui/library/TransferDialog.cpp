#include "gui/library/TransferDialog.h"

#include "core/base/PromptService.h"
#include "gui/widgets/PercentProgress.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

TransferDialog::TransferDialog(MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture,
                               PromptService &promptService, QWidget *parent)
    : QDialog(parent)
    , prompts(promptService)
    , transfer(ports, devices, capture, promptService)
    , status(new QLabel(this))
    , bar(new PercentProgress(this))
    , numberLabel(new QLabel(QStringLiteral("Num:"), this))
    , number(new QSpinBox(this))
    , sendBtn(new QPushButton(QStringLiteral("Send"), this))
    , closeBtn(new QPushButton(QStringLiteral("Cancel"), this))
{
    setWindowTitle(QStringLiteral("UpDataHex"));
    // Modal to the main window only: the simulator window stays usable while blocks go out.
    setWindowModality(Qt::WindowModal);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setObjectName(QStringLiteral("TransferDialog"));
    sendBtn->setObjectName(QStringLiteral("send"));
    closeBtn->setObjectName(QStringLiteral("close"));
    number->setObjectName(QStringLiteral("number"));
    status->setObjectName(QStringLiteral("status"));

    // The status line stands out in blue on its own background.
    status->setAutoFillBackground(true);
    QPalette palette = status->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 250));
    status->setPalette(palette);
    status->setMinimumWidth(264);
    // Long lines wrap, and the window grows to show them whole (see refresh).
    status->setWordWrap(true);

    numberLabel->setAlignment(Qt::AlignCenter);
    number->setWrapping(true);
    number->setAlignment(Qt::AlignRight);
    // Typing is not offered: the arrows choose the number, as on the instrument.
    if (auto *edit = number->findChild<QLineEdit *>())
        edit->setReadOnly(true);
    bar->setMinimumSize(261, 22);
    sendBtn->setDefault(false);
    closeBtn->setDefault(true);

    auto *layout = new QGridLayout(this);
    layout->addWidget(status, 0, 0, 1, 3);
    layout->addWidget(numberLabel, 0, 3, Qt::AlignRight);
    layout->addWidget(number, 0, 4);
    layout->addWidget(bar, 1, 0, 1, 5);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(sendBtn);
    buttons->addSpacing(40);
    buttons->addWidget(closeBtn);
    buttons->addStretch();
    layout->addLayout(buttons, 2, 0, 1, 5);
    setMinimumSize(336, 111);

    connect(sendBtn, &QPushButton::clicked, &transfer, &TransferDriver::send);
    connect(closeBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(number, &QSpinBox::valueChanged, &transfer, [this](int value) { transfer.session().setNumber(value); });
    connect(&transfer, &TransferDriver::changed, this, &TransferDialog::refresh);
    connect(&transfer, &TransferDriver::closeRequested, this, &QDialog::accept);
}

void TransferDialog::prepare(FileKind kind, QByteArray image)
{
    imageDelivered = false;
    transfer.open(kind, std::move(image));
    const TransferSession &session = transfer.session();
    const bool hasNumber = session.carriesNumber();
    {
        const QSignalBlocker blocker(number);
        number->setRange(session.numberMinimum(), session.numberMaximum());
        number->setValue(session.number());
    }
    number->setVisible(hasNumber);
    number->setEnabled(hasNumber);
    numberLabel->setVisible(hasNumber);
    refresh();
}

int TransferDialog::run(FileKind kind, QByteArray image)
{
    prepare(kind, std::move(image));
    return exec();
}

void TransferDialog::refresh()
{
    const TransferSession &session = transfer.session();
    shown.update(session);
    if (session.delivered())
        imageDelivered = true;
    status->setText(shown.statusText());
    if (layout() && layout()->hasHeightForWidth()) {
        const int needed = layout()->totalHeightForWidth(width());
        if (needed > height())
            resize(width(), needed);
    }
    bar->setRange(0, session.progressMaximum());
    bar->setPos(session.progressValue());
    closeBtn->setText(shown.closeCaption());
    closeBtn->setEnabled(shown.closeEnabled());
    sendBtn->setEnabled(shown.sendEnabled());
}

void TransferDialog::done(int result)
{
    // Closing mid-transfer stops listening; the image goes with the dialog.
    transfer.abort();
    transfer.open(FileKind::None, {});
    QDialog::done(result);
}

bool TransferDialog::mayStop()
{
    // Half an image on the instrument is worse than a wait: a running transfer ends only when
    // the user says so. The blocks go on meanwhile; one that finished while asking just closes.
    // Enter and Esc both answer No: the keys that opened the question must not also stop it.
    if (!transfer.busy())
        return true;
    return prompts.ask({stopQuestion, QStringLiteral("Zorvik Halden"), PromptService::Icon::Warning,
                        PromptService::Buttons::YesNo, PromptService::Answer::No})
           == PromptService::Answer::Yes;
}

void TransferDialog::reject()
{
    // Esc.
    if (mayStop())
        QDialog::reject();
}

void TransferDialog::closeEvent(QCloseEvent *event)
{
    // The window's close box ends the dialog in every state, as Cancel does, after the question
    // while blocks go out.
    if (!mayStop()) {
        event->ignore();
        return;
    }
    event->accept();
    done(QDialog::Rejected);
}
