#include "core/curve/CurveEditorModel.h"
#include "core/curve/VelocityCalibration.h"

#include <QTest>

#include <algorithm>
#include <vector>

using Points = VelocityCurve::Points;
using Velocities = std::vector<int>;

Q_DECLARE_METATYPE(Points)
Q_DECLARE_METATYPE(Velocities)

class TestVelocityCalibration : public QObject
{
    Q_OBJECT

private slots:
    void fitPlacesKeyPointsAtTheSixths_data()
    {
        QTest::addColumn<Velocities>("played");
        QTest::addColumn<Points>("sources");
        QTest::addColumn<Points>("news");
        QTest::addColumn<int>("spread");   // how far a played note may land from its even share

        const Points even{1, 22, 43, 64, 85, 106, 127};
        // Eight notes: point k at position 7k/6 of the sorted notes. Point 1 of the soft player
        // lies 1/6 of the way from 18 to 25: 18 + 7/6 = 19.17, so 19.
        QTest::newRow("soft player, order as played")
            << Velocities{12, 18, 30, 25, 38, 45, 52, 64} << Points{12, 19, 27, 34, 43, 51, 64} << even << 3;
        QTest::newRow("hard player")
            << Velocities{70, 82, 90, 98, 105, 112, 120, 127} << Points{70, 83, 93, 102, 110, 119, 127} << even << 3;
        QTest::newRow("narrow range")
            << Velocities{60, 62, 63, 65, 66, 68, 70, 72} << Points{60, 62, 64, 66, 67, 70, 72} << even << 7;
        // A stray soft note keeps the bottom but takes only its own share of the range.
        QTest::newRow("one stray note")
            << Velocities{40, 45, 50, 5, 55, 60, 65, 70} << Points{5, 41, 47, 53, 58, 64, 70} << even << 13;
        QTest::newRow("twelve notes")
            << Velocities{8, 15, 22, 30, 41, 50, 58, 66, 79, 91, 104, 118} << Points{8, 21, 37, 54, 70, 93, 118}
            << even << 3;
        // Not notes: velocity 0 (a note-off) and values beyond the range.
        QTest::newRow("zeros left out")
            << Velocities{0, 70, 82, 0, 90, 98, 105, 112, 120, 127, 128, -3} << Points{70, 83, 93, 102, 110, 119, 127}
            << even << 3;
        // Half the notes at the top: point 3 keeps a step below it, so the top still gets 127.
        QTest::newRow("hardest repeated")
            << Velocities{100, 105, 110, 127, 127, 127, 127, 127} << Points{100, 106, 116, 126, 127, 127, 127} << even
            << -1;
        QTest::newRow("softest repeated")
            << Velocities{64, 64, 64, 64, 64, 70, 80, 90} << Points{64, 64, 64, 65, 68, 78, 90} << even << -1;
        // Two velocities one step apart: the first half climbs all the way.
        QTest::newRow("one step apart")
            << Velocities{64, 65, 64, 65, 64, 65, 64, 65} << Points{64, 64, 64, 65, 65, 65, 65}
            << Points{1, 22, 43, 127, 127, 127, 127} << -1;
    }

    void fitPlacesKeyPointsAtTheSixths()
    {
        QFETCH(Velocities, played);
        QFETCH(Points, sources);
        QFETCH(Points, news);
        QFETCH(int, spread);

        const VelocityCalibration::Proposal proposal = VelocityCalibration::fit(played);
        QVERIFY(proposal.proposed());
        QCOMPARE(proposal.curve.keySource, sources);
        QCOMPARE(proposal.curve.keyNew, news);

        // The map it gives: 1 up to the softest note, 127 from the hardest on, never falling.
        Velocities notes;
        std::copy_if(played.begin(), played.end(), std::back_inserter(notes), [](int v) { return v >= 1 && v <= 127; });
        std::sort(notes.begin(), notes.end());
        QCOMPARE(proposal.notes, int(notes.size()));
        QCOMPARE(proposal.softest, notes.front());
        QCOMPARE(proposal.hardest, notes.back());
        VelocityMap map{};
        proposal.curve.computeMap(map);
        for (int s = 0; s < 128; ++s) {
            const int value = map[std::size_t(s)];
            if (s <= notes.front())
                QCOMPARE(value, 1);
            if (s >= notes.back())
                QCOMPARE(value, 127);
            if (s > 0)
                QVERIFY(value >= map[std::size_t(s - 1)]);
        }
        // Distinct notes spread evenly: the i-th of n lands near 1 + 126 i / (n - 1).
        if (spread >= 0) {
            const int n = int(notes.size());
            for (int i = 0; i < n; ++i) {
                const double share = 1 + 126.0 * i / (n - 1);
                const int got = map[std::size_t(notes[std::size_t(i)])];
                QVERIFY2(qAbs(got - share) <= spread + 0.5,
                         qPrintable(QStringLiteral("note %1: %2, even share %3").arg(notes[std::size_t(i)]).arg(got).arg(share)));
            }
        }
    }

    void fitExplainsWhatToDoInstead()
    {
        using O = VelocityCalibration::Outcome;
        VelocityCalibration::Proposal none = VelocityCalibration::fit({});
        QCOMPARE(none.outcome, O::TooFewNotes);
        QCOMPARE(VelocityCalibration::describe(none),
                 QStringLiteral("Play at least 8 notes on the instrument, one at a time, from your softest to your hardest."));

        VelocityCalibration::Proposal one = VelocityCalibration::fit({64});
        QCOMPARE(VelocityCalibration::describe(one),
                 QStringLiteral("1 note so far: play at least 7 more, from your softest to your hardest."));

        // Seven notes and a note-off are still seven notes.
        VelocityCalibration::Proposal seven = VelocityCalibration::fit({10, 20, 30, 0, 40, 50, 60, 70});
        QCOMPARE(seven.outcome, O::TooFewNotes);
        QCOMPARE(seven.notes, 7);
        QCOMPARE(VelocityCalibration::describe(seven),
                 QStringLiteral("7 notes so far: play at least 1 more, from your softest to your hardest."));

        VelocityCalibration::Proposal same = VelocityCalibration::fit(Velocities(9, 90));
        QCOMPARE(same.outcome, O::AllSame);
        QCOMPARE(VelocityCalibration::describe(same),
                 QStringLiteral("All 9 notes came in at velocity 90. Play some notes softer and some harder, "
                                "from your softest to your hardest, or press Start again."));

        const VelocityCalibration::Proposal good = VelocityCalibration::fit({70, 82, 90, 98, 105, 112, 120, 127});
        QCOMPARE(VelocityCalibration::describe(good),
                 QStringLiteral("Proposal from 8 notes, softest 70, hardest 127: the orange curve. "
                                "Accept makes it the current curve; Cancel keeps the curve as it was."));
    }

    void recordsChannelOneNotesOnly()
    {
        VelocityCalibration calibration;
        QVERIFY(calibration.record(0x90, 60, 40));
        QVERIFY(!calibration.record(0x90, 60, 0));   // a note-off
        QVERIFY(!calibration.record(0x91, 60, 50));  // channel 2
        QVERIFY(!calibration.record(0x80, 60, 50));
        QVERIFY(!calibration.record(0xB0, 7, 50));
        QCOMPARE(calibration.history().count(), 1);
        QCOMPARE(calibration.history().at(0), 40);
        for (int v = 1; v <= 7; ++v)
            calibration.record(0x90, 60, quint8(10 * v));
        QCOMPARE(calibration.propose().curve.keySource, (Points{10, 22, 33, 40, 47, 58, 70}));
        calibration.clear();
        QCOMPARE(calibration.propose().notes, 0);
    }

    // The editor shows the proposal apart from the kept curves; accepting it makes it current.
    void editorTakesAProposal()
    {
        VelocityMap map{};
        CurveEditorModel model(map);
        model.open();
        VelocityCurve kept;
        kept.keyNew = kept.keySource;
        model.keptCurves.keep(0, kept);
        const VelocityMap before = map;
        QVERIFY(!model.acceptProposal());

        model.proposal = VelocityCalibration::fit({70, 82, 90, 98, 105, 112, 120, 127}).curve;
        const VelocityMap offered = model.proposalMap();
        QCOMPARE(offered[70], 1);
        QCOMPARE(map, before);   // offering changes nothing
        QVERIFY(model.acceptProposal());
        QVERIFY(!model.proposal);
        QCOMPARE(model.curve.keySource, (Points{70, 83, 93, 102, 110, 119, 127}));
        QCOMPARE(map, offered);
        QCOMPARE(model.keptCurves.at(0).keyNew, kept.keyNew);
        model.proposal = model.curve;
        model.fullReset();
        QVERIFY(!model.proposal);
    }
};

QTEST_APPLESS_MAIN(TestVelocityCalibration)
#include "tst_VelocityCalibration.moc"
