#include "gui/library/ReceiveDialog.h"

#include "core/base/PromptService.h"
#include "core/base/SafeFile.h"
#include "core/panel/TemplateCheck.h"
#include "gui/widgets/PercentProgress.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

ReceiveDialog::ReceiveDialog(MidiSystem &ports, DeviceSelection &devices, MidiInCapture &capture,
                             const LibraryLocation &library, PromptService &promptService, QWidget *parent)
    : QDialog(parent)
    , location(library)
    , prompts(promptService)
    , dumpReceiver(ports, devices, capture, promptService)
    , status(new QLabel(initialStatus(), this))
    , fileName(new QLineEdit(this))
    , count(new QLineEdit(QStringLiteral("0"), this))
    , bar(new PercentProgress(this))
    , receiveAgain(new QPushButton(QStringLiteral("Receive"), this))
    , loadNow(new QPushButton(QStringLiteral("Load"), this))
    , save(new QPushButton(QStringLiteral("Save"), this))
    , compareNow(new QPushButton(QStringLiteral("Compare"), this))
    , exit(new QPushButton(QStringLiteral("Exit"), this))
{
    setWindowTitle(QStringLiteral("Receive data"));
    // Modal to the main window only: the simulator window can send its dump meanwhile.
    setWindowModality(Qt::WindowModal);
    setObjectName(QStringLiteral("ReceiveDialog"));
    fileName->setObjectName(QStringLiteral("fileName"));
    count->setObjectName(QStringLiteral("count"));
    status->setObjectName(QStringLiteral("status"));
    receiveAgain->setObjectName(QStringLiteral("receive"));
    loadNow->setObjectName(QStringLiteral("load"));
    save->setObjectName(QStringLiteral("save"));
    compareNow->setObjectName(QStringLiteral("compare"));
    compareNow->setToolTip(QStringLiteral("What differs between the panel and the received data"));
    exit->setObjectName(QStringLiteral("exit"));
    status->setWordWrap(true);
    status->setMinimumSize(188, 48);
    count->setValidator(new QIntValidator(-99999, 99999, count));
    exit->setDefault(true);
    bar->setMinimumHeight(15);

    auto *note = new QGroupBox(QStringLiteral("Note"), this);
    (new QVBoxLayout(note))->addWidget(status);
    auto *names = new QGroupBox(QStringLiteral("File name"), this);
    auto *namesLayout = new QVBoxLayout(names);
    namesLayout->addWidget(fileName);
    namesLayout->addWidget(count);

    auto *layout = new QGridLayout(this);
    layout->addWidget(note, 0, 0);
    layout->addWidget(names, 0, 1);
    layout->addWidget(bar, 1, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {receiveAgain, loadNow, save, compareNow, exit})
        buttons->addWidget(button);
    layout->addLayout(buttons, 2, 0, 1, 2);
    setMinimumSize(345, 115);

    connect(&dumpReceiver, &DumpReceiver::received, this, &ReceiveDialog::onReceived);
    connect(receiveAgain, &QPushButton::clicked, this, &ReceiveDialog::onReceiveAgain);
    connect(save, &QPushButton::clicked, this, &ReceiveDialog::onSave);
    connect(loadNow, &QPushButton::clicked, this, &ReceiveDialog::onLoad);
    connect(compareNow, &QPushButton::clicked, this, [this] { emit compareRequested(bytesToWrite()); });
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
}

QString ReceiveDialog::initialStatus()
{
    return QStringLiteral("    Click \" Exit \" to exit! Input the file name and click \"Save\" to save data; "
                          "Click \" Load \" to lode received data!");
}

void ReceiveDialog::enableAfterDump(bool on)
{
    loadNow->setEnabled(on);
    save->setEnabled(on);
    compareNow->setEnabled(on);
    receiveAgain->setEnabled(on);
}

bool ReceiveDialog::setUp()
{
    load = false;
    enableAfterDump(false);
    bar->setRange(0, 2);
    bar->setPos(0);
    return dumpReceiver.listen();
}

std::optional<QByteArray> ReceiveDialog::run()
{
    if (!setUp())
        return std::nullopt;
    exec();
    if (!load)
        return std::nullopt;
    return loadBytes;
}

void ReceiveDialog::onReceived(const QByteArray &dump)
{
    count->setText(QString::number(dump.size()));
    bar->setPos(1);
    bar->setPos(2);
    const QString notWhole = DumpReceiver::notWholeReason(dump);
    if (!notWhole.isEmpty()) {
        // Nothing to save or load: only listening again can help.
        receiveAgain->setEnabled(true);
        status->setText(notWhole + QStringLiteral(" Click \"Receive\" to listen again."));
        return;
    }
    enableAfterDump(true);
    status->setText(QStringLiteral("Receive Sucess ! You can entern file name and save this file, or pause the 'load' "
                                   "to show the setting!"));
}

void ReceiveDialog::onReceiveAgain()
{
    if (!setUp()) {
        reject();
        return;
    }
    status->setText(QStringLiteral("    Kit the 'Exit' will exit programe !  Enter the file name and kit 'Save' to save "
                                   "date; Pause the 'Load' to lode receive data!"));
}

QByteArray ReceiveDialog::bytesToWrite() const
{
    bool ok = false;
    const int typed = count->text().toInt(&ok);
    return DumpReceiver::bytesToWrite(dumpReceiver.dump(), ok ? typed : -1);
}

void ReceiveDialog::onSave()
{
    const QString name = fileName->text();
    if (name.trimmed().isEmpty() || !DataPaths::isSafeFileName(name)) {
        prompts.inform(QStringLiteral("Please enter the file name."), {}, PromptService::Icon::Stop);
        status->setText(QStringLiteral("Have't the file name, please entern file name!"));
        return;
    }
    // A count edited below what arrived would save a cut template over a good one.
    const QByteArray bytes = bytesToWrite();
    if (const QString why = TemplateCheck::problem(bytes); !why.isEmpty()) {
        prompts.inform(QStringLiteral("These %1 bytes are not a whole template: %2 Nothing was saved.").arg(bytes.size()).arg(why),
                       QStringLiteral("Zorvik Halden"), PromptService::Icon::Stop);
        status->setText(QStringLiteral("Save err,  please entern file name!"));
        return;
    }
    const QString path = location.file(DataPaths::Folder::Syx, name + QStringLiteral(".syx"));
    // A name that cannot be saved to is refused before the replace question.
    const QString problem = SafeFile::check(path);
    if (!problem.isEmpty()) {
        prompts.inform(problem, QStringLiteral("Zorvik Halden"), PromptService::Icon::Stop);
        status->setText(QStringLiteral("Save err,  please entern file name!"));
        return;
    }
    if (QFileInfo::exists(path)
        && !prompts.confirm(QStringLiteral("The file have existed, Replace it\uFF1F"), QStringLiteral("Zorvik Halden"),
                            PromptService::Icon::Stop)) {
        status->setText(QStringLiteral("Save err,  please entern file name!"));
        return;
    }
    const QString error = SafeFile::write(path, bytesToWrite());
    if (!error.isEmpty()) {
        prompts.inform(error, QStringLiteral("Zorvik Halden"), PromptService::Icon::Stop);
        status->setText(QStringLiteral("Save err,  please entern file name!"));
        return;
    }
    status->setText(QStringLiteral("Save success !!!"));
}

void ReceiveDialog::onLoad()
{
    // The dump goes to the panel in memory: no scratch file in the user's template folder.
    load = true;
    loadBytes = bytesToWrite();
    accept();
}

void ReceiveDialog::done(int result)
{
    dumpReceiver.stop();
    QDialog::done(result);
}
