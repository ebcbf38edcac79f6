#include "gui/curve/CurveDeviceCommands.h"

#include "core/base/PromptService.h"
#include "core/curve/CurveEditorModel.h"
#include "core/curve/CurveSysEx.h"
#include "core/curve/VelocityHistory.h"
#include "core/midi/MidiInCapture.h"
#include "gui/curve/CalibrationPanel.h"
#include "gui/curve/SendVCurveDialog.h"

#include <QWidget>

CurveDeviceCommands::CurveDeviceCommands(SysExSender &sysExSender, MidiInCapture &inputCapture,
                                         PromptService &promptService, CurveEditorModel &editorModel,
                                         VelocityHistory &velocityHistory, CalibrationPanel &calibrationPanel,
                                         QWidget &editorWindow)
    : sender(sysExSender)
    , capture(inputCapture)
    , prompts(promptService)
    , model(editorModel)
    , history(velocityHistory)
    , calibration(calibrationPanel)
    , window(editorWindow)
    , sendDialog(new SendVCurveDialog(sender, prompts, model.map(), &window))
{
    connect(&capture, &MidiInCapture::shortMessage, this, &CurveDeviceCommands::onShortMessage);
    connect(&calibration, &CalibrationPanel::proposalChanged, this, [this] {
        if (!calibrationRunning)
            return;
        const VelocityCalibration::Proposal &offered = calibration.proposal();
        model.proposal = offered.proposed() ? std::optional(offered.curve) : std::nullopt;
        emit proposalChanged();
    });
    connect(&calibration, &CalibrationPanel::acceptRequested, this, [this] { finishCalibration(true); });
    connect(&calibration, &CalibrationPanel::cancelRequested, this, [this] { finishCalibration(false); });
}

CurveDeviceCommands::~CurveDeviceCommands()
{
    if (monitoring)
        capture.close(&window);
}

void CurveDeviceCommands::sendRealtime()
{
    emit realtimeSendStarted();
    emit realtimeSendFinished(CurveSysEx::send(sender, prompts, model.map()));
}

void CurveDeviceCommands::send()
{
    sendDialog->exec();
}

void CurveDeviceCommands::sendKept(int slot)
{
    if (model.keptCurves.at(slot).holdsCurve())
        sendDialog->sendMap(model.slotMap(slot));
}

void CurveDeviceCommands::toggleMonitor()
{
    if (monitoring)
        closeMonitor();
    else
        openMonitor();
}

void CurveDeviceCommands::openMonitor()
{
    monitoring = true;
    emit monitorChanged(true);
    if (!capture.open(&window, MidiInCapture::Mode::ShortMessages)) {
        prompts.inform(inputErrorText, {}, PromptService::Icon::Stop);
        closeMonitor();
    }
}

void CurveDeviceCommands::closeMonitor()
{
    monitoring = false;
    emit monitorChanged(false);
    capture.close(&window);
}

void CurveDeviceCommands::startCalibration()
{
    if (calibrationRunning)
        return;
    // The calibration holds the input while it runs; the monitor's capture ends here.
    if (!calibration.start()) {
        prompts.inform(inputErrorText, {}, PromptService::Icon::Stop);
        if (monitoring)
            closeMonitor();   // its input is gone as well
        return;
    }
    calibrationRunning = true;
    emit calibrationChanged(true);
}

void CurveDeviceCommands::finishCalibration(bool accept)
{
    if (!calibrationRunning)
        return;
    calibrationRunning = false;
    calibration.stop();
    emit calibrationChanged(false);
    const bool taken = accept && model.acceptProposal();
    model.proposal.reset();
    if (taken)
        emit curveChanged();
    else
        emit proposalChanged();   // nothing else changed
    // The window and the input go back to what the monitor had.
    if (monitoring)
        openMonitor();
    else
        closeMonitor();
    if (taken && model.realtimeOn)
        sendRealtime();
}

void CurveDeviceCommands::finish()
{
    finishCalibration(false);
    // The monitor's input ends with the editor, not at some later opening.
    if (monitoring)
        closeMonitor();
}

void CurveDeviceCommands::onShortMessage(quint8 status, quint8 data1, quint8 data2)
{
    if (!capture.isOpenFor(&window))
        return;
    if (history.record(status | std::uint32_t(data1) << 8 | std::uint32_t(data2) << 16))
        emit noteRecorded();
}
