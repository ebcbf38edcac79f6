#include "gui/panel/PanelCommands.h"

#include "core/base/PromptService.h"
#include "core/base/SafeFile.h"
#include "core/panel/TemplateCheck.h"
#include "core/transfer/SendPreparation.h"
#include "gui/library/FileLibrary.h"
#include "gui/library/ReceiveDialog.h"
#include "gui/library/TransferDialog.h"
#include "gui/panel/PanelComparisonWindow.h"
#include "gui/panel/PanelEditor.h"
#include "gui/panel/PanelHistory.h"
#include "gui/widgets/FilenamePrompt.h"

#include <QPushButton>

PanelCommands::PanelCommands(QWidget *owner, PanelEditor &panelEditor, FileLibrary &fileLibrary, TransferDialog &transferDialog,
                             MidiSystem &midiPorts, DeviceSelection &selection, MidiInCapture &inputCapture,
                             const LibraryLocation &libraryLocation, PromptService &promptService)
    : QObject(owner)
    , window(owner)
    , panel(panelEditor)
    , library(fileLibrary)
    , transfer(transferDialog)
    , ports(midiPorts)
    , devices(selection)
    , capture(inputCapture)
    , location(libraryLocation)
    , prompts(promptService)
{
}

bool PanelCommands::askYesNo(const QString &text, const QString &caption)
{
    return prompts.ask({text, caption, PromptService::Icon::Question, PromptService::Buttons::YesNo})
           == PromptService::Answer::Yes;
}

void PanelCommands::saveAndSend()
{
    // A value still being typed counts as typed, checked as on leaving its box.
    if (!panel.commitEditing())
        return;
    panel.storeBoxes();
    library.showKind(FileKind::Template);
    if (askYesNo(QStringLiteral("Save the current setting?"), QStringLiteral("Save Setting"))) {
        const auto name = FilenamePrompt::ask(prompts, window, location, DataPaths::Folder::Syx, QStringLiteral(".syx"));
        if (name) {
            if (saveTemplate(*name))
                panel.markUnchanged();
            library.showKind(FileKind::Template);
        }
    }
    if (askYesNo(QStringLiteral("Send the setting to Zorvik now?"), QStringLiteral("Update")))
        sendTemplate();
}

bool PanelCommands::saveTemplate(const QString &name)
{
    const QString path = location.file(DataPaths::Folder::Syx, name + QStringLiteral(".syx"));
    const QString error = SafeFile::write(path, panel.settings().buildTemplateSysEx());
    if (!error.isEmpty()) {
        prompts.inform(error, QStringLiteral("Zorvik Halden"), PromptService::Icon::Stop);
        return false;
    }
    return true;
}

void PanelCommands::sendTemplate()
{
    transfer.run(FileKind::Template, panel.settings().buildTemplateSysEx());
    // The panel cannot change while the transfer window is open.
    if (transfer.delivered())
        panel.markUnchanged();
}

void PanelCommands::resetToDefaults()
{
    // A refused value stops the command before its question, as for every panel command.
    if (!panel.commitEditing())
        return;
    if (askYesNo(QStringLiteral("Reset the panel setting to default?"), QStringLiteral("Default"))) {
        panel.resetBoxes();
        panel.history().record(PanelStep::Kind::Default);
    }
}

bool PanelCommands::mayQuit()
{
    if (!panel.commitEditing())
        return false;
    return !panel.hasUnsavedChanges() || askYesNo(quitQuestion, QStringLiteral("Zorvik Halden"));
}

bool PanelCommands::applyTemplate(const QByteArray &bytes, const QString &name, PanelStep::Kind step)
{
    // Only a whole template reaches the panel: the rest of a short or cut one would be taken
    // from whatever was there before.
    const QString why = TemplateCheck::problem(bytes);
    if (!why.isEmpty() || !panel.settings().applyTemplateSysEx(bytes)) {
        prompts.inform(QStringLiteral("\"%1\" is not a template: %2 The panel is unchanged.").arg(name, why), {},
                       PromptService::Icon::Warning);
        return false;
    }
    panel.showSlots();
    panel.history().record(step, {PanelState::channelBox, PanelSettings::Field::Channel, name});
    panel.markUnchanged();
    return true;
}

void PanelCommands::loadTemplate(const QString &fileName)
{
    if (!panel.commitEditing())
        return;
    QByteArray bytes;
    if (readTemplateFile(fileName, &bytes))
        applyTemplate(bytes, fileName, PanelStep::Kind::Load);
}

void PanelCommands::compareTemplate(const QString &fileName)
{
    if (!panel.commitEditing())
        return;
    QByteArray bytes;
    if (!readTemplateFile(fileName, &bytes) || !compare(bytes, QStringLiteral("\"%1\"").arg(fileName), QStringLiteral("in the file"), window))
        return;
    connect(comparison, &PanelComparisonWindow::loadRequested, this, [this, fileName] { loadTemplate(fileName); });
}

bool PanelCommands::compare(const QByteArray &bytes, const QString &name, const QString &where, QWidget *parent)
{
    const QString why = TemplateCheck::problem(bytes);
    if (!why.isEmpty()) {
        prompts.inform(QStringLiteral("%1%2 is not a template: %3 There is nothing to compare.").arg(name.left(1).toUpper(), name.mid(1), why), {},
                       PromptService::Icon::Warning);
        return false;
    }
    // One comparison at a time: two sets of marks on the panel could not be told apart.
    if (comparison)
        comparison->close();
    comparison = new PanelComparisonWindow(panel, bytes, name, where, parent);
    comparison->show();
    return true;
}

bool PanelCommands::readTemplateFile(const QString &fileName, QByteArray *bytes)
{
    const SafeFile::ReadResult file = DataPaths::isSafeFileName(fileName)
                                          ? SafeFile::read(location.file(DataPaths::Folder::Syx, fileName),
                                                           SendPreparation::maxTemplateFileSize)
                                          : SafeFile::ReadResult{};
    if (file.status == SafeFile::ReadResult::Status::CannotOpen) {
        prompts.inform(QStringLiteral("The file has mangled!"));
        return false;
    }
    if (file.status == SafeFile::ReadResult::Status::TooLarge) {
        prompts.inform(QStringLiteral("\"%1\" is not a template: it is far too large. The panel is unchanged.").arg(fileName),
                       {}, PromptService::Icon::Warning);
        return false;
    }
    *bytes = file.bytes;
    return true;
}

void PanelCommands::receiveAndLoad()
{
    if (!panel.commitEditing())
        return;
    library.showKind(FileKind::Template);
    ReceiveDialog dialog(ports, devices, capture, location, prompts, window);
    // The comparison belongs to the dialog: the panel behind it cannot be used meanwhile.
    connect(&dialog, &ReceiveDialog::compareRequested, this, [this, &dialog](const QByteArray &received) {
        if (compare(received, QStringLiteral("the received data"), QStringLiteral("in the dump"), &dialog))
            connect(comparison, &PanelComparisonWindow::loadRequested, dialog.loadButton(), &QPushButton::click);
    });
    const std::optional<QByteArray> dump = dialog.run();
    if (dump)
        applyTemplate(*dump, QStringLiteral("The received data"), PanelStep::Kind::Receive);
    library.showKind(FileKind::Template);
}
