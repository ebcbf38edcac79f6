#include "gui/devices/SetDeviceDialog.h"

#include "core/midi/DeviceSelection.h"
#include "core/midi/InstrumentFinder.h"
#include "gui/widgets/ElidingComboBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SetDeviceDialog::SetDeviceDialog(MidiSystem &midiPorts, DeviceSelection &selection, QWidget *parent)
    : QDialog(parent), ports(midiPorts), devices(selection), outCombo(new ElidingComboBox), inCombo(new ElidingComboBox)
{
    setWindowTitle(QStringLiteral("Set Device"));
    setModal(true);

    outCombo->setObjectName(QStringLiteral("midiOutList"));
    inCombo->setObjectName(QStringLiteral("midiInList"));
    for (QComboBox *combo : {outCombo, inCombo}) {
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(18);
    }

    auto *group = new QGroupBox(QStringLiteral("Device list"));
    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("MIDI Out")), 0, 0);
    grid->addWidget(outCombo, 1, 0);
    auto *line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    grid->addWidget(line, 0, 1, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("MIDI In ")), 0, 2);
    grid->addWidget(inCombo, 1, 2);

    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton *refreshButton = buttons->addButton(QStringLiteral("Refresh"), QDialogButtonBox::ResetRole);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    refreshButton->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &SetDeviceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SetDeviceDialog::reject);
    connect(refreshButton, &QPushButton::clicked, this, &SetDeviceDialog::refresh);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);

    pendingIn = devices.input();
    pendingOut = devices.output();
    fillLists();

    connect(outCombo, &QComboBox::activated, this, [this](int entry) {
        if (entry >= 0 && entry < outDevices.size()) {
            pendingOut = outDevices.at(entry).id;
            picked = true;
        }
    });
    connect(inCombo, &QComboBox::activated, this, [this](int entry) {
        if (entry >= 0 && entry < inDevices.size()) {
            pendingIn = inDevices.at(entry).id;
            picked = true;
        }
    });
}

void SetDeviceDialog::fillLists()
{
    // A device whose SysEx goes around its port (a USB instrument) says so in its tool tip.
    const auto fill = [this](QComboBox *box, const QList<MidiSystem::Device> &listed) {
        box->clear();
        for (const auto &device : listed) {
            box->addItem(device.name);
            const QString route = device.id.isBuiltIn() ? QString() : ports.directRoute(device.name);
            if (!route.isEmpty())
                box->setItemData(box->count() - 1, QStringLiteral("%1\nSysEx goes through the %2").arg(device.name, route),
                                 Qt::ToolTipRole);
        }
    };
    outDevices = ports.outputs();
    fill(outCombo, outDevices);
    inDevices = ports.inputs();
    fill(inCombo, inDevices);

    auto entryFor = [](const QList<MidiSystem::Device> &listed, MidiDevice device) {
        for (int i = 0; i < listed.size(); ++i)
            if (listed.at(i).id == device)
                return i;
        return -1;
    };
    outCombo->setCurrentIndex(entryFor(outDevices, pendingOut));
    inCombo->setCurrentIndex(entryFor(inDevices, pendingIn));
    readSelections();
}

void SetDeviceDialog::readSelections()
{
    const int out = outCombo->currentIndex();
    const int in = inCombo->currentIndex();
    pendingOut = out >= 0 ? outDevices.at(out).id : MidiDevice::none();
    pendingIn = in >= 0 ? inDevices.at(in).id : MidiDevice::none();
}

void SetDeviceDialog::refresh()
{
    // The default devices are the instrument, found afresh.
    const InstrumentFinder::Choice found = InstrumentFinder::find(ports.outputs(), ports.inputs());
    pendingOut = found.output;
    pendingIn = found.input;
    picked = false;
    refreshed = true;
    fillLists();
}

void SetDeviceDialog::accept()
{
    if (picked) {
        devices.choose(pendingOut, pendingIn);
    } else if (refreshed) {
        devices.followInstrument();
    } else {
        // Nothing picked: the devices shown stay in use, and so does the way they were chosen.
        devices.use(pendingOut, pendingIn);
    }
    QDialog::accept();
}
