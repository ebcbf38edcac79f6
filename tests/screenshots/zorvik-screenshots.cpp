// Makes the pictures of docs/screenshots/: the real windows on the offscreen platform, over a
// fresh library with the demo files and the built-in simulator as the instrument.
//
//   build/bin/zorvik-screenshots docs/screenshots
//
// The high-DPI picture comes from a second run of this program at twice the scale, as the scale
// factor only takes effect when the application starts.
#include "core/curve/CurveFile.h"
#include "core/curve/VelocityHistory.h"
#include "core/sim/InstrumentSimulator.h"
#include "devices/audio/OfflineAudioOutput.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Workspace.h"
#include "gui/curve/CalibrationPanel.h"
#include "gui/curve/CurveArea.h"
#include "gui/curve/VCurveDialog.h"
#include "gui/library/FileLibrary.h"
#include "gui/player/PlayerDialog.h"
#include "core/midi/DeviceSelection.h"
#include "support/FakePorts.h"
#include "support/FreshLibrary.h"
#include "support/ScriptedPrompts.h"
#include "support/SimulatedMidi.h"
#include "support/TestSongs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QListWidget>
#include <QMouseEvent>
#include <QProcess>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

namespace {

const QString twiceTheScale = QStringLiteral("--twice-the-scale");

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// Waits for a condition the event loop brings about; false after five seconds.
bool waitFor(const std::function<bool()> &done)
{
    return QTest::qWaitFor(done, 5000);
}

bool save(QWidget *widget, const QString &folder, const QString &name)
{
    QCoreApplication::processEvents();
    if (widget->grab().save(QDir(folder).filePath(name)))
        return true;
    err() << "cannot write " << QDir(folder).filePath(name) << Qt::endl;
    return false;
}

// The demo library's files, as a new user's library starts with them.
bool copyDemo(const FreshLibrary &library)
{
    const QString demo = QStringLiteral(ZORVIK_DEMO_DIR);
    QDirIterator files(demo, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString source = files.next();
        const QString target = library.path(source.mid(demo.size() + 1));
        if (!QDir().mkpath(QFileInfo(target).path()) || (!QFile::exists(target) && !QFile::copy(source, target)))
            return false;
    }
    return true;
}

// The editor with a song picked in the library. With the instrument on USB: its SysEx goes
// through the USB link, and the band says so.
bool mainWindow(const QString &folder, const QString &name, bool usbInstrument = false)
{
    FreshLibrary library;
    if (!library.isReady() || !copyDemo(library))
        return false;
    auto ports = std::make_shared<FakePorts::State>();
    if (usbInstrument) {
        const QString instrument = QStringLiteral("Zorvik K8 (USB)");
        ports->outputs = ports->inputs = ports->routed = {instrument};
    }
    SimulatedMidi midi(std::make_unique<FakePorts>(ports));
    ScriptedPrompts prompts;
    MainWindow window(library.location(), prompts);
    auto *workspace = new Workspace(window, midi, midi.simulator(), prompts);
    midi.devices().update();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    // Picked as a person does: its markers show beside it.
    QListWidget *songs = workspace->library().fileList();
    const QList<QListWidgetItem *> picked = songs->findItems(QStringLiteral("joystick-waltz.mid"), Qt::MatchExactly);
    if (picked.isEmpty())
        return false;
    QTest::mouseClick(songs->viewport(), Qt::LeftButton, {}, songs->visualItemRect(picked.first()).center());
    return save(&window, folder, name);
}

void mouse(QWidget *widget, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// The curve editor as a person uses it: curves dragged into shape and kept, a calibration's
// proposal, the velocity monitor after the simulator played notes.
bool curveEditor(const QString &folder)
{
    FreshLibrary library;
    if (!library.isReady() || !copyDemo(library))
        return false;
    SimulatedMidi midi;
    ScriptedPrompts prompts;
    VelocityMap map{};
    VCurveDialog editor(midi.sender(), midi.capture(), library.location(), prompts, map);
    editor.show();
    const auto click = [&](const char *name) {
        QTest::mouseClick(editor.findChild<QAbstractButton *>(QLatin1String(name)), Qt::LeftButton);
    };
    auto *area = editor.findChild<CurveArea *>(QStringLiteral("curveArea"));
    const auto drag = [&](QPoint from, QPoint to) {
        mouse(area, QEvent::MouseButtonPress, from);
        mouse(area, QEvent::MouseMove, (from + to) / 2);
        mouse(area, QEvent::MouseMove, to);
        mouse(area, QEvent::MouseButtonRelease, to);
    };
    drag({160, 200}, {180, 120});
    editor.runSlotCommand(VCurveDialog::SlotCommand::Keep, 0);
    editor.runSlotCommand(VCurveDialog::SlotCommand::Show, 0);
    click("newButton");
    drag({320, 200}, {300, 60});
    editor.runSlotCommand(VCurveDialog::SlotCommand::Keep, 1);
    editor.runSlotCommand(VCurveDialog::SlotCommand::Show, 1);
    click("newButton");
    drag({81, 300}, {60, 260});
    if (!save(&editor, folder, QStringLiteral("curve-editor-kept.png")))
        return false;

    // The player plays notes on the instrument while the calibration listens.
    click("calibrateButton");
    const VelocityHistory &notes = editor.findChild<CalibrationPanel *>(QStringLiteral("calibrationPanel"))->notes().history();
    const std::vector<int> played{22, 31, 47, 40, 58, 66, 61, 79, 88, 96, 104, 117};
    for (int velocity : played)
        midi.simulator().playNote(60, velocity);
    if (!waitFor([&] { return notes.count() == int(played.size()); })
        || !save(&editor, folder, QStringLiteral("curve-editor-calibration.png")))
        return false;
    click("calibrationCancel");

    click("realtimeBox");
    drag({400, 100}, {410, 80});
    click("monitorButton");
    for (int i = 0; i < 60; ++i)
        midi.simulator().playNote(60, (i * 37) % 128);
    return waitFor([&] { return editor.velocityHistory().count() == 60; })
           && save(&editor, folder, QStringLiteral("curve-editor-monitor.png"));
}

// The player over three songs of its own, the second one playing at 01:05, heard by no one.
bool player(const QString &folder)
{
    FreshLibrary library;
    if (!library.isReady())
        return false;
    // Written oldest first, so the list shows them newest first: c, b, a
    for (const auto &[name, seconds] : {std::pair{"a-100s.mid", 100.0}, {"b-200s.mid", 200.0}, {"c-400s.mid", 400.0}}) {
        if (!TestSongs::write(library.file(DataPaths::Folder::Mid, QLatin1String(name)), TestSongs::quiet(seconds)))
            return false;
        QThread::msleep(20);
    }
    ScriptedPrompts prompts;
    SongEngine::Options options;
    options.output = [] { return std::make_unique<OfflineAudioOutput>(); };
    PlayerDialog player(library.location(), prompts, PlayerInputs{PlayerMode::MidiSongs, 1}, options);
    player.show();
    player.play();
    player.engine().seekTo(65000);
    player.tick();
    return QTest::qWaitForWindowExposed(&player) && save(&player, folder, QStringLiteral("midiplayer.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    // The pictures are the offscreen platform's, the same on every machine.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool twice = arguments.removeAll(twiceTheScale) > 0;
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-'))) {
        err() << "usage: zorvik-screenshots FOLDER   (the pictures of docs/screenshots)" << Qt::endl;
        return 2;
    }
    const QString folder = arguments.first();
    if (!QDir().mkpath(folder)) {
        err() << "cannot make the folder " << folder << Qt::endl;
        return 1;
    }
    if (twice)
        return mainWindow(folder, QStringLiteral("main-window@2x.png")) ? 0 : 1;

    bool ok = mainWindow(folder, QStringLiteral("main-window.png"));
    ok = mainWindow(folder, QStringLiteral("main-window-usb-link.png"), true) && ok;
    ok = curveEditor(folder) && ok;
    ok = player(folder) && ok;

    QProcess highDpi;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    highDpi.setProcessEnvironment(environment);
    highDpi.setProcessChannelMode(QProcess::ForwardedChannels);
    highDpi.start(QCoreApplication::applicationFilePath(), {twiceTheScale, folder});
    ok = highDpi.waitForFinished(60000) && highDpi.exitStatus() == QProcess::NormalExit && highDpi.exitCode() == 0 && ok;
    if (!ok)
        err() << "not every picture could be made" << Qt::endl;
    return ok ? 0 : 1;
}
