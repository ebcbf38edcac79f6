#include "core/curve/CurveEditorModel.h"
#include "core/curve/CurveSysEx.h"
#include "core/curve/VelocityHistory.h"

#include <QTest>

namespace {

using M = CurveEditorModel;

int x(int source)
{
    return M::toX(source);
}

} // namespace

class TestCurveEditorModel : public QObject
{
    Q_OBJECT

private slots:
    void curveMessageLayout()
    {
        VelocityMap map{};
        for (int s = 0; s < 128; ++s)
            map[std::size_t(s)] = s == 126 ? 0x1A5 : s + 1;   // entry 126 shows the low-8-bit rule
        const std::vector<std::uint8_t> message = CurveSysEx::build(map);
        QCOMPARE(message.size(), std::size_t(141));
        const std::vector<std::uint8_t> header{0xF0, 0x00, 0x20, 0x63, 0x00, 0x01, 0x00,
                                               0x05, 0x00, 0x18, 0x00, 0x01, 0x89};
        QVERIFY(std::equal(header.begin(), header.end(), message.begin()));
        QCOMPARE(message[13], std::uint8_t(1));
        QCOMPARE(message[138], std::uint8_t(126));
        QCOMPARE(message[139], std::uint8_t(0xA5));   // entry 126; entry 127 is not sent
        QCOMPARE(message[140], std::uint8_t(0xF7));
    }

    void historyRecordsChannelOneNoteOnsOnly()
    {
        VelocityHistory history;
        QVERIFY(history.record(0x403C90));
        QVERIFY(history.record(0x003C90));   // velocity 0 takes a place
        QVERIFY(!history.record(0x403C91));  // channel 2
        QVERIFY(!history.record(0x403C80));  // note-off
        QVERIFY(!history.record(0x7F07B0));  // controller
        QVERIFY(!history.record(0x0000F8));  // clock
        QCOMPARE(history.count(), 2);
        QCOMPARE(history.at(0), 0x40);
        QCOMPARE(history.at(1), 0);
        QCOMPARE(history.at(2), 0);
        QCOMPARE(history.at(-1), 0);
        QCOMPARE(history.at(105), 0);
    }

    void historyStartsAfreshOnTheHundredAndSixth()
    {
        VelocityHistory history;
        for (int i = 0; i < VelocityHistory::capacity; ++i)
            history.record(0x90 | (std::uint32_t(1 + i % 127) << 16));
        QCOMPARE(history.count(), 105);
        QCOMPARE(history.at(104), 105);
        history.record(0x77 << 16 | 0x3C << 8 | 0x90);
        QCOMPARE(history.count(), 1);
        QCOMPARE(history.at(0), 0x77);
        for (int i = 1; i < VelocityHistory::capacity; ++i)
            QCOMPARE(history.at(i), 0);
    }

    void pickUsesTheColumnOnly_data()
    {
        QTest::addColumn<int>("rx");
        QTest::addColumn<int>("ry");
        QTest::addColumn<int>("picked");
        // Default sources 0, 20, 40, 60, 80, 100, 127 lie at x 0, 80, 160, 240, 320, 400, 508.
        QTest::newRow("point 1 at the top") << 80 << 0 << 1;
        QTest::newRow("point 1 at the bottom") << 80 << 380 << 1;
        QTest::newRow("3 px left of point 2") << 157 << 200 << 2;
        QTest::newRow("3 px right of point 5") << 403 << 10 << 5;
        QTest::newRow("4 px beside point 2") << 164 << 200 << -1;
        QTest::newRow("point 0 is never picked") << 0 << 381 - 0 - 1 << -1;
        QTest::newRow("point 6 at the right edge") << 509 << 5 << 6;
        QTest::newRow("between points") << 120 << 100 << -1;
        QTest::newRow("above the area") << 80 << -1 << -1;
        QTest::newRow("right of the area") << 510 << 5 << -1;
    }

    void pickUsesTheColumnOnly()
    {
        QFETCH(int, rx);
        QFETCH(int, ry);
        QFETCH(int, picked);
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();
        QCOMPARE(model.press(rx, ry), picked >= 0);
        QCOMPARE(model.selected(), picked);
        QCOMPARE(model.dragging(), picked >= 0);
        QCOMPARE(model.dragMode() == M::DragMode::Last, picked == 6);
    }

    void dragKeepsPointsBetweenNeighbours()
    {
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();

        // Given point 2 picked, when dragged far left then far right, then it stops one source
        // short of each neighbour; above and below the area give 127 and 0.
        QVERIFY(model.press(x(40), 200));
        QVERIFY(model.dragTo(-30, -5));
        QCOMPARE(model.curve.keySource[2], 21);
        QCOMPARE(model.curve.keyNew[2], 127);
        QVERIFY(model.dragTo(x(90), 2000));
        QCOMPARE(model.curve.keySource[2], 59);
        QCOMPARE(model.curve.keyNew[2], 0);
        QVERIFY(model.dragTo(x(45) + 3, 381 - 3 * 70));
        QCOMPARE(model.curve.keySource[2], 45);
        QCOMPARE(model.curve.keyNew[2], 70);
        QVERIFY(model.release());
        QVERIFY(!model.release());
        QVERIFY(!model.dragTo(x(50), 0));   // no drag after the release
        QCOMPARE(model.curve.keySource[2], 45);
        // The rest never moved, point 0 above all.
        QCOMPARE(model.curve.keySource[0], 0);
        QCOMPARE(model.curve.keyNew[0], 0);
        QCOMPARE(model.curve.keySource[1], 20);
        QCOMPARE(model.curve.keySource[3], 60);
    }

    void lastPointMovesOnlyVertically()
    {
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();
        QVERIFY(model.press(x(127) - 2, 300));
        QVERIFY(model.dragTo(x(30), 381 - 3 * 90));
        QCOMPARE(model.curve.keySource[6], 127);
        QCOMPARE(model.curve.keyNew[6], 90);
        QCOMPARE(model.curve.keySource[5], 100);
    }

    void pointWithoutRoomLandsOnANeighbour()
    {
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();
        // Point 2's neighbours are one source apart: it can only land on one of them.
        model.curve.keySource = {0, 20, 25, 21, 80, 100, 127};
        QVERIFY(model.press(x(25), 10));
        QCOMPARE(model.selected(), 2);
        model.dragTo(x(70), 10);
        QCOMPARE(model.curve.keySource[2], 20);
        model.dragTo(x(2), 10);
        QCOMPARE(model.curve.keySource[2], 21);
        // The map stays defined with two points on one source.
        model.refresh();
        QVERIFY(model.map()[0] >= 1);
        for (int s = 1; s < 128; ++s)
            QVERIFY(model.map()[std::size_t(s)] >= model.map()[std::size_t(s - 1)]);
    }

    void stackedPointsMoveTheWayThePointerGoes()
    {
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();
        model.curve.keySource = {0, 20, 21, 22, 80, 100, 127};
        model.curve.keyNew = {0, 50, 51, 52, 55, 100, 127};

        // Up and down first: the first of the stack follows, until the pointer goes sideways.
        QVERIFY(model.press(x(21), 200));
        QCOMPARE(model.selected(), 2);
        QVERIFY(model.dragTo(x(21), 381 - 3 * 90));
        QCOMPARE(model.curve.keyNew[2], 90);
        // Then right: the last one stacked takes the drag, and point 2 is as it was.
        QVERIFY(model.dragTo(x(40), 381 - 3 * 70));
        QCOMPARE(model.selected(), 3);
        QCOMPARE(model.curve.keySource, (VelocityCurve::Points{0, 20, 21, 40, 80, 100, 127}));
        QCOMPARE(model.curve.keyNew, (VelocityCurve::Points{0, 50, 51, 70, 55, 100, 127}));
        // Later moves keep that point, whatever the direction.
        QVERIFY(model.dragTo(x(30), 381 - 3 * 70));
        QCOMPARE(model.curve.keySource[3], 30);
        QVERIFY(model.release());

        // Left: the first one stacked.
        model.curve.keySource = {0, 20, 21, 22, 80, 100, 127};
        QVERIFY(model.press(x(22), 200));
        QVERIFY(model.dragTo(x(5), 200));
        QCOMPARE(model.selected(), 1);
        QCOMPARE(model.curve.keySource, (VelocityCurve::Points{0, 5, 21, 22, 80, 100, 127}));
        QVERIFY(model.release());

        // A point alone is picked as before, and goes only where it has room.
        QVERIFY(model.press(x(80), 200));
        QVERIFY(model.dragTo(x(90), 200));
        QCOMPARE(model.selected(), 4);
        QCOMPARE(model.curve.keySource[4], 90);
    }

    void tableFirstNewCellReadsZero()
    {
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();
        QVERIFY(map[0] >= 1);
        QCOMPARE(model.tableNew(0), 0);
        QCOMPARE(model.tableNew(1), map[10]);
        QCOMPARE(model.tableNew(13), map[127]);
        QCOMPARE(model.tableNew(13), 127);
    }

    void loadForgetsKeptCurvesButNotDeletions()
    {
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();
        model.keptCurves.keep(0, model.curve);
        model.keptCurves.toggleShown(0);
        model.keptCurves.keep(1, model.curve);
        model.keptCurves.remove(1);
        model.keptCurves.keep(2, model.curve);
        model.keptCurves.requestRestore(2);

        CurveFile::Contents file;
        file.curve.keySource = {0, 20, 40, 60, 80, 100, 127};
        file.curve.keyNew = file.curve.keySource;
        file.map.fill(64);

        // Applying a file takes its stored map as it is ...
        model.applyFile(file);
        QCOMPARE(map, file.map);
        // ... loading it recomputes the map from its key points and forgets the kept curves.
        model.load(file);
        QCOMPARE(model.curve, file.curve);
        QCOMPARE(map[100], 100);
        for (int n = 0; n < CurveSlotSet::count; ++n) {
            const CurveSlot &slot = model.keptCurves.at(n);
            QVERIFY(!slot.kept && !slot.shown && !slot.restoreRequested);
            QCOMPARE(slot.keySource, VelocityCurve::Points{});
        }
        QVERIFY(model.keptCurves.at(1).deleted);
    }

    void restoreAndNew()
    {
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();
        model.press(x(20), 0);
        model.dragTo(x(30), 0);
        model.release();
        const VelocityCurve dragged = model.curve;
        model.keptCurves.keep(0, dragged);
        model.newCurve();
        QCOMPARE(model.curve, VelocityCurve{});
        model.keptCurves.requestRestore(0);
        model.refresh();
        QCOMPARE(model.curve, dragged);
        QVERIFY(!model.keptCurves.at(0).restoreRequested);
        VelocityMap expected{};
        dragged.computeMap(expected);
        QCOMPARE(map, expected);
        // A kept curve's map is computed from its own points.
        model.newCurve();
        QCOMPARE(model.slotMap(0), expected);
        // New drops a pending restore.
        model.keptCurves.requestRestore(0);
        model.newCurve();
        model.refresh();
        QCOMPARE(model.curve, VelocityCurve{});
    }
};

QTEST_APPLESS_MAIN(TestCurveEditorModel)
#include "tst_CurveEditorModel.moc"
