#include "core/panel/PanelSettings.h"
#include "gui/widgets/HyperLinkLabel.h"
#include "gui/widgets/PercentProgress.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinLayout.h"
#include "gui/widgets/SkinResources.h"
#include "support/ScriptedPrompts.h"

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTest>

namespace {

const QColor magenta(255, 0, 255);

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

void sendMove(QWidget *w, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

bool isGrey(QRgb pixel)
{
    return qAbs(qRed(pixel) - qGreen(pixel)) <= 2 && qAbs(qGreen(pixel) - qBlue(pixel)) <= 2;
}

} // namespace

class TestSkinWidgets : public QObject
{
    Q_OBJECT

private slots:
    void artworkTableResolvesEveryNumber();
    void artworkRendersAtDevicePixelRatio();
    void skinArtworkMatchesLayout();
    void layoutKeepsBoxesApart();

    void hoverPictureUnderMouse();
    void hoverIgnoresDragFromOutside();
    void shiftColourLimits_data();
    void shiftColourLimits();
    void disabledButtonIsGreyedAndGivesUpFocus();
    void checkBoxModeAndEnter();
    void unreadablePictureReleasesBoth();

    void progressPercentageAndRange();
    void progressRepaintsOnce();
    void progressTextReplacesPercentage();
    void progressAndLinkSayWhatTheyShow();

    void linkShowsAddressAndColours();
    void linkFallsBackBeforeReporting();
    void linkErrorTexts();
    void linkFitsToText();
};

void TestSkinWidgets::artworkTableResolvesEveryNumber()
{
    const QList<int> ids = SkinResources::ids();
    QVERIFY(ids.size() >= 70);
    for (int id : ids) {
        QVERIFY2(!SkinResources::pixmap(id).isNull(), qPrintable(QString::number(id)));
        QCOMPARE(ids.count(id), 1);
    }
    QCOMPARE(SkinResources::size(SkinResources::Skin), QSize(899, 575));
    using R = SkinResources;
    for (int id : {R::SaveHover, R::SaveNormal, R::DefaultHover, R::DefaultNormal, R::CurveHover, R::CurveNormal,
                   R::DeviceNormal, R::DeviceHover, R::HelpHover, R::HelpNormal, R::WebHover, R::WebNormal,
                   R::ReceiveHover, R::ReceiveNormal, R::AboutNormal, R::AboutHover})
        QCOMPARE(SkinResources::size(id), QSize(51, 23));
    for (int id : {R::MinimiseNormal, R::CloseHover, R::CloseNormal, R::MinimiseHover})
        QCOMPARE(SkinResources::size(id), QSize(23, 23));
    for (int id : {R::StepDownHover, R::StepDownNormal, R::StepUpHover, R::StepUpNormal})
        QCOMPARE(SkinResources::size(id), QSize(15, 9));
    // Knob 4 and Pad 7 have the odd numbers in the plain sets.
    QCOMPARE(SkinResources::knobPicture(3, false), int(R::Knob4));
    QCOMPARE(SkinResources::padPicture(6, false), int(R::Pad7));
    QCOMPARE(SkinResources::knobPicture(7, true), int(R::KnobLit8));
    QCOMPARE(SkinResources::padPicture(0, true), int(R::PadLit1));
    QCOMPARE(SkinResources::knobPicture(8, false), 0);
    QVERIFY(SkinResources::pixmap(R::Knob3 + 1).isNull());   // the gaps in the numbers name nothing
    QVERIFY(SkinResources::pixmap(R::Pad6 + 1).isNull());
    QVERIFY(SkinResources::path(9999).isEmpty());

    // A contact sheet of the small pictures at 3x, for a person to look over.
    QImage sheet(1400, 1000, QImage::Format_ARGB32);
    sheet.fill(QColor(90, 90, 90));
    QPainter painter(&sheet);
    int x = 4, y = 4, rowHeight = 0;
    for (int id : ids) {
        if (id == SkinResources::Skin)
            continue;
        const QPixmap p = SkinResources::pixmap(id, 3.0);
        const QSize s = p.size();
        if (x + s.width() > sheet.width()) {
            x = 4;
            y += rowHeight + 4;
            rowHeight = 0;
        }
        QImage picture = p.toImage();
        picture.setDevicePixelRatio(1.0);
        painter.drawImage(QPoint(x, y), picture);
        x += s.width() + 4;
        rowHeight = qMax(rowHeight, s.height());
    }
    painter.end();
    if (const QString shots = qEnvironmentVariable("ZORVIK_SCREENSHOTS"); !shots.isEmpty())
        QVERIFY(sheet.save(shots + QStringLiteral("/artwork-sheet.png")));
}

void TestSkinWidgets::artworkRendersAtDevicePixelRatio()
{
    const QPixmap one = SkinResources::pixmap(SkinResources::SaveNormal, 1.0);
    const QPixmap two = SkinResources::pixmap(SkinResources::SaveNormal, 2.0);
    QCOMPARE(one.size(), QSize(51, 23));
    QCOMPARE(two.size(), QSize(102, 46));
    QCOMPARE(two.devicePixelRatio(), 2.0);
    // Real detail at 2x, not an upscaled copy: some 2x2 block is not one flat colour.
    const QImage big = two.toImage();
    bool detail = false;
    for (int y = 0; y + 1 < big.height() && !detail; y += 2)
        for (int x = 0; x + 1 < big.width() && !detail; x += 2)
            detail = big.pixel(x, y) != big.pixel(x + 1, y + 1) && big.pixel(x, y) != big.pixel(x + 1, y);
    QVERIFY(detail);
}

void TestSkinWidgets::skinArtworkMatchesLayout()
{
    QSvgRenderer svg(QStringLiteral(ZORVIK_SKIN_SVG));
    QVERIFY(svg.isValid());
    QCOMPARE(svg.defaultSize(), SkinLayout::skinSize);
    const auto bounds = [&](const QString &id) { return svg.boundsOnElement(id).toAlignedRect(); };
    for (int slot = 0; slot < SkinLayout::slotCount; ++slot)
        for (int field = 0; field < SkinLayout::boxesPerSlot; ++field)
            QCOMPARE(bounds(QStringLiteral("box-%1-%2").arg(slot).arg(field)), SkinLayout::slotBox(slot, field));
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(bounds(QStringLiteral("pic-knob%1").arg(i + 1)), SkinLayout::controlPicture(PanelSettings::Knob1 + i));
        QCOMPARE(bounds(QStringLiteral("pic-pad%1").arg(i + 1)), SkinLayout::controlPicture(PanelSettings::Pad1 + i));
    }
    for (int direction = PanelSettings::JoystickUp; direction <= PanelSettings::JoystickRight; ++direction)
        QCOMPARE(bounds("pic-joystick"), SkinLayout::controlPicture(direction));
    QCOMPARE(bounds("pic-pedal"), SkinLayout::controlPicture(PanelSettings::Pedal));
    QCOMPARE(bounds("name-list"), SkinLayout::nameList());
    QCOMPARE(bounds("mode-button"), SkinLayout::modeButton());
    QCOMPARE(bounds("channel"), SkinLayout::channelBox());
    QCOMPARE(bounds("marker-list"), SkinLayout::markerList());
    QCOMPARE(bounds("file-combo"), SkinLayout::fileTypeCombo());
    QCOMPARE(bounds("file-list"), SkinLayout::fileList());
    QCOMPARE(bounds("area-knobs"), SkinLayout::area(SkinLayout::Area::Knobs));
    QCOMPARE(bounds("area-library"), SkinLayout::area(SkinLayout::Area::Library));
    // Pictures at the sizes the layout gives them.
    QCOMPARE(SkinResources::size(SkinResources::knobPicture(0, false)),
             SkinLayout::controlPicture(PanelSettings::Knob1).size());
    QCOMPARE(SkinResources::size(SkinResources::padPicture(0, true)), SkinLayout::controlPicture(PanelSettings::Pad1).size());
    QCOMPARE(SkinResources::size(SkinResources::Joystick), SkinLayout::controlPicture(PanelSettings::JoystickUp).size());
    QCOMPARE(SkinResources::size(SkinResources::Pedal), SkinLayout::controlPicture(PanelSettings::Pedal).size());
    QCOMPARE(SkinResources::size(SkinResources::SlotBoxBackground), SkinLayout::boxSize);
    QCOMPARE(SkinResources::size(SkinResources::ChannelBoxBackground), SkinLayout::channelBox().size());
    QCOMPARE(SkinResources::size(SkinResources::ModeController), SkinLayout::modeButton().size());
}

void TestSkinWidgets::layoutKeepsBoxesApart()
{
    QList<QRect> taken;
    for (int slot = 0; slot < SkinLayout::slotCount; ++slot)
        for (int field = 0; field < SkinLayout::boxesPerSlot; ++field)
            taken.append(SkinLayout::slotBox(slot, field));
    for (int slot : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 20})
        taken.append(SkinLayout::controlPicture(slot));
    taken << SkinLayout::nameList() << SkinLayout::modeButton() << SkinLayout::channelBox()
          << SkinLayout::channelUp() << SkinLayout::channelDown() << SkinLayout::markerList()
          << SkinLayout::fileTypeCombo() << SkinLayout::fileList();
    for (int b = 0; b <= static_cast<int>(SkinLayout::Button::Close); ++b)
        taken.append(SkinLayout::button(static_cast<SkinLayout::Button>(b)));
    const QRect skin(QPoint(0, 0), SkinLayout::skinSize);
    for (int i = 0; i < taken.size(); ++i) {
        QVERIFY(skin.contains(taken[i]));
        for (int j = i + 1; j < taken.size(); ++j)
            QVERIFY2(!taken[i].intersects(taken[j]), qPrintable(QStringLiteral("rects %1 and %2 overlap").arg(i).arg(j)));
    }
    QVERIFY(SkinLayout::slotBox(21, 0).isNull());
    QVERIFY(SkinLayout::slotBox(0, 6).isNull());
    // The template's 598 x 384 units are the skin.
    QCOMPARE(SkinLayout::fromDialogUnits(0, 0, 598, 384).size(), QSize(897, 576));
}

void TestSkinWidgets::hoverPictureUnderMouse()
{
    QWidget parent;
    parent.resize(100, 60);
    auto *b = new SkinButton(&parent);
    QCOMPARE(b->setStateBitmaps(SkinResources::SaveHover, magenta, SkinResources::SaveNormal, magenta), 0);
    b->setParentBackground(true);
    b->setGeometry(10, 10, 51, 23);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));

    const QImage atRest = b->grab().toImage();
    const QImage normal = SkinResources::pixmap(SkinResources::SaveNormal).toImage();
    const QImage hover = SkinResources::pixmap(SkinResources::SaveHover).toImage();
    const QPoint probe(1, 11);   // on the button's frame line, which lights up under the mouse
    QVERIFY(normal.pixel(probe) != hover.pixel(probe));
    QCOMPARE(atRest.pixel(probe), normal.pixel(probe));

    QVERIFY(b->tracksAlways());
    sendMove(b, {20, 10});
    QVERIFY(b->isHovered());
    QCOMPARE(b->grab().toImage().pixel(probe), hover.pixel(probe));

    // Leaving, losing the button, or disabling drops the hover.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(b, &leave);
    QVERIFY(!b->isHovered());
    QCOMPARE(b->grab().toImage().pixel(probe), normal.pixel(probe));
    sendMove(b, {20, 10});
    QVERIFY(b->isHovered());
    sendMove(b, {60, 10});   // outside while the mouse is still grabbed
    QVERIFY(!b->isHovered());
    sendMove(b, {20, 10});
    b->setEnabled(false);
    QVERIFY(!b->isHovered());
}

void TestSkinWidgets::hoverIgnoresDragFromOutside()
{
    QWidget parent;
    auto *b = new SkinButton(&parent);
    b->setStateBitmaps(SkinResources::HelpHover, magenta, SkinResources::HelpNormal, magenta);
    b->setGeometry(0, 0, 51, 23);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(b, &leave);
    // A drag that started elsewhere does not light the button.
    sendMove(b, {10, 10}, Qt::LeftButton);
    QVERIFY(!b->isHovered());
    sendMove(b, {10, 10});
    QVERIFY(b->isHovered());
    // Once lit it stays lit while the button is held over it.
    sendMove(b, {12, 10}, Qt::LeftButton);
    QVERIFY(b->isHovered());
    // Buttons with a frame do not track at all.
    b->setFlat(false);
    QApplication::sendEvent(b, &leave);
    sendMove(b, {10, 10});
    QVERIFY(!b->isHovered());
}

void TestSkinWidgets::shiftColourLimits_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QColor>("start");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("result");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("headroom 25 at 230") << 0 << QColor(230, 100, 10) << 50 << 0 << QColor(255, 125, 35);
    QTest::newRow("full offset") << 0 << QColor(100, 100, 100) << 50 << 0 << QColor(150, 150, 150);
    QTest::newRow("negative limited by 30") << 2 << QColor(30, 100, 200) << -50 << 0 << QColor(0, 70, 170);
    QTest::newRow("already white") << 5 << QColor(255, 0, 0) << 10 << 0 << QColor(255, 0, 0);
    QTest::newRow("offset 255 allowed") << 1 << QColor(0, 0, 0) << 255 << 0 << QColor(255, 255, 255);
    QTest::newRow("offset -255 allowed") << 1 << QColor(255, 255, 255) << -255 << 0 << QColor(0, 0, 0);
    QTest::newRow("slot 6") << 6 << QColor(1, 2, 3) << 5 << 3 << QColor();
    QTest::newRow("slot -1") << -1 << QColor(1, 2, 3) << 5 << 3 << QColor();
    QTest::newRow("offset 256") << 0 << QColor(1, 2, 3) << 256 << 5 << QColor(1, 2, 3);
    QTest::newRow("offset -256") << 0 << QColor(1, 2, 3) << -256 << 5 << QColor(1, 2, 3);
}

void TestSkinWidgets::shiftColourLimits()
{
    QFETCH(int, slot);
    QFETCH(QColor, start);
    QFETCH(int, offset);
    QFETCH(int, result);
    QFETCH(QColor, expected);
    SkinButton b;
    b.setColour(slot, start);
    QCOMPARE(b.shiftColour(slot, offset, false), result);
    QCOMPARE(b.colour(slot), expected);
}

void TestSkinWidgets::disabledButtonIsGreyedAndGivesUpFocus()
{
    QWidget parent;
    auto *first = new SkinButton(&parent);
    auto *second = new SkinButton(&parent);
    first->setStateBitmaps(SkinResources::SaveHover, magenta, SkinResources::SaveNormal, magenta);
    first->setParentBackground(true);
    first->setGeometry(0, 0, 51, 23);
    second->setGeometry(60, 0, 51, 23);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    parent.activateWindow();
    first->setFocus();
    QTRY_VERIFY(first->hasFocus());

    // The accent line of the picture is coloured; disabled, it must be grey.
    const QImage enabled = first->grab().toImage();
    first->setEnabled(false);
    QVERIFY(!first->hasFocus());
    QVERIFY(second->hasFocus());
    const QImage disabled = first->grab().toImage();
    bool anyColour = false;
    for (int y = 0; y < disabled.height(); ++y)
        for (int x = 0; x < disabled.width(); ++x)
            if (qAlpha(disabled.pixel(x, y)) == 255 && !isGrey(disabled.pixel(x, y)))
                anyColour = true;
    QVERIFY(!anyColour);
    QVERIFY(disabled != enabled);
}

void TestSkinWidgets::checkBoxModeAndEnter()
{
    SkinButton b;
    b.setStateBitmaps(SkinResources::ModeNote, magenta, SkinResources::ModeController, magenta);
    b.resize(12, 33);
    QSignalSpy clicks(&b, &SkinButton::clicked);
    b.setTickState(1);
    QCOMPARE(b.tickState(), 0);   // not in check-box mode: no tick
    b.setCheckBoxMode(true);
    b.setTickState(2);
    QCOMPARE(b.tickState(), 1);
    b.setTickState(3);
    QCOMPARE(b.tickState(), 0);
    b.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b));
    QTest::mouseClick(&b, Qt::LeftButton);
    QCOMPARE(b.tickState(), 1);
    // A ticked button shows its hover picture.
    QCOMPARE(b.grab().toImage().pixel(5, 5), SkinResources::pixmap(SkinResources::ModeNote).toImage().pixel(5, 5));
    // A double click counts as two clicks.
    const QPoint at(5, 5);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, b.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&b, &e);
    }
    QCOMPARE(clicks.count(), 3);
    QCOMPARE(b.tickState(), 1);
    QTest::keyClick(&b, Qt::Key_Return);
    QCOMPARE(clicks.count(), 4);
}

void TestSkinWidgets::unreadablePictureReleasesBoth()
{
    SkinButton b;
    QCOMPARE(b.setStateBitmaps(SkinResources::SaveHover, magenta, SkinResources::SaveNormal, magenta), 0);
    QCOMPARE(b.sizeHint(), QSize(51, 23));
    QCOMPARE(b.setStateBitmaps(SkinResources::SaveHover, magenta, 9999, magenta), 1);
    QVERIFY(b.sizeHint() != QSize(51, 23));
    // The normal picture may be absent: the hover picture then serves at rest.
    QCOMPARE(b.setStateBitmaps(SkinResources::CloseHover, magenta, 0, magenta), 0);
    QCOMPARE(b.sizeHint(), QSize(23, 23));
}

void TestSkinWidgets::progressPercentageAndRange()
{
    PercentProgress bar;
    bar.resize(200, 16);
    bar.setBarColour(QColor(0, 128, 0));
    bar.setBackgroundColour(QColor(255, 255, 255));
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    bar.setRange(0, 1);
    QCOMPARE(bar.setPos(0), 0);
    QCOMPARE(bar.shownText(), QStringLiteral("0%"));
    QCOMPARE(bar.filledWidth(), 0);
    QCOMPARE(bar.setPos(1), 0);
    QCOMPARE(bar.shownText(), QStringLiteral("100%"));
    QCOMPARE(bar.filledWidth(), 200);
    QImage image = bar.grab().toImage();
    QCOMPARE(image.pixelColor(199, 1), QColor(0, 128, 0));

    bar.setRange(0, 3);
    bar.setPos(1);
    QCOMPARE(bar.shownText(), QStringLiteral("33%"));
    QCOMPARE(bar.filledWidth(), 66);
    image = bar.grab().toImage();
    QCOMPARE(image.pixelColor(65, 1), QColor(0, 128, 0));
    QCOMPARE(image.pixelColor(66, 1), QColor(255, 255, 255));

    // A position past the end still paints inside the control.
    bar.setPos(7);
    image = bar.grab().toImage();
    QCOMPARE(image.pixelColor(199, 1), QColor(0, 128, 0));
}

void TestSkinWidgets::progressRepaintsOnce()
{
    PercentProgress bar;
    bar.resize(200, 16);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QCoreApplication::processEvents();
    PaintCounter counter;
    bar.installEventFilter(&counter);
    bar.setPos(50);
    QCOMPARE(counter.count, 1);   // at once, not later
    bar.setPos(50);
    QCOMPARE(counter.count, 1);
    bar.setPos(50);               // same width from another position does not repaint either
    bar.resize(100, 16);
    QCoreApplication::processEvents();
    const int afterResize = counter.count;
    bar.setPos(50);               // a resize forgets the width
    QCOMPARE(counter.count, afterResize + 1);
    QCOMPARE(bar.setPos(60), 50);
}

void TestSkinWidgets::progressTextReplacesPercentage()
{
    PercentProgress bar;
    bar.resize(120, 16);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    bar.setPos(40);
    bar.setText(QStringLiteral("Receiving"));
    QCOMPARE(bar.shownText(), QStringLiteral("Receiving"));
    bar.setPos(90);
    QCOMPARE(bar.shownText(), QStringLiteral("Receiving"));
    PaintCounter counter;
    bar.installEventFilter(&counter);
    bar.setText(QStringLiteral("Receiving"));
    QCOMPARE(counter.count, 0);
    bar.setText(QString());
    QCOMPARE(counter.count, 1);
    QCOMPARE(bar.shownText(), QStringLiteral("90%"));
    // An empty range writes nothing and paints nothing.
    bar.setRange(5, 5);
    QCOMPARE(bar.filledWidth(), 0);
}

// A screen reader hears what the bar writes and where the link goes.
void TestSkinWidgets::progressAndLinkSayWhatTheyShow()
{
    PercentProgress bar;
    bar.resize(120, 16);
    bar.setRange(0, 4);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QAccessibleInterface *said = QAccessible::queryAccessibleInterface(&bar);
    QVERIFY(said);
    QCOMPARE(said->text(QAccessible::Name), QStringLiteral("Progress"));
    QCOMPARE(said->text(QAccessible::Description), QStringLiteral("0%"));
    bar.setPos(3);
    QCOMPARE(said->text(QAccessible::Description), QStringLiteral("75%"));
    bar.setText(QStringLiteral("Receiving"));
    QCOMPARE(said->text(QAccessible::Description), QStringLiteral("Receiving"));

    ScriptedPrompts prompts;
    HyperLinkLabel label(prompts);
    label.setLink(QStringLiteral("https://www.zorvik.example/"));
    QAccessibleInterface *link = QAccessible::queryAccessibleInterface(&label);
    QVERIFY(link);
    QCOMPARE(link->text(QAccessible::Name), QStringLiteral("https://www.zorvik.example/"));
    QCOMPARE(link->text(QAccessible::Description), QStringLiteral("Opens https://www.zorvik.example/ in the web browser"));
}

void TestSkinWidgets::linkShowsAddressAndColours()
{
    ScriptedPrompts prompts;
    HyperLinkLabel label(prompts);
    int opened = 0;
    int result = 33;
    label.setLauncher({[&](const QUrl &url) {
                           ++opened;
                           return url.toString() == QStringLiteral("https://www.zorvik.example/") ? result : 2;
                       },
                       [&](const QString &) { return result; }});
    label.setLink(QStringLiteral("https://www.zorvik.example/"));
    QCOMPARE(label.text(), QStringLiteral("https://www.zorvik.example/"));
    QCOMPARE(label.toolTip(), label.link());
    QVERIFY(label.font().underline());
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(0, 0, 238));
    QVERIFY(!label.isVisited());

    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(opened, 1);
    QVERIFY(label.isVisited());
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(85, 26, 139));
    QVERIFY(prompts.asked.isEmpty());

    // A later failure does not take the visited colour away.
    result = 0;
    prompts.queue(PromptService::Answer::Ok);
    label.openLink();
    QVERIFY(label.isVisited());
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(85, 26, 139));
    QCOMPARE(prompts.asked.size(), 1);

    // A label with its own text keeps it and takes it as the address.
    HyperLinkLabel named(prompts, QStringLiteral("https://a.example/"));
    QCOMPARE(named.link(), QStringLiteral("https://a.example/"));
}

void TestSkinWidgets::linkFallsBackBeforeReporting()
{
    ScriptedPrompts prompts;
    HyperLinkLabel label(prompts);
    label.setLink(QStringLiteral("https://www.zorvik.example/"));
    QStringList calls;
    int fallbackResult = 42;
    label.setLauncher({[&](const QUrl &) {
                           calls << QStringLiteral("open");
                           return 31;
                       },
                       [&](const QString &command) {
                           calls << command;
                           return fallbackResult;
                       }});
    QCOMPARE(label.openLink(), 42);
    QCOMPARE(calls, QStringList({QStringLiteral("open"), QStringLiteral("sensible-browser https://www.zorvik.example/")}));
    QVERIFY(prompts.asked.isEmpty());
    QVERIFY(label.isVisited());

    HyperLinkLabel other(prompts);
    other.setLink(QStringLiteral("https://b.example/"));
    calls.clear();
    fallbackResult = 2;
    other.setLauncher({[&](const QUrl &) {
                           calls << QStringLiteral("open");
                           return 31;
                       },
                       [&](const QString &command) {
                           calls << command;
                           return fallbackResult;
                       }});
    QCOMPARE(other.openLink(), 2);
    QCOMPARE(calls.size(), 2);
    QCOMPARE(prompts.asked.size(), 1);
    QCOMPARE(prompts.asked[0].text, QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));
    QCOMPARE(prompts.asked[0].icon, PromptService::Icon::Warning);
    QVERIFY(prompts.asked[0].caption.isEmpty());
    QVERIFY(!other.isVisited());
}

void TestSkinWidgets::linkErrorTexts()
{
    // A code without a text of its own is named, whatever its value.
    QCOMPARE(HyperLinkLabel::errorText(1), QStringLiteral("Unknown Error (1) occurred."));
    QCOMPARE(HyperLinkLabel::errorText(-7), QStringLiteral("Unknown Error (-7) occurred."));
}

void TestSkinWidgets::linkFitsToText()
{
    ScriptedPrompts prompts;
    QWidget parent;
    auto *left = new HyperLinkLabel(prompts, &parent);
    left->setGeometry(10, 10, 300, 40);
    left->setLink(QStringLiteral("https://c.example/"));
    const QSize text = left->fontMetrics().size(Qt::TextSingleLine, left->text());
    QCOMPARE(left->geometry(), QRect(10, 10, text.width(), text.height()));

    auto *centred = new HyperLinkLabel(prompts, &parent);
    centred->setAlignment(Qt::AlignCenter);
    centred->setGeometry(10, 200, 300, 40);
    centred->setLink(QStringLiteral("https://c.example/"));
    QCOMPARE(centred->geometry().center().x(), QRect(10, 200, 300, 40).center().x());
    QCOMPARE(centred->height(), text.height());

    auto *right = new HyperLinkLabel(prompts, &parent);
    right->setAlignment(Qt::AlignRight | Qt::AlignTop);
    right->setGeometry(10, 60, 300, 40);
    right->setLink(QStringLiteral("https://c.example/"));
    QCOMPARE(right->geometry().right(), 309);
    QCOMPARE(right->width(), text.width());

    auto *fixed = new HyperLinkLabel(prompts, &parent);
    fixed->setFitToText(false);
    fixed->setGeometry(10, 110, 300, 40);
    fixed->setLink(QStringLiteral("https://c.example/"));
    QCOMPARE(fixed->geometry(), QRect(10, 110, 300, 40));
}

QTEST_MAIN(TestSkinWidgets)
#include "tst_SkinWidgets.moc"
